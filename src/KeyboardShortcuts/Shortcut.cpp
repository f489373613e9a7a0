#include "KeyboardShortcuts/Shortcut.h"

#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/NativeKeyCodeMap.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QKeyEvent>

#include <limits>

namespace KeyboardShortcuts {

namespace {

const QString keyCodeMember = QStringLiteral("carbonKeyCode");
const QString modifiersMember = QStringLiteral("carbonModifiers");

// An integer member that fits an int; a fraction, a string, a Boolean, null
// or a missing member gives none.
std::optional<int> intMember(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers its default for anything that is not a whole number
    // within qint64; two different defaults tell that apart from a real value.
    const qint64 first = value.toInteger(0);
    const qint64 second = value.toInteger(1);
    if (first != second)
        return std::nullopt;
    if (first < std::numeric_limits<int>::min() || first > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(first);
}

} // namespace

Shortcut::Shortcut(int carbonKeyCode, int carbonModifiers)
    : m_carbonKeyCode(carbonKeyCode)
    , m_carbonModifiers(normalizedCarbonModifiers(carbonModifiers))
{ }

Shortcut::Shortcut(Key key, Qt::KeyboardModifiers modifiers)
    : m_carbonKeyCode(key.rawValue())
    , m_carbonModifiers(carbonFromQtModifiers(modifiers))
{ }

Shortcut::Shortcut(RawTag, int carbonKeyCode, int carbonModifiers) noexcept
    : m_carbonKeyCode(carbonKeyCode)
    , m_carbonModifiers(carbonModifiers)
{ }

Shortcut Shortcut::fromRawValues(int carbonKeyCode, int carbonModifiers)
{
    return Shortcut(RawTag {}, carbonKeyCode, carbonModifiers);
}

std::optional<Shortcut> Shortcut::fromKeyEvent(const QEvent *event, const NativeKeyCodeMap &keyCodes)
{
    if (!event || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return std::nullopt;
    const auto *keyEvent = static_cast<const QKeyEvent *>(event);
    const std::optional<int> keyCode = keyCodes.carbonKeyCode(keyEvent->nativeScanCode());
    if (!keyCode)
        return std::nullopt;
    // Qt reports no function modifier and no Caps Lock among the modifiers, so
    // neither can reach the shortcut.
    return Shortcut(*keyCode, carbonFromQtModifiers(keyEvent->modifiers()));
}

Qt::KeyboardModifiers Shortcut::modifiers() const
{
    return qtModifiersFromCarbon(m_carbonModifiers);
}

quint64 Shortcut::cocoaModifierFlags() const
{
    return cocoaFlagsFromCarbon(m_carbonModifiers);
}

QJsonObject Shortcut::toJsonObject() const
{
    return QJsonObject {{keyCodeMember, m_carbonKeyCode}, {modifiersMember, m_carbonModifiers}};
}

QByteArray Shortcut::toJson() const
{
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

std::optional<Shortcut> Shortcut::fromJsonObject(const QJsonObject &object)
{
    const std::optional<int> keyCode = intMember(object, keyCodeMember);
    const std::optional<int> modifiers = intMember(object, modifiersMember);
    if (!keyCode || !modifiers)
        return std::nullopt;
    return fromRawValues(*keyCode, *modifiers);
}

std::optional<Shortcut> Shortcut::fromJson(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJsonObject(document.object());
}

} // namespace KeyboardShortcuts
