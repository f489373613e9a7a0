#pragma once

#include "KeyboardShortcuts/RecorderKeyboardGrab.h"

#include <xcb/xcb.h>

namespace KeyboardShortcuts {

// An active keyboard grab on the recorder's window, taken on the connection
// Qt reads (an active grab outranks every passive grab of other clients).
// With owner events, keys for the application's own windows are reported to
// them as usual; all others come to the grab window.
class X11RecorderKeyboardGrab final : public RecorderKeyboardGrab
{
public:
    // Over the connection of the running QGuiApplication on the xcb
    // platform; a grab that never succeeds elsewhere.
    X11RecorderKeyboardGrab();
    ~X11RecorderKeyboardGrab() override;

    bool grab(QWindow *window) override;
    void release() override;
    bool isGrabbed() const override { return m_grabbed; }

private:
    xcb_connection_t *m_connection = nullptr;
    bool m_grabbed = false;
};

} // namespace KeyboardShortcuts
