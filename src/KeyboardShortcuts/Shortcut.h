#pragma once

#include "KeyboardShortcuts/Key.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QJsonObject>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <qnamespace.h>

#include <optional>

class QEvent;
class QOperatingSystemVersion;

namespace KeyboardShortcuts {

class NativeKeyCodeMap;
enum class SpecialKey;

// One physical key (Carbon virtual key code) plus a Carbon modifier mask: the
// value the whole shortcut subsystem passes around and stores. Immutable.
class Shortcut
{
public:
    // Both constructors keep only the five shortcut modifier bits.
    Shortcut(int carbonKeyCode, int carbonModifiers);
    Shortcut(Key key, Qt::KeyboardModifiers modifiers);

    // Takes the values as they are, without normalising the modifiers; what
    // the stored form decodes to.
    static Shortcut fromRawValues(int carbonKeyCode, int carbonModifiers);

    // A shortcut from a key press or release: the event's native scan code
    // translated by keyCodes, its modifiers converted to Carbon bits. None for
    // any other event type and for a key keyCodes does not know.
    static std::optional<Shortcut> fromKeyEvent(const QEvent *event, const NativeKeyCodeMap &keyCodes);
    // The same with the platform's key-code map (ShortcutServices).
    static std::optional<Shortcut> fromKeyEvent(const QEvent *event);

    int carbonKeyCode() const noexcept { return m_carbonKeyCode; }
    int carbonModifiers() const noexcept { return m_carbonModifiers; }

    Key key() const noexcept { return Key(m_carbonKeyCode); }
    // The modifiers in Qt's terms (the function bit has no Qt counterpart).
    Qt::KeyboardModifiers modifiers() const;
    // The modifiers as Cocoa event flags.
    quint64 cocoaModifierFlags() const;

    // Stored form: {"carbonKeyCode":9,"carbonModifiers":768}.
    QJsonObject toJsonObject() const;
    QByteArray toJson() const;
    // Strict: both members must be present and be integers that fit an int;
    // other members are ignored, the order does not matter, and the values
    // are taken as they are.
    static std::optional<Shortcut> fromJsonObject(const QJsonObject &object);
    static std::optional<Shortcut> fromJson(QByteArrayView json);

    // Text form and key equivalents. These read the keyboard layout through
    // ShortcutServices, afresh on every call.

    // The special key of carbonKeyCode, if it is one.
    std::optional<SpecialKey> specialKey() const;
    // The one character the key types without modifiers in the current
    // layout; none for special keys, dead keys, keys that type more or less
    // than one character, and key codes outside 0-65535.
    std::optional<QString> keyToCharacter() const;
    // The special key's menu key equivalent, else keyToCharacter().
    std::optional<QString> menuItemKeyEquivalent() const;
    // Symbol form: modifier symbols (control, option, shift, command,
    // function) followed by the key, e.g. ⇧⌘V; U+FFFD for a key without text.
    QString description() const;
    // The symbols of the modifier bits present, in the order ⌃⌥⇧⌘🌐︎.
    static QString modifierSymbols(int carbonModifiers);

    // The shortcut as a Qt key sequence (the layout's character for character
    // keys); empty when the key has no Qt counterpart.
    QKeySequence keySequence() const;
    // Qt's native text of the shortcut as the desktop shows it, e.g.
    // "Shift+Meta+V" or "Ctrl+1"; the Linux display form.
    QString nativeText() const;

    // Whether a menu item with this key equivalent and these Carbon modifier
    // bits uses this shortcut. An upper-case key equivalent stands for the
    // lower-case one with Shift when this shortcut has Shift.
    bool matchesMenuKeyEquivalent(QString keyEquivalent, int itemCarbonModifiers) const;

    // Conflict checks.

    // Whether the system (or another client) already holds this combination.
    // F12 alone is never taken.
    bool isTakenBySystem() const;
    // Whether the operating system refuses this combination: on macOS 15.0
    // and 15.1, a sandboxed process cannot use Option (with or without Shift)
    // as the only modifier. Always false elsewhere, so on Linux.
    bool isDisallowed() const;
    bool isDisallowedOn(const QOperatingSystemVersion &system, bool sandboxed) const;

    friend bool operator==(const Shortcut &, const Shortcut &) noexcept = default;

private:
    struct RawTag
    {
    };
    Shortcut(RawTag, int carbonKeyCode, int carbonModifiers) noexcept;

    int m_carbonKeyCode;
    int m_carbonModifiers;
};

// The enabled combinations the system reserves, read afresh
// (ShortcutServices); possibly empty.
QList<Shortcut> systemReservedShortcuts();

// Whether the process runs in an app sandbox: the environment holds
// APP_SANDBOX_CONTAINER_ID (any value). Read once.
bool isSandboxed();

inline size_t qHash(const Shortcut &shortcut, size_t seed = 0) noexcept
{
    return qHashMulti(seed, shortcut.carbonKeyCode(), shortcut.carbonModifiers());
}

} // namespace KeyboardShortcuts
