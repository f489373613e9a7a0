#pragma once

#include "app/KeyboardGrab.h"

#include <QAbstractNativeEventFilter>
#include <QList>

#include <xcb/xcb.h>

#include <memory>

// Type-ahead on X11: an active keyboard grab on the root window, taken on the
// connection Qt reads. The grab reports events "owner first": while one of
// our windows has the focus its keys reach it as usual, every other key
// arrives relative to the root window, where Qt ignores it and this filter
// queues it. Released keys are translated with the server's current keymap
// (xkbcommon), so layouts and Shift levels come out as typed.
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
    QList<TypedKey> release() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct RawKey
    {
        xcb_keycode_t keycode = 0;
        quint16 state = 0;
    };
    QList<TypedKey> translate(const QList<RawKey> &keys) const;

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    bool m_grabbed = false;
    bool m_filterInstalled = false;
    QList<RawKey> m_queue;
};
