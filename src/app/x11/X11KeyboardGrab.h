#pragma once

#include "app/KeyboardGrab.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <bitset>
#include <memory>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// Type-ahead on X11: an active keyboard grab on the root window, taken on the
// connection Qt reads, reporting every key to the root window (not to our own
// windows), where Qt ignores it and this filter picks it up. Keys are
// translated with the server's keymap (xkbcommon) as they arrive, so layouts
// and Shift levels come out as typed.
//
// Key presses generated before the ungrab but read after it still count; the
// request sequence number in each event tells them apart from later ones (the
// hotkey layer's own passive grabs also report to the root window).
//
// The filter is installed on construction: construct this before the hotkey
// layer so that the hotkey layer sees each key first.
class X11KeyboardGrab final : public KeyboardGrab, public QAbstractNativeEventFilter
{
public:
    // Over the connection of the running QGuiApplication on the xcb platform;
    // null elsewhere.
    static std::unique_ptr<X11KeyboardGrab> create();

    X11KeyboardGrab(xcb_connection_t *connection, xcb_window_t root);
    ~X11KeyboardGrab() override;

    bool grab() override;
    bool isGrabbed() const override { return m_grabbed; }
    bool isAnyKeyDown() const override;
    void release() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct XkbDeleter
    {
        void operator()(xkb_context *context) const;
        void operator()(xkb_keymap *keymap) const;
        void operator()(xkb_state *state) const;
    };

    bool loadKeymap();
    std::bitset<256> keysDown() const;
    bool translate(xcb_keycode_t keycode, quint16 state, TypedKey *typed) const;

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    bool m_grabbed = false;
    bool m_listening = false; // between grab() and the last event before the ungrab
    quint16 m_ungrabSequence = 0;
    // Keys that were down when the grab began and have not been released
    // since: further presses of them are auto-repeats of the hotkey.
    std::bitset<256> m_heldAtGrab;
    std::unique_ptr<xkb_context, XkbDeleter> m_context;
    std::unique_ptr<xkb_keymap, XkbDeleter> m_keymap;
    std::unique_ptr<xkb_state, XkbDeleter> m_state;
};
