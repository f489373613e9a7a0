#include "KeyboardShortcuts/MenuItemSearch.h"

#include "KeyboardShortcuts/MenuKeyEquivalent.h"

#include <QAction>
#include <QMenu>
#include <QSet>

namespace KeyboardShortcuts {

namespace {

bool actionUses(const QAction *action, const Shortcut &shortcut)
{
    const QList<QKeySequence> sequences = action->shortcuts();
    for (const QKeySequence &sequence : sequences) {
        if (sequence.count() != 1)
            continue;
        const std::optional<MenuKeyEquivalent> equivalent = menuKeyEquivalent(sequence[0]);
        if (equivalent && shortcut.matchesMenuKeyEquivalent(equivalent->key, equivalent->carbonModifiers))
            return true;
    }
    return false;
}

QAction *search(const Shortcut &shortcut, const QWidget *menu, QSet<const QWidget *> &visited)
{
    // A menu can be reachable twice (or from itself); search it once.
    if (!menu || visited.contains(menu))
        return nullptr;
    visited.insert(menu);
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        if (actionUses(action, shortcut))
            return action;
        if (QAction *found = search(shortcut, action->menu<QMenu *>(), visited))
            return found;
    }
    return nullptr;
}

} // namespace

QAction *menuItemWithMatchingShortcut(const Shortcut &shortcut, const QWidget *menu)
{
    QSet<const QWidget *> visited;
    return search(shortcut, menu, visited);
}

} // namespace KeyboardShortcuts
