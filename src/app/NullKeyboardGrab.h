#pragma once

#include "app/KeyboardGrab.h"

// Where the window system offers no keyboard grab: keys typed before the
// panel has the keyboard go wherever the system sends them.
class NullKeyboardGrab final : public KeyboardGrab
{
public:
    bool grab() override { return false; }
    bool isGrabbed() const override { return false; }
    bool isAnyKeyDown() const override { return false; }
    void release() override { }
};
