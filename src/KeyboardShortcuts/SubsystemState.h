#pragma once

#include "KeyboardShortcuts/GlobalHotKeys.h"
#include "KeyboardShortcuts/HandlerRegistry.h"
#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/MenuTracker.h"
#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/ShortcutNotifier.h"

#include <memory>
#include <optional>

namespace KeyboardShortcuts {

// Everything the subsystem keeps for the life of the process, in one place:
// the backend, the hotkey layer, the handler registry, the change notifier,
// the menu tracker and the lazily created names. Members are destroyed in
// reverse order, so the hotkeys are released before the backend goes.
struct SubsystemState
{
    explicit SubsystemState(std::unique_ptr<HotKeyBackend> hotKeyBackend);

    std::unique_ptr<HotKeyBackend> backend;
    GlobalHotKeys hotKeys;
    HandlerRegistry registry;
    ShortcutNotifier notifierObject;
    std::unique_ptr<MenuTracker> menuTracker;
    std::optional<Name> togglePanel;
};

SubsystemState &state();

} // namespace KeyboardShortcuts
