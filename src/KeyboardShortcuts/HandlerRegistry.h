#pragma once

#include "KeyboardShortcuts/EventType.h"
#include "KeyboardShortcuts/Name.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <functional>
#include <utility>

namespace KeyboardShortcuts {

class GlobalHotKeys;

// Connects names to code: the actions and event streams of each name, and the
// set of shortcuts it has handed to the hotkey layer. A fired hotkey runs the
// actions of every name whose stored shortcut is the one that fired.
class HandlerRegistry
{
public:
    using Action = std::function<void()>;

    explicit HandlerRegistry(GlobalHotKeys &hotKeys);

    void addHandler(EventType type, const Name &name, Action action);
    void removeHandler(const Name &name);
    void removeAllHandlers();
    void addStreamHandlers(const Name &name, const QUuid &id, Action onKeyDown, Action onKeyUp);
    void removeStreamHandlers(const Name &name, const QUuid &id);

    void enable(const QList<Name> &names);
    void disable(const QList<Name> &names);
    bool isEnabled(const Name &name) const;

    bool isPaused() const { return m_paused; }
    void setPaused(bool paused) { m_paused = paused; }

    // Hands shortcut to the hotkey layer unless it already holds it. A
    // shortcut whose registration failed still counts as handed over.
    void registerShortcut(const Shortcut &shortcut);
    void unregisterShortcut(const Shortcut &shortcut);
    bool isRegistered(const Shortcut &shortcut) const { return m_registered.contains(shortcut); }

    // Runs the plain actions, then the stream actions, of every name whose
    // stored shortcut equals shortcut. Does nothing while paused.
    void dispatch(const Shortcut &shortcut, EventType type);

private:
    // Ordered tables: actions run in the order names and actions were added.
    using PlainTable = QList<std::pair<Name, QList<Action>>>;
    using StreamTable = QList<std::pair<Name, QHash<QUuid, Action>>>;

    QSet<Shortcut> plainHandlerShortcuts() const;
    QSet<Shortcut> streamHandlerShortcuts() const;

    GlobalHotKeys &m_hotKeys;
    PlainTable m_keyDown;
    PlainTable m_keyUp;
    StreamTable m_streamKeyDown;
    StreamTable m_streamKeyUp;
    QSet<Shortcut> m_registered;
    bool m_paused = false;
};

} // namespace KeyboardShortcuts
