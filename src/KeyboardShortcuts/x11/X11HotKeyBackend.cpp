#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"

#include <QGuiApplication>

namespace KeyboardShortcuts {

std::unique_ptr<X11HotKeyBackend> X11HotKeyBackend::create(QObject *parent)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    // Grabs on one root window cover the keyboard of the whole display; the
    // first screen's root is the one every current X server has.
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (!it.rem)
        return nullptr;
    return std::make_unique<X11HotKeyBackend>(connection, it.data->root, parent);
}

X11HotKeyBackend::X11HotKeyBackend(xcb_connection_t *connection, xcb_window_t root, QObject *parent)
    : HotKeyBackend(parent)
    , m_grabber(connection, root)
{
    connect(&m_grabber, &X11KeyGrabber::pressed, this, &HotKeyBackend::hotKeyPressed);
    connect(&m_grabber, &X11KeyGrabber::released, this, &HotKeyBackend::hotKeyReleased);
    connect(&m_grabber, &X11KeyGrabber::keyboardMappingChanged, this, &X11HotKeyBackend::regrabAll);
}

X11HotKeyBackend::~X11HotKeyBackend() = default;

int X11HotKeyBackend::grab(quint32 id, const Shortcut &shortcut)
{
    if (shortcut.carbonModifiers() & ~(CarbonModifier::all & ~CarbonModifier::function))
        return NotGrabbable;
    const auto keycode = m_keyCodes.nativeScanCode(shortcut.carbonKeyCode());
    if (!keycode || *keycode > 255)
        return NotGrabbable;
    return m_grabber.grab(id, xcb_keycode_t(*keycode), shortcut.modifiers());
}

int X11HotKeyBackend::registerHotKey(quint32 id, const Shortcut &shortcut)
{
    m_shortcuts.erase(id);
    const int status = grab(id, shortcut);
    if (status == 0)
        m_shortcuts.insert_or_assign(id, shortcut);
    return status;
}

void X11HotKeyBackend::unregisterHotKey(quint32 id)
{
    m_shortcuts.erase(id);
    m_grabber.ungrab(id);
}

const NativeKeyCodeMap &X11HotKeyBackend::keyCodes() const
{
    return m_keyCodes;
}

void X11HotKeyBackend::regrabAll()
{
    m_grabber.refreshModifierMasks();
    for (const auto &[id, shortcut] : m_shortcuts) {
        m_grabber.ungrab(id);
        const int status = grab(id, shortcut);
        // The hotkey layer believes the hotkey is held; it stays silent until
        // it is registered again.
        if (status != 0)
            qCWarning(lcShortcuts) << "hotkey" << id << "lost after a keyboard mapping change, status"
                                   << status;
    }
}

} // namespace KeyboardShortcuts
