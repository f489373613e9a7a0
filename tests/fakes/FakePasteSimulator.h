#pragma once

#include "clipboard/PasteSimulator.h"

// Counts the paste keystrokes it was asked for.
class FakePasteSimulator final : public PasteSimulator
{
public:
    void simulatePaste() override { ++m_calls; }
    int calls() const { return m_calls; }

private:
    int m_calls = 0;
};
