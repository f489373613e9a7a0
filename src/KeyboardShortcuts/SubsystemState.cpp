#include "KeyboardShortcuts/SubsystemState.h"

#include "KeyboardShortcuts/EventStream.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/NullHotKeyBackend.h"

#include <QCoreApplication>

#include <algorithm>

namespace KeyboardShortcuts {

namespace {

std::unique_ptr<SubsystemState> &stateSlot()
{
    static std::unique_ptr<SubsystemState> slot;
    return slot;
}

std::unique_ptr<HotKeyBackend> orNull(std::unique_ptr<HotKeyBackend> backend)
{
    return backend ? std::move(backend) : std::make_unique<NullHotKeyBackend>();
}

} // namespace

SubsystemState::SubsystemState(std::unique_ptr<HotKeyBackend> hotKeyBackend)
    : backend(orNull(std::move(hotKeyBackend)))
    , hotKeys(*backend)
    , registry(hotKeys)
{ }

SubsystemState &state()
{
    auto &slot = stateSlot();
    if (!slot)
        slot = std::make_unique<SubsystemState>(nullptr);
    return *slot;
}

void resetState(std::unique_ptr<HotKeyBackend> backend)
{
    auto &slot = stateSlot();
    slot.reset();
    slot = std::make_unique<SubsystemState>(std::move(backend));
}

void initialize()
{
    SubsystemState &s = state();
    if (s.menuTracker || !QCoreApplication::instance())
        return;
    s.menuTracker = std::make_unique<MenuTracker>(s.hotKeys, s.backend->keyCodes());
}

ShortcutNotifier &notifier()
{
    return state().notifierObject;
}

void onKeyDown(const Name &name, std::function<void()> action)
{
    state().registry.addHandler(EventType::keyDown, name, std::move(action));
}

void onKeyUp(const Name &name, std::function<void()> action)
{
    state().registry.addHandler(EventType::keyUp, name, std::move(action));
}

void removeHandler(const Name &name)
{
    state().registry.removeHandler(name);
}

void removeAllHandlers()
{
    state().registry.removeAllHandlers();
}

void enable(const QList<Name> &names)
{
    state().registry.enable(names);
}

void disable(const QList<Name> &names)
{
    state().registry.disable(names);
}

bool isEnabled(const Name &name)
{
    return state().registry.isEnabled(name);
}

std::unique_ptr<EventStream> events(const Name &name)
{
    return std::make_unique<EventStream>(name, std::nullopt);
}

std::unique_ptr<EventStream> events(EventType type, const Name &name)
{
    return std::make_unique<EventStream>(name, type);
}

bool isPaused()
{
    return state().registry.isPaused();
}

void setPaused(bool paused)
{
    state().registry.setPaused(paused);
}

bool isEnabled()
{
    return state().hotKeys.isEnabled();
}

void setEnabled(bool enabled)
{
    state().hotKeys.setEnabled(enabled);
}

bool isOwnHotKey(const Shortcut &shortcut)
{
    const auto records = state().hotKeys.records();
    return std::any_of(records.begin(), records.end(),
                       [&](const GlobalHotKeys::Record &record) { return record.shortcut == shortcut; });
}

quint32 hotKeyEventTime()
{
    return state().backend->eventTime();
}

bool isMenuOpen()
{
    return state().hotKeys.isMenuOpen();
}

} // namespace KeyboardShortcuts
