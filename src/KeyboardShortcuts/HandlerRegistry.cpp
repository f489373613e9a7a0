#include "KeyboardShortcuts/HandlerRegistry.h"

#include "KeyboardShortcuts/GlobalHotKeys.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"

#include <algorithm>

namespace KeyboardShortcuts {

namespace {

template<typename Table> auto findName(Table &table, const Name &name)
{
    return std::find_if(table.begin(), table.end(), [&](const auto &entry) { return entry.first == name; });
}

template<typename Table> void collectShortcuts(const Table &table, QSet<Shortcut> &into)
{
    for (const auto &[name, handlers] : table) {
        if (handlers.isEmpty())
            continue;
        if (const auto shortcut = getShortcut(name))
            into.insert(*shortcut);
    }
}

} // namespace

HandlerRegistry::HandlerRegistry(GlobalHotKeys &hotKeys)
    : m_hotKeys(hotKeys)
{ }

void HandlerRegistry::addHandler(EventType type, const Name &name, Action action)
{
    PlainTable &table = type == EventType::keyDown ? m_keyDown : m_keyUp;
    auto it = findName(table, name);
    if (it == table.end())
        table.append({name, {std::move(action)}});
    else
        it->second.append(std::move(action));
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void HandlerRegistry::removeHandler(const Name &name)
{
    for (PlainTable *table : {&m_keyDown, &m_keyUp}) {
        auto it = findName(*table, name);
        if (it != table->end())
            table->erase(it);
    }
    const auto shortcut = getShortcut(name);
    if (shortcut && !streamHandlerShortcuts().contains(*shortcut))
        unregisterShortcut(*shortcut);
}

void HandlerRegistry::removeAllHandlers()
{
    const QSet<Shortcut> unused = plainHandlerShortcuts() - streamHandlerShortcuts();
    for (const Shortcut &shortcut : unused)
        unregisterShortcut(shortcut);
    m_keyDown.clear();
    m_keyUp.clear();
}

void HandlerRegistry::addStreamHandlers(const Name &name, const QUuid &id, Action onKeyDown, Action onKeyUp)
{
    for (auto [table, action] :
         {std::pair {&m_streamKeyDown, &onKeyDown}, std::pair {&m_streamKeyUp, &onKeyUp}}) {
        auto it = findName(*table, name);
        if (it == table->end())
            table->append({name, {{id, std::move(*action)}}});
        else
            it->second.insert(id, std::move(*action));
    }
    if (const auto shortcut = getShortcut(name))
        registerShortcut(*shortcut);
}

void HandlerRegistry::removeStreamHandlers(const Name &name, const QUuid &id)
{
    for (StreamTable *table : {&m_streamKeyDown, &m_streamKeyUp}) {
        auto it = findName(*table, name);
        if (it == table->end())
            continue;
        it->second.remove(id);
        if (it->second.isEmpty())
            table->erase(it);
    }
    const auto shortcut = getShortcut(name);
    if (shortcut && !plainHandlerShortcuts().contains(*shortcut)
        && !streamHandlerShortcuts().contains(*shortcut))
        unregisterShortcut(*shortcut);
}

void HandlerRegistry::enable(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (const auto shortcut = getShortcut(name))
            registerShortcut(*shortcut);
    }
}

void HandlerRegistry::disable(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (const auto shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
    }
}

bool HandlerRegistry::isEnabled(const Name &name) const
{
    if (!m_hotKeys.isEnabled())
        return false;
    const auto shortcut = getShortcut(name);
    return shortcut && m_registered.contains(*shortcut);
}

void HandlerRegistry::registerShortcut(const Shortcut &shortcut)
{
    if (m_registered.contains(shortcut))
        return;
    m_hotKeys.registerShortcut(
        shortcut, [this](const Shortcut &fired) { dispatch(fired, EventType::keyDown); },
        [this](const Shortcut &fired) { dispatch(fired, EventType::keyUp); });
    m_registered.insert(shortcut);
}

void HandlerRegistry::unregisterShortcut(const Shortcut &shortcut)
{
    m_hotKeys.unregisterShortcut(shortcut);
    m_registered.remove(shortcut);
}

void HandlerRegistry::dispatch(const Shortcut &shortcut, EventType type)
{
    if (m_paused)
        return;
    // Snapshots: an action may add or remove handlers.
    const PlainTable plain = type == EventType::keyDown ? m_keyDown : m_keyUp;
    const StreamTable streams = type == EventType::keyDown ? m_streamKeyDown : m_streamKeyUp;
    for (const auto &[name, actions] : plain) {
        if (getShortcut(name) != shortcut)
            continue;
        for (const Action &action : actions)
            action();
    }
    for (const auto &[name, actions] : streams) {
        if (getShortcut(name) != shortcut)
            continue;
        for (const Action &action : actions)
            action();
    }
}

QSet<Shortcut> HandlerRegistry::plainHandlerShortcuts() const
{
    QSet<Shortcut> shortcuts;
    collectShortcuts(m_keyDown, shortcuts);
    collectShortcuts(m_keyUp, shortcuts);
    return shortcuts;
}

QSet<Shortcut> HandlerRegistry::streamHandlerShortcuts() const
{
    QSet<Shortcut> shortcuts;
    collectShortcuts(m_streamKeyDown, shortcuts);
    collectShortcuts(m_streamKeyUp, shortcuts);
    return shortcuts;
}

} // namespace KeyboardShortcuts
