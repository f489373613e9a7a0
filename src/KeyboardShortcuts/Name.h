#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <optional>

namespace KeyboardShortcuts {

// The stable name under which a global shortcut is stored and handled. Two
// names are equal when their raw values are; the default takes no part.
class Name
{
public:
    Name() = default;
    // Creating a name with a default writes the default to the store when the
    // store has no entry for the name at all (any value, "no shortcut"
    // included, counts as an entry).
    explicit Name(const QString &rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);

    // The name the application toggles its panel with; created on first use,
    // which writes its default (Shift+Super+V on Linux, Shift+Command+V on
    // macOS) to a fresh store.
    static Name togglePanel();
    static Shortcut togglePanelDefault();

    const QString &rawValue() const noexcept { return m_rawValue; }
    const std::optional<Shortcut> &defaultShortcut() const noexcept { return m_defaultShortcut; }

    // The stored shortcut of this name; assigning stores (none removes).
    std::optional<Shortcut> shortcut() const;
    void setShortcut(const std::optional<Shortcut> &shortcut) const;

    friend bool operator==(const Name &a, const Name &b) noexcept { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_defaultShortcut;
};

inline size_t qHash(const Name &name, size_t seed = 0) noexcept
{
    return qHash(name.rawValue(), seed);
}

} // namespace KeyboardShortcuts

Q_DECLARE_METATYPE(KeyboardShortcuts::Name)
