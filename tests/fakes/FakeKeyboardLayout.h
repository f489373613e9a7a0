#pragma once

#include "KeyboardShortcuts/KeyboardLayout.h"

#include <QHash>

// A keyboard layout whose key texts a test sets; usLayout() fills in the
// character keys of a U.S. layout.
class FakeKeyboardLayout final : public KeyboardShortcuts::KeyboardLayout
{
public:
    static FakeKeyboardLayout usLayout();

    void set(int carbonKeyCode, const QString &text) { m_texts.insert(carbonKeyCode, text); }
    void clear(int carbonKeyCode) { m_texts.remove(carbonKeyCode); }

    std::optional<QString> unshiftedText(int carbonKeyCode) const override
    {
        const auto it = m_texts.constFind(carbonKeyCode);
        return it == m_texts.cend() ? std::nullopt : std::optional<QString>(*it);
    }

private:
    QHash<int, QString> m_texts;
};
