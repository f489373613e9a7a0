#pragma once

#include "KeyboardShortcuts/HotKeyBackend.h"
#include "fakes/FakeNativeKeyCodeMap.h"

#include <QList>
#include <QSet>

#include <map>

// A hotkey backend that records every call and lets the test play the system:
// combinations in taken fail to register, press()/release() fire the hotkey
// that currently holds a combination.
class FakeHotKeyBackend final : public KeyboardShortcuts::HotKeyBackend
{
    Q_OBJECT
public:
    static constexpr int TakenStatus = 10;

    struct Call
    {
        enum Kind { Register, Unregister } kind;
        quint32 id;
        friend bool operator==(const Call &, const Call &) = default;
    };

    int registerHotKey(quint32 id, const KeyboardShortcuts::Shortcut &shortcut) override;
    void unregisterHotKey(quint32 id) override;
    const KeyboardShortcuts::NativeKeyCodeMap &keyCodes() const override { return nativeKeyCodes; }
    quint32 eventTime() const override { return time; }

    // Fires the hotkey holding shortcut; false when none holds it.
    bool press(const KeyboardShortcuts::Shortcut &shortcut) { return fire(shortcut, true); }
    bool release(const KeyboardShortcuts::Shortcut &shortcut) { return fire(shortcut, false); }

    QList<Call> calls;
    QSet<KeyboardShortcuts::Shortcut> taken;
    std::map<quint32, KeyboardShortcuts::Shortcut> held;
    FakeNativeKeyCodeMap nativeKeyCodes;
    quint32 time = 0; // the time stamp of the events press() and release() play

private:
    bool fire(const KeyboardShortcuts::Shortcut &shortcut, bool pressed);
};
