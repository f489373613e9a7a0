#include "app/PlatformServices.h"

#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/NullHotKeyBackend.h"
#include "KeyboardShortcuts/wayland/PortalHotKeyBackend.h"
#include "KeyboardShortcuts/wayland/WaylandKeyboardLayout.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"
#include "KeyboardShortcuts/x11/X11ShortcutServices.h"
#include "app/AppLogging.h"
#include "app/NullKeyboardGrab.h"
#include "app/NullPanelWindowSystem.h"
#include "app/x11/X11KeyboardGrab.h"
#include "app/x11/X11PanelWindowSystem.h"
#include "clipboard/NullPasteSimulator.h"
#include "clipboard/NullPasteboardProvider.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/wayland/WaylandPasteSimulator.h"
#include "clipboard/wayland/WaylandPasteboardProvider.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "settings/NullPastePermission.h"
#include "settings/wayland/WaylandPastePermission.h"
#include "settings/x11/XTestPastePermission.h"
#include "settings/xdg/XdgAutostartLoginItem.h"
#include "wayland/WaylandConnection.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace {

bool createX11(PlatformServices &services)
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return false;
    services.pasteboard = std::move(pasteboard);
    if (auto simulator = std::make_unique<XTestPasteSimulator>(); simulator->isAvailable())
        services.pasteSimulator = std::move(simulator);
    services.windowSystem = X11PanelWindowSystem::create();
    services.keyboardGrab = X11KeyboardGrab::create();
    services.pastePermission = std::make_unique<XTestPastePermission>();
    // The global hotkeys go through Qt's own connection.
    if (services.selection.shortcut == BackendSelection::Shortcut::X11Grab)
        services.hotKeyBackend = KeyboardShortcuts::X11HotKeyBackend::create();
    services.shortcutServices = KeyboardShortcuts::x11ShortcutServices();
    return true;
}

void createWayland(PlatformServices &services)
{
    const BackendSelection &selection = services.selection;
    switch (selection.clipboard) {
    case BackendSelection::Clipboard::WlrDataControl:
    case BackendSelection::Clipboard::ExtDataControl: {
        const auto protocol = selection.clipboard == BackendSelection::Clipboard::ExtDataControl
            ? WaylandPasteboardProvider::Protocol::Ext
            : WaylandPasteboardProvider::Protocol::Wlr;
        if (auto provider = std::make_unique<WaylandPasteboardProvider>(protocol); provider->isValid())
            services.pasteboard = std::move(provider);
        break;
    }
    default:
        break;
    }
    if (selection.paste != BackendSelection::Paste::None) {
        const auto method = selection.paste == BackendSelection::Paste::VirtualKeyboard
            ? WaylandPasteSimulator::Method::VirtualKeyboard
            : WaylandPasteSimulator::Method::FakeInput;
        if (auto simulator = std::make_unique<WaylandPasteSimulator>(method); simulator->isAvailable())
            services.pasteSimulator = std::move(simulator);
    }
    services.pastePermission = std::make_unique<WaylandPastePermission>(services.pasteSimulator != nullptr);
    if (selection.shortcut == BackendSelection::Shortcut::Portal) {
        services.hotKeyBackend
            = std::make_unique<KeyboardShortcuts::PortalHotKeyBackend>(std::map<QString, QString> {
                {KeyboardShortcuts::Name::togglePanel().rawValue(),
                 QCoreApplication::translate("PlatformServices", "Show or hide the quick-paste panel")}});
    }
    // Qt's Wayland key events carry xkb keycodes, the X keycodes of the table.
    services.shortcutServices.nativeKeyCodes = std::make_shared<KeyboardShortcuts::X11NativeKeyCodeMap>();
    if (auto layout = std::make_shared<KeyboardShortcuts::WaylandKeyboardLayout>(); layout->isValid())
        services.shortcutServices.keyboardLayout = std::move(layout);
}

} // namespace

BackendSelection::Session PlatformServices::probeSession()
{
    BackendSelection::Session session;
    session.qtPlatform = QGuiApplication::platformName();
    session.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    // sway before 1.8 names itself only through its IPC socket.
    if (session.desktop.isEmpty() && !qEnvironmentVariableIsEmpty("SWAYSOCK"))
        session.desktop = QStringLiteral("sway");
    session.waylandSession = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (session.qtPlatform.startsWith(u"wayland")) {
        const WaylandConnection connection;
        for (const WaylandConnection::Global &global : connection.globals())
            session.waylandGlobals.append(global.interface);
        session.shortcutPortal = KeyboardShortcuts::PortalHotKeyBackend::isAvailable();
    }
    return session;
}

std::optional<PlatformServices> PlatformServices::create()
{
    PlatformServices services;
    services.session = probeSession();
    services.selection = BackendSelection::choose(services.session);
    if (services.selection.panel == BackendSelection::Panel::X11Window) {
        if (!createX11(services))
            return std::nullopt;
    } else if (services.selection.isWayland()) {
        createWayland(services);
    }

    // Null stand-ins for whatever the platform lacks.
    if (!services.pasteboard)
        services.pasteboard = std::make_unique<NullPasteboardProvider>();
    if (!services.pasteSimulator)
        services.pasteSimulator = std::make_unique<NullPasteSimulator>();
    if (!services.windowSystem)
        services.windowSystem = std::make_unique<NullPanelWindowSystem>();
    if (!services.keyboardGrab)
        services.keyboardGrab = std::make_unique<NullKeyboardGrab>();
    if (!services.pastePermission)
        services.pastePermission = std::make_unique<NullPastePermission>();
    if (!services.hotKeyBackend)
        services.hotKeyBackend = std::make_unique<KeyboardShortcuts::NullHotKeyBackend>();
    services.textRecognizer = std::make_shared<TesseractTextRecognizer>();
    services.loginItem = std::make_unique<XdgAutostartLoginItem>(XdgAutostartLoginItem::defaultConfigHome(),
                                                                 QCoreApplication::applicationFilePath());
    return services;
}
