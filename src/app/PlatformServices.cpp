#include "app/PlatformServices.h"

#include "app/NullKeyboardGrab.h"
#include "app/NullPanelWindowSystem.h"
#include "app/x11/X11KeyboardGrab.h"
#include "app/x11/X11PanelWindowSystem.h"
#include "clipboard/NullPasteSimulator.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "settings/x11/XTestPastePermission.h"
#include "settings/xdg/XdgAutostartLoginItem.h"

#include <QCoreApplication>

std::optional<PlatformServices> PlatformServices::create()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    PlatformServices services;
    services.pasteboard = std::move(pasteboard);
    if (auto simulator = std::make_unique<XTestPasteSimulator>(); simulator->isAvailable())
        services.pasteSimulator = std::move(simulator);
    else
        services.pasteSimulator = std::make_unique<NullPasteSimulator>();
    services.textRecognizer = std::make_shared<TesseractTextRecognizer>();
    services.windowSystem = X11PanelWindowSystem::create();
    if (!services.windowSystem)
        services.windowSystem = std::make_unique<NullPanelWindowSystem>();
    services.keyboardGrab = X11KeyboardGrab::create();
    if (!services.keyboardGrab)
        services.keyboardGrab = std::make_unique<NullKeyboardGrab>();
    services.loginItem = std::make_unique<XdgAutostartLoginItem>(XdgAutostartLoginItem::defaultConfigHome(),
                                                                 QCoreApplication::applicationFilePath());
    services.pastePermission = std::make_unique<XTestPastePermission>();
    return services;
}
