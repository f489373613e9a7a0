#pragma once

// The public operations of the keyboard-shortcut subsystem: named shortcuts in
// the settings store, the handlers that run when they are pressed, and the
// switches of the global hotkeys. GUI thread only.

#include "KeyboardShortcuts/EventType.h"
#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/Shortcut.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;

namespace KeyboardShortcuts {

class EventStream;
class HotKeyBackend;
class ShortcutNotifier;

// Every stored shortcut lives under this prefix followed by the name.
inline constexpr char16_t keyPrefix[] = u"KeyboardShortcuts_";
QString settingsKey(const Name &name);

// Starts the subsystem afresh with the given backend (a NullHotKeyBackend when
// none): every hotkey is released and every handler, stream binding, flag and
// the lazily created names are forgotten. The application calls it once at
// start-up; tests call it to begin from a clean state.
void resetState(std::unique_ptr<HotKeyBackend> backend = {});

// Installs the observation of the application's menus (once per process
// state; needs the application object). Every Name constructor calls it.
void initialize();

// Store.
std::optional<Shortcut> getShortcut(const Name &name);
// Whether the name's entry holds something that is neither a shortcut nor
// the Boolean false (text that is not a shortcut's JSON, a list, a number...).
// It reads as no shortcut and stays as it is until a new one is set; the
// user should be told, since the hotkey is off meanwhile.
bool hasUnreadableShortcut(const Name &name);
// Where the stored shortcuts live, for messages to the user.
QString shortcutStoreLocation();
void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name);
void reset(const QList<Name> &names);
void resetAll();
ShortcutNotifier &notifier();

// Handlers.
void onKeyDown(const Name &name, std::function<void()> action);
void onKeyUp(const Name &name, std::function<void()> action);
void removeHandler(const Name &name);
void removeAllHandlers();
void enable(const QList<Name> &names);
void disable(const QList<Name> &names);
bool isEnabled(const Name &name);
// A live subscription to the name's key events; it stops when destroyed. The
// handlers are installed (and the shortcut registered) on the next turn of
// the event loop, and removed the same way after destruction.
std::unique_ptr<EventStream> events(const Name &name);
std::unique_ptr<EventStream> events(EventType type, const Name &name);
bool isPaused();
void setPaused(bool paused);

// Process-wide switch of all global hotkeys; assigning the current value does
// nothing.
bool isEnabled();
void setEnabled(bool enabled);
// Whether this process holds (or has suspended) a hotkey for the shortcut,
// so that a check for combinations taken by others can leave it out.
bool isOwnHotKey(const Shortcut &shortcut);
// The window system's time stamp of the hotkey event whose actions run now
// (see HotKeyBackend::eventTime()); 0 where the platform has none.
quint32 hotKeyEventTime();
// Whether one of the application's menus is open (hotkeys are then
// recognised in the application's own key events).
bool isMenuOpen();

// Menu-item binding: the action shows the shortcut (or none), and when bound
// to a name follows the name's stored shortcut. Binding to none clears the
// shortcut and ends the binding.
void setActionShortcut(QAction *action, const std::optional<Shortcut> &shortcut);
void bindActionShortcut(QAction *action, const std::optional<Name> &name);

} // namespace KeyboardShortcuts
