#include "KeyboardShortcuts/GlobalHotKeys.h"

#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"

#include <QByteArray>

#include <cstdio>

namespace KeyboardShortcuts {

GlobalHotKeys::GlobalHotKeys(HotKeyBackend &backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
{ }

GlobalHotKeys::~GlobalHotKeys()
{
    for (const auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.registered)
            m_backend.unregisterHotKey(id);
    }
}

void GlobalHotKeys::registerShortcut(const Shortcut &shortcut, Action onKeyDown, Action onKeyUp)
{
    const quint32 id = ++m_sequence;
    const int status = m_backend.registerHotKey(id, shortcut);
    if (status != 0) {
        reportFailure(shortcut, status);
        return;
    }
    m_hotKeys.insert_or_assign(id, HotKey {shortcut, true, std::move(onKeyDown), std::move(onKeyUp)});
    if (!m_handlerInstalled) {
        connect(&m_backend, &HotKeyBackend::hotKeyPressed, this,
                [this](quint32 pressedId) { handleHotKey(pressedId, EventType::keyDown); });
        connect(&m_backend, &HotKeyBackend::hotKeyReleased, this,
                [this](quint32 releasedId) { handleHotKey(releasedId, EventType::keyUp); });
        m_handlerInstalled = true;
        updateEventHandler();
    }
}

void GlobalHotKeys::unregisterShortcut(const Shortcut &shortcut)
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            m_backend.unregisterHotKey(it->first);
            it = m_hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

void GlobalHotKeys::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    updateEventHandler();
}

void GlobalHotKeys::setMenuOpen(bool open)
{
    if (open == m_menuOpen)
        return;
    m_menuOpen = open;
    updateEventHandler();
}

void GlobalHotKeys::updateEventHandler()
{
    if (!m_handlerInstalled)
        return;
    if (!m_enabled) {
        suspendAll();
        m_deliverHotKeys = false;
        setMatchKeyEvents(false);
    } else if (!m_menuOpen) {
        reregisterAll();
        setMatchKeyEvents(false);
        m_deliverHotKeys = true;
    } else {
        suspendAll();
        m_deliverHotKeys = false;
        setMatchKeyEvents(true);
    }
    qCDebug(lcShortcuts) << "enabled" << m_enabled << "menu open" << m_menuOpen << "records"
                         << m_hotKeys.size();
}

void GlobalHotKeys::setMatchKeyEvents(bool match)
{
    if (match == m_matchKeyEvents)
        return;
    m_matchKeyEvents = match;
    Q_EMIT matchingKeyEventsChanged(match);
}

void GlobalHotKeys::suspendAll()
{
    for (auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.registered)
            m_backend.unregisterHotKey(id);
        hotKey.registered = false;
    }
}

void GlobalHotKeys::reregisterAll()
{
    std::vector<quint32> suspended;
    for (const auto &[id, hotKey] : m_hotKeys) {
        if (!hotKey.registered)
            suspended.push_back(id);
    }
    for (quint32 id : suspended) {
        const auto it = m_hotKeys.find(id);
        if (it == m_hotKeys.end())
            continue;
        const int status = m_backend.registerHotKey(id, it->second.shortcut);
        if (status == 0) {
            it->second.registered = true;
        } else {
            const Shortcut shortcut = it->second.shortcut;
            m_hotKeys.erase(it);
            reportFailure(shortcut, status);
        }
    }
}

void GlobalHotKeys::handleHotKey(quint32 id, EventType type)
{
    if (!m_deliverHotKeys)
        return;
    const auto it = m_hotKeys.find(id);
    if (it == m_hotKeys.end())
        return;
    // Copies: the action may register or unregister and so change the table.
    const Shortcut shortcut = it->second.shortcut;
    const Action action = type == EventType::keyDown ? it->second.onKeyDown : it->second.onKeyUp;
    if (action)
        action(shortcut);
}

bool GlobalHotKeys::handleKeyEvent(const Shortcut &shortcut, EventType type)
{
    if (!m_matchKeyEvents)
        return false;
    for (const auto &[id, hotKey] : m_hotKeys) {
        if (hotKey.shortcut.carbonKeyCode() == shortcut.carbonKeyCode()
            && hotKey.shortcut.carbonModifiers() == shortcut.carbonModifiers()) {
            const Shortcut matched = hotKey.shortcut;
            const Action action = type == EventType::keyDown ? hotKey.onKeyDown : hotKey.onKeyUp;
            if (action)
                action(matched);
            return true;
        }
    }
    return false;
}

QList<GlobalHotKeys::Record> GlobalHotKeys::records() const
{
    QList<Record> result;
    for (const auto &[id, hotKey] : m_hotKeys)
        result.append(Record {hotKey.shortcut, id, hotKey.registered});
    return result;
}

void GlobalHotKeys::reportFailure(const Shortcut &shortcut, int status)
{
    const QByteArray line = "Error registering hotkey " + shortcut.description().toUtf8() + ": "
        + QByteArray::number(status) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace KeyboardShortcuts
