#pragma once

class QWindow;

namespace KeyboardShortcuts {

// While the shortcut recorder records, the keyboard is directed to its
// window, so that a combination another application holds as a global hotkey
// reaches the recorder (and its "taken by the system" check) rather than
// that application. The application's own windows get their keys as usual.
class RecorderKeyboardGrab
{
public:
    virtual ~RecorderKeyboardGrab() = default;

    // Directs the keyboard to window, which must be shown. False when the
    // platform cannot (another client holds the keyboard, no such facility):
    // the recorder then sees what the window system gives it.
    virtual bool grab(QWindow *window) = 0;
    // Lets the keyboard go. Safe to call when nothing is grabbed.
    virtual void release() = 0;
    virtual bool isGrabbed() const = 0;
};

} // namespace KeyboardShortcuts
