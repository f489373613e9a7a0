#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QObject>

namespace KeyboardShortcuts {

class NativeKeyCodeMap;

// The platform's system-wide hotkeys. The hotkey layer (GlobalHotKeys) decides
// what is registered when; a backend only does what it is told and reports
// the outcome and the key events of its hotkeys. GUI thread only.
class HotKeyBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Registers shortcut system-wide under id. Returns 0 on success, otherwise
    // the platform's status (never 0); a failed registration holds nothing.
    virtual int registerHotKey(quint32 id, const Shortcut &shortcut) = 0;
    // Lets go of the hotkey of id; an id that holds nothing is ignored.
    virtual void unregisterHotKey(quint32 id) = 0;
    // Translates the physical keys of the application's own key events, so
    // that a registered combination can be recognised while a menu holds the
    // keyboard.
    virtual const NativeKeyCodeMap &keyCodes() const = 0;
    // The window system's time stamp of the key event that hotKeyPressed or
    // hotKeyReleased reports right now, so that what a hotkey's action asks
    // of the window system (taking the keyboard focus, say) can name the user
    // action it answers. 0 where the platform has no such time.
    virtual quint32 eventTime() const { return 0; }

Q_SIGNALS:
    void hotKeyPressed(quint32 id);
    void hotKeyReleased(quint32 id);
};

} // namespace KeyboardShortcuts
