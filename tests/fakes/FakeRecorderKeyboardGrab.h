#pragma once

#include "KeyboardShortcuts/RecorderKeyboardGrab.h"

// Records which window holds the keyboard.
class FakeRecorderKeyboardGrab final : public KeyboardShortcuts::RecorderKeyboardGrab
{
public:
    QWindow *window = nullptr; // the window the keyboard is directed to

    bool grab(QWindow *target) override
    {
        window = target;
        return true;
    }
    void release() override { window = nullptr; }
    bool isGrabbed() const override { return window != nullptr; }
};
