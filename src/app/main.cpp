#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/PlatformServices.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11PlatformServices.h"
#include "app/AppDelegate.h"
#include "app/KeyboardGrab.h"
#include "app/NullKeyboardGrab.h"
#include "app/NullPanelWindowSystem.h"
#include "app/PanelWindowSystem.h"
#include "app/x11/X11KeyboardGrab.h"
#include "app/x11/X11PanelWindowSystem.h"
#include "clipboard/ClipboardManager.h"
#include "clipboard/NullPasteSimulator.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "clipboard/tesseract/OpenMpEnvironment.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

// The platform services, chosen here and nowhere else.
struct AppServices
{
    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer;
    std::unique_ptr<PanelWindowSystem> windowSystem;
    std::unique_ptr<KeyboardGrab> keyboardGrab;
};

std::optional<AppServices> createPlatformServices()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    AppServices services;
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
    return services;
}

} // namespace

int main(int argc, char *argv[])
{
    restartWithSingleThreadedOpenMp(argv);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvex"));
    QApplication::setApplicationName(QStringLiteral("Halvex"));
    QApplication::setApplicationVersion(QStringLiteral(HALVEX_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Keyboard-first clipboard history"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    std::optional<AppServices> services = createPlatformServices();
    if (!services) {
        std::fputs("halvex: cannot watch the X11 clipboard (no X display or no XFIXES extension)\n", stderr);
        return 1;
    }
    // The global hotkeys go through Qt's own connection (a null backend
    // off X11: the panel then has no shortcut).
    KeyboardShortcuts::resetState(KeyboardShortcuts::X11HotKeyBackend::create());
    KeyboardShortcuts::setPlatformServices(KeyboardShortcuts::x11PlatformServices());
    // Our own hotkeys are not "taken by the system".
    KeyboardShortcuts::platformServices().systemShortcuts->setOwnShortcutQuery(
        &KeyboardShortcuts::isOwnHotKey);
    int status = 0;
    {
        auto manager = std::make_unique<ClipboardManager>(std::move(services->pasteboard),
                                                          std::move(services->pasteSimulator),
                                                          std::move(services->textRecognizer));
        AppDelegate delegate(std::move(manager), std::move(services->windowSystem),
                             std::move(services->keyboardGrab));
        delegate.applicationDidFinishLaunching();
        status = app.exec();
    }
    // Let go of the grabs while the connection is still open.
    KeyboardShortcuts::resetState();
    return status;
}
