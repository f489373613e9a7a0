#pragma once

#include "KeyboardShortcuts/SystemShortcutSource.h"

// A system-shortcut source with a list the test sets, read afresh each call.
class FakeSystemShortcutSource final : public KeyboardShortcuts::SystemShortcutSource
{
public:
    void setReserved(QList<KeyboardShortcuts::Shortcut> shortcuts) { m_reserved = std::move(shortcuts); }

    QList<KeyboardShortcuts::Shortcut> reservedShortcuts() const override
    {
        ++m_reads;
        return m_reserved;
    }
    int reads() const { return m_reads; }

private:
    QList<KeyboardShortcuts::Shortcut> m_reserved;
    mutable int m_reads = 0;
};
