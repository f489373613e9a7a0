#include "clipboard/NullPasteSimulator.h"

#include "clipboard/ClipboardLogging.h"

void NullPasteSimulator::simulatePaste()
{
    if (!m_warned) {
        qCInfo(lcPaste)
            << "no keystroke synthesis on this platform; entries are only written to the clipboard";
        m_warned = true;
    }
}
