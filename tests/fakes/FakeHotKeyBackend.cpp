#include "fakes/FakeHotKeyBackend.h"

using KeyboardShortcuts::Shortcut;

int FakeHotKeyBackend::registerHotKey(quint32 id, const Shortcut &shortcut)
{
    calls.append({Call::Register, id});
    if (taken.contains(shortcut))
        return TakenStatus;
    held.insert_or_assign(id, shortcut);
    return 0;
}

void FakeHotKeyBackend::unregisterHotKey(quint32 id)
{
    calls.append({Call::Unregister, id});
    held.erase(id);
}

bool FakeHotKeyBackend::press(const Shortcut &shortcut)
{
    for (const auto &[id, heldShortcut] : held) {
        if (heldShortcut == shortcut) {
            Q_EMIT hotKeyPressed(id);
            return true;
        }
    }
    return false;
}

bool FakeHotKeyBackend::release(const Shortcut &shortcut)
{
    for (const auto &[id, heldShortcut] : held) {
        if (heldShortcut == shortcut) {
            Q_EMIT hotKeyReleased(id);
            return true;
        }
    }
    return false;
}

QList<quint32> FakeHotKeyBackend::registeredIds() const
{
    QList<quint32> ids;
    for (const auto &entry : held)
        ids.append(entry.first);
    return ids;
}
