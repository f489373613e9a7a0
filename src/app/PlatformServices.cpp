#include "app/PlatformServices.h"

#include "clipboard/NullPasteSimulator.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"

std::optional<PlatformServices> PlatformServices::create()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    std::unique_ptr<PasteSimulator> simulator;
    if (auto xtest = std::make_unique<XTestPasteSimulator>(); xtest->isAvailable())
        simulator = std::move(xtest);
    else
        simulator = std::make_unique<NullPasteSimulator>();
    return PlatformServices {std::move(pasteboard), std::move(simulator),
                             std::make_shared<TesseractTextRecognizer>()};
}
