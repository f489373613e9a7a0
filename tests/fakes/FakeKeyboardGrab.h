#pragma once

#include "app/KeyboardGrab.h"

// A keyboard grab that always succeeds; the test plays the user with type()
// and holds keys down with keysDown.
class FakeKeyboardGrab final : public KeyboardGrab
{
public:
    bool keysDown = false;
    int grabs = 0;
    int releases = 0;

    // The user presses a key while the grab is held.
    void type(const TypedKey &key)
    {
        if (m_grabbed && onKeyPressed)
            onKeyPressed(key);
    }

    bool grab() override
    {
        ++grabs;
        m_grabbed = true;
        return true;
    }
    bool isGrabbed() const override { return m_grabbed; }
    bool isAnyKeyDown() const override { return keysDown; }
    void release() override
    {
        if (!m_grabbed)
            return;
        m_grabbed = false;
        ++releases;
    }

private:
    bool m_grabbed = false;
};
