#pragma once

#include "KeyboardShortcuts/Key.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QJsonObject>
#include <qnamespace.h>

#include <optional>

class QEvent;

namespace KeyboardShortcuts {

class NativeKeyCodeMap;

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

    friend bool operator==(const Shortcut &, const Shortcut &) noexcept = default;

private:
    struct RawTag
    {
    };
    Shortcut(RawTag, int carbonKeyCode, int carbonModifiers) noexcept;

    int m_carbonKeyCode;
    int m_carbonModifiers;
};

inline size_t qHash(const Shortcut &shortcut, size_t seed = 0) noexcept
{
    return qHashMulti(seed, shortcut.carbonKeyCode(), shortcut.carbonModifiers());
}

} // namespace KeyboardShortcuts
