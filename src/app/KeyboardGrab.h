#pragma once

#include <QString>

#include <functional>

// A key press typed while the keyboard was grabbed, in the terms of a
// QKeyEvent.
struct TypedKey
{
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    quint32 nativeScanCode = 0;
    quint32 nativeVirtualKey = 0;
    quint32 nativeModifiers = 0;
};

// Type-ahead for the panel: from the hotkey until the panel has the keyboard,
// every key the user types comes to the application (and to nobody else) and
// is handed to onKeyPressed as it arrives.
class KeyboardGrab
{
public:
    virtual ~KeyboardGrab() = default;

    // Receives every key press typed while the grab is held, including
    // presses still on their way when release() is called.
    std::function<void(const TypedKey &)> onKeyPressed;

    // Takes the keyboard. False when it is not possible (another client holds
    // it, no such facility): keys then go where the window system sends them.
    virtual bool grab() = 0;
    virtual bool isGrabbed() const = 0;
    // True while any key of the keyboard is down. Releasing the grab then
    // would send that key's release to a window that never saw it pressed.
    virtual bool isAnyKeyDown() const = 0;
    // Lets the keyboard go. Safe to call when nothing is grabbed.
    virtual void release() = 0;
};
