#pragma once

#include <QList>
#include <QString>

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
// waits in a queue.
class KeyboardGrab
{
public:
    virtual ~KeyboardGrab() = default;

    // Takes the keyboard. False when it is not possible (another client holds
    // it, no such facility): keys then go where the window system sends them.
    virtual bool grab() = 0;
    virtual bool isGrabbed() const = 0;
    // Lets the keyboard go and returns the presses queued since grab(),
    // oldest first. Safe to call when nothing is grabbed.
    virtual QList<TypedKey> release() = 0;
};
