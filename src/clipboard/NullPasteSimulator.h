#pragma once

#include "clipboard/PasteSimulator.h"

// Stands in where the platform cannot synthesise keystrokes: pasting then only
// writes the clipboard. Says so once in the log.
class NullPasteSimulator final : public PasteSimulator
{
public:
    void simulatePaste() override;

private:
    bool m_warned = false;
};
