#include "app/PlatformServices.h"

#include "clipboard/NullPasteSimulator.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"

std::optional<PlatformServices> PlatformServices::create()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    return PlatformServices {std::move(pasteboard), std::make_unique<NullPasteSimulator>(), nullptr};
}
