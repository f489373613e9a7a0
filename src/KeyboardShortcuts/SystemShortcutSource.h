#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QList>

#include <functional>

namespace KeyboardShortcuts {

// Where "is this combination already taken by the system?" is answered. macOS
// keeps a list of its symbolic hotkeys; X11 has no list, but a combination
// another client holds makes a trial grab fail, so its source answers per
// shortcut. Our own registrations never count as taken: the hotkey layer
// tells the source which shortcuts are its own.
class SystemShortcutSource
{
public:
    using OwnShortcutQuery = std::function<bool(const Shortcut &)>;

    virtual ~SystemShortcutSource() = default;

    // The enabled combinations the system lists, read afresh; empty where the
    // platform keeps no list.
    virtual QList<Shortcut> reservedShortcuts() const = 0;

    // Whether someone other than this process holds the combination.
    bool isTaken(const Shortcut &shortcut) const
    {
        if (m_isOwnShortcut && m_isOwnShortcut(shortcut))
            return false;
        return isHeldElsewhere(shortcut);
    }

    void setOwnShortcutQuery(OwnShortcutQuery query) { m_isOwnShortcut = std::move(query); }

protected:
    // By default a combination is taken when the system's list holds it.
    virtual bool isHeldElsewhere(const Shortcut &shortcut) const
    {
        return reservedShortcuts().contains(shortcut);
    }

private:
    OwnShortcutQuery m_isOwnShortcut;
};

} // namespace KeyboardShortcuts
