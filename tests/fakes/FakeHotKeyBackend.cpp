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

bool FakeHotKeyBackend::fire(const Shortcut &shortcut, bool pressed)
{
    for (const auto &[id, heldShortcut] : held) {
        if (heldShortcut == shortcut) {
            if (pressed)
                Q_EMIT hotKeyPressed(id);
            else
                Q_EMIT hotKeyReleased(id);
            return true;
        }
    }
    return false;
}
