#pragma once

#include "app/KeyboardGrab.h"

// A keyboard grab that succeeds unless told otherwise and hands back the keys
// a test queued as if the user had typed them.
class FakeKeyboardGrab final : public KeyboardGrab
{
public:
    bool available = true;
    QList<TypedKey> typed; // handed out by the next release()
    int grabs = 0;
    int releases = 0;

    bool grab() override
    {
        if (!available)
            return false;
        ++grabs;
        m_grabbed = true;
        return true;
    }
    bool isGrabbed() const override { return m_grabbed; }
    QList<TypedKey> release() override
    {
        if (!m_grabbed)
            return {};
        m_grabbed = false;
        ++releases;
        return std::exchange(typed, {});
    }

private:
    bool m_grabbed = false;
};
