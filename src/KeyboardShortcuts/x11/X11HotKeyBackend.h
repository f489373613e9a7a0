#pragma once

#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11KeyGrabber.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"

#include <xcb/xcb.h>

#include <map>
#include <memory>

namespace KeyboardShortcuts {

// Global hotkeys as passive key grabs on the root window of Qt's own xcb
// connection. The Carbon key code names the physical key (mapped to its X
// keycode by the key-code table); the modifiers map to Shift, Control, Alt and
// Super as the keymap's modifier map assigns them. When the keyboard mapping
// changes every hotkey is grabbed again with the new keycodes and bits.
class X11HotKeyBackend final : public HotKeyBackend
{
    Q_OBJECT
public:
    // A hotkey the keyboard cannot produce: the function modifier, a key the
    // table does not know, or a modifier the keymap does not bind.
    static constexpr int NotGrabbable = X11KeyGrabber::NotGrabbable;

    // Over the connection of the running QGuiApplication on the xcb platform;
    // null on any other platform.
    static std::unique_ptr<X11HotKeyBackend> create(QObject *parent = nullptr);

    X11HotKeyBackend(xcb_connection_t *connection, xcb_window_t root, QObject *parent = nullptr);
    ~X11HotKeyBackend() override;

    int registerHotKey(quint32 id, const Shortcut &shortcut) override;
    void unregisterHotKey(quint32 id) override;
    const NativeKeyCodeMap &keyCodes() const override;
    quint32 eventTime() const override { return m_grabber.eventTime(); }

private:
    int grab(quint32 id, const Shortcut &shortcut);
    void regrabAll();

    X11NativeKeyCodeMap m_keyCodes;
    X11KeyGrabber m_grabber;
    std::map<quint32, Shortcut> m_shortcuts;
};

} // namespace KeyboardShortcuts
