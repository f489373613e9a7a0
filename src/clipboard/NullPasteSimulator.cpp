#include "clipboard/NullPasteSimulator.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNullPaste, "halvex.paste")

void NullPasteSimulator::simulatePaste()
{
    if (!m_warned) {
        qCInfo(lcNullPaste)
            << "no keystroke synthesis on this platform; entries are only written to the clipboard";
        m_warned = true;
    }
}
