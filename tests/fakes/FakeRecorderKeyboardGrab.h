#pragma once

#include "KeyboardShortcuts/RecorderKeyboardGrab.h"

// Records which window holds the keyboard; fails when told to.
class FakeRecorderKeyboardGrab final : public KeyboardShortcuts::RecorderKeyboardGrab
{
public:
    bool available = true;
    QWindow *window = nullptr; // the window the keyboard is directed to
    int grabs = 0;

    bool grab(QWindow *target) override
    {
        if (!available)
            return false;
        ++grabs;
        window = target;
        return true;
    }
    void release() override { window = nullptr; }
    bool isGrabbed() const override { return window != nullptr; }
};
