#pragma once

#include "KeyboardShortcuts/EventType.h"
#include "KeyboardShortcuts/Shortcut.h"

#include <QList>
#include <QObject>

#include <functional>
#include <map>

namespace KeyboardShortcuts {

class HotKeyBackend;

// The hotkey layer: turns shortcuts into system-wide hotkeys through a
// HotKeyBackend and the backend's key events back into the actions given at
// registration. Every registration gets the next identifier (1, 2, 3, ...,
// never reused, whether it succeeds or not). While the layer is disabled or a
// menu of the application is open, the hotkeys are suspended (released at the
// system, records kept); while a menu is open the same combinations are
// recognised in the application's own key events instead.
class GlobalHotKeys : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void(const Shortcut &)>;

    struct Record
    {
        Shortcut shortcut;
        quint32 id;
        bool registered; // holds the system hotkey; false while suspended
    };

    explicit GlobalHotKeys(HotKeyBackend &backend, QObject *parent = nullptr);
    ~GlobalHotKeys() override;

    // Registers at once, whatever the enabled and menu states say; a failure
    // writes the failure line to standard output and keeps no record.
    void registerShortcut(const Shortcut &shortcut, Action onKeyDown, Action onKeyUp);
    // Removes every record of shortcut.
    void unregisterShortcut(const Shortcut &shortcut);

    bool isEnabled() const { return m_enabled; }
    // Assigning the current value does nothing.
    void setEnabled(bool enabled);
    bool isMenuOpen() const { return m_menuOpen; }
    void setMenuOpen(bool open);

    // Whether the application's key events are being matched against the
    // records (enabled, a menu open, and a hotkey registered once).
    bool isMatchingKeyEvents() const { return m_matchKeyEvents; }
    // Runs the action of the first record (table order) whose shortcut equals
    // the given one, if key events are being matched. Returns whether a record
    // matched; the caller then swallows the event.
    bool handleKeyEvent(const Shortcut &shortcut, EventType type);

    QList<Record> records() const;
    quint32 lastIdentifier() const { return m_sequence; }

private:
    struct HotKey
    {
        Shortcut shortcut;
        bool registered;
        Action onKeyDown;
        Action onKeyUp;
    };

    void updateEventHandler();
    void suspendAll();
    void reregisterAll();
    void handleHotKey(quint32 id, EventType type);
    static void reportFailure(const Shortcut &shortcut, int status);

    HotKeyBackend &m_backend;
    std::map<quint32, HotKey> m_hotKeys; // ordered by identifier, which is table order
    quint32 m_sequence = 0;
    bool m_handlerInstalled = false;
    bool m_deliverHotKeys = false;
    bool m_matchKeyEvents = false;
    bool m_enabled = true;
    bool m_menuOpen = false;
};

} // namespace KeyboardShortcuts
