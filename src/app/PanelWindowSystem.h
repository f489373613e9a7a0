#pragma once

#include <QtGlobal>

#include <optional>

class QWindow;

// What presenting the panel needs from the window system besides Qt: the
// window the user came from, so that it gets the keyboard back when the panel
// goes away; getting the keyboard to the panel even where the window manager
// is slow or reluctant; and whether translucent windows are composited.
class PanelWindowSystem
{
public:
    virtual ~PanelWindowSystem() = default;

    // Notes the window that has the keyboard now, before the panel takes it.
    virtual void rememberFocusedWindow() = 0;
    // Gives the keyboard back to the noted window if it still exists and
    // does not have it already.
    virtual void restoreFocusedWindow() = 0;
    // True when transparent pixels of a window show what lies beneath.
    virtual bool hasCompositor() const = 0;

    // Asks the window manager to give the shown window the keyboard in answer
    // to the user's action at userTime: the window system's time stamp of the
    // key press that asked for the panel. 0 when no input event of ours
    // caused it (another launch asked); the window system's current time
    // stands in then. A window manager that prevents focus stealing compares
    // this time with the last input in the window the user works in.
    virtual void activate(QWindow *window, quint32 userTime) = 0;
    // Gives the shown window the keyboard directly, for when the window
    // manager has not done so within a short time.
    virtual void focusDirectly(QWindow *window) = 0;
    // Whether window has the keyboard as the window system sees it, which may
    // be ahead of Qt's idea of the active window; nothing when it cannot
    // tell.
    virtual std::optional<bool> hasKeyboardFocus(const QWindow *window) const = 0;
};
