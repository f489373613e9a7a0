#pragma once

// What presenting the panel needs from the window system besides Qt: the
// window the user came from, so that it gets the keyboard back when the panel
// goes away, and whether translucent windows are composited.
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
};
