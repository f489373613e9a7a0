#include "KeyboardShortcuts/Shortcut.h"

#include "KeyboardShortcuts/KeyboardLayout.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/NativeKeyCodeMap.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/SpecialKey.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"
#include "KeyboardShortcuts/TitleCase.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QKeyEvent>
#include <QOperatingSystemVersion>
#include <QTextBoundaryFinder>

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

// Keys that have a Qt key but neither a special-key row nor a character.
std::optional<Qt::Key> nonCharacterQtKey(int carbonKeyCode)
{
    switch (carbonKeyCode) {
    case Key::shift.rawValue():
    case Key::rightShift.rawValue():
        return Qt::Key_Shift;
    case Key::command.rawValue():
    case Key::rightCommand.rawValue():
        return Qt::Key_Control;
    case Key::control.rawValue():
    case Key::rightControl.rawValue():
        return Qt::Key_Meta;
    case Key::option.rawValue():
    case Key::rightOption.rawValue():
        return Qt::Key_Alt;
    case Key::capsLock.rawValue():
        return Qt::Key_CapsLock;
    case Key::mute.rawValue():
        return Qt::Key_VolumeMute;
    case Key::volumeUp.rawValue():
        return Qt::Key_VolumeUp;
    case Key::volumeDown.rawValue():
        return Qt::Key_VolumeDown;
    case 110: // context menu key
        return Qt::Key_Menu;
    default:
        return std::nullopt;
    }
}

const QString replacementCharacter = QString(QChar(QChar::ReplacementCharacter));

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

std::optional<Shortcut> Shortcut::fromKeyEvent(const QEvent *event)
{
    return fromKeyEvent(event, *shortcutServices().nativeKeyCodes);
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

std::optional<SpecialKey> Shortcut::specialKey() const
{
    return specialKeyForKeyCode(m_carbonKeyCode);
}

std::optional<QString> Shortcut::keyToCharacter() const
{
    // Key codes beyond 16 bits can only come from a hand-edited store; no
    // layout knows them.
    if (m_carbonKeyCode < 0 || m_carbonKeyCode > 0xFFFF)
        return std::nullopt;
    if (specialKey())
        return std::nullopt;
    const std::optional<QString> text = shortcutServices().keyboardLayout->unshiftedText(m_carbonKeyCode);
    if (!text || text->isEmpty())
        return std::nullopt;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, *text);
    if (graphemes.toNextBoundary() != text->size())
        return std::nullopt;
    return text;
}

std::optional<QString> Shortcut::menuItemKeyEquivalent() const
{
    if (const std::optional<SpecialKey> special = specialKey())
        return menuKeyEquivalent(*special);
    return keyToCharacter();
}

QString Shortcut::modifierSymbols(int carbonModifiers)
{
    QString symbols;
    if (carbonModifiers & CarbonModifier::control)
        symbols += QChar(0x2303);
    if (carbonModifiers & CarbonModifier::option)
        symbols += QChar(0x2325);
    if (carbonModifiers & CarbonModifier::shift)
        symbols += QChar(0x21E7);
    if (carbonModifiers & CarbonModifier::command)
        symbols += QChar(0x2318);
    if (carbonModifiers & CarbonModifier::function)
        symbols += QString::fromUtf16(u"\U0001F310\uFE0E");
    return symbols;
}

QString Shortcut::description() const
{
    QString text = modifierSymbols(m_carbonModifiers);
    if (const std::optional<SpecialKey> special = specialKey())
        return text + presentableDescription(*special);
    const QString character = keyToCharacter().value_or(replacementCharacter);
    // One grapheme: upper-case its first code point (title case, so that
    // digraph letters come out right).
    qsizetype length = 0;
    const char32_t title = QChar::toTitleCase(firstCodePoint(character, &length));
    text += QString::fromUcs4(&title, 1);
    text += character.mid(length);
    return text;
}

QKeySequence Shortcut::keySequence() const
{
    Qt::KeyboardModifiers qtModifiers = modifiers();
    int qtKeyCode = 0;
    if (const std::optional<SpecialKey> special = specialKey()) {
        qtKeyCode = qtKey(*special);
        if (isKeypadKey(*special))
            qtModifiers |= Qt::KeypadModifier;
    } else if (const std::optional<Qt::Key> other = nonCharacterQtKey(m_carbonKeyCode)) {
        qtKeyCode = *other;
    } else if (const std::optional<QString> character = keyToCharacter()) {
        // Qt names character keys by the upper-case code point.
        qtKeyCode = int(QChar::toUpper(firstCodePoint(*character)));
    } else {
        return {};
    }
    return QKeySequence(QKeyCombination(qtModifiers, Qt::Key(qtKeyCode)));
}

QString Shortcut::nativeText() const
{
    // Qt's own names and separators, with the modifiers in the order the
    // desktop shows them (Ctrl, Alt, Shift, Meta: "Shift+Meta+V"). Qt puts
    // Meta first, which reads oddly next to the other desktop texts.
    QString text;
    const auto addModifier = [&text](const char *name) {
        text += QCoreApplication::translate("QShortcut", name) + QLatin1Char('+');
    };
    if (m_carbonModifiers & CarbonModifier::function)
        text += QStringLiteral("Fn+"); // Qt has no function modifier; only a store from a Mac has it
    if (m_carbonModifiers & CarbonModifier::command)
        addModifier("Ctrl");
    if (m_carbonModifiers & CarbonModifier::option)
        addModifier("Alt");
    if (m_carbonModifiers & CarbonModifier::shift)
        addModifier("Shift");
    if (m_carbonModifiers & CarbonModifier::control)
        addModifier("Meta");

    QKeySequence key = keySequence();
    if (key.isEmpty()) {
        key = QKeySequence(Qt::Key(QChar::ReplacementCharacter));
    } else {
        // The key alone; the keypad marker ("Num+") stays with it.
        key = QKeySequence(QKeyCombination(key[0].keyboardModifiers() & Qt::KeypadModifier, key[0].key()));
    }
    return text + key.toString(QKeySequence::NativeText);
}

bool Shortcut::matchesMenuKeyEquivalent(QString keyEquivalent, int itemCarbonModifiers) const
{
    if (m_carbonModifiers & CarbonModifier::shift) {
        const QString lower = keyEquivalent.toLower();
        if (lower != keyEquivalent) {
            keyEquivalent = lower;
            itemCarbonModifiers |= CarbonModifier::shift;
        }
    }
    const std::optional<QString> keyString = menuItemKeyEquivalent();
    if (!keyString)
        return false;
    return *keyString == keyEquivalent && normalizedCarbonModifiers(m_carbonModifiers) == itemCarbonModifiers;
}

bool Shortcut::isTakenBySystem() const
{
    if (m_carbonKeyCode == Key::f12.rawValue() && m_carbonModifiers == 0)
        return false;
    return shortcutServices().systemShortcuts->isTaken(*this);
}

bool Shortcut::isDisallowed() const
{
    return isDisallowedOn(QOperatingSystemVersion::current(), isSandboxed());
}

bool Shortcut::isDisallowedOn(const QOperatingSystemVersion &system, bool sandboxed) const
{
    if (system.type() != QOperatingSystemVersion::MacOS || system.majorVersion() != 15
        || (system.minorVersion() != 0 && system.minorVersion() != 1)) {
        return false;
    }
    if (!sandboxed)
        return false;
    constexpr quint64 relevant = CocoaModifier::command | CocoaModifier::control | CocoaModifier::option
        | CocoaModifier::function | CocoaModifier::capsLock;
    return (cocoaModifierFlags() & relevant) == CocoaModifier::option;
}

QList<Shortcut> systemReservedShortcuts()
{
    return shortcutServices().systemShortcuts->reservedShortcuts();
}

bool isSandboxed()
{
    static const bool sandboxed = qEnvironmentVariableIsSet("APP_SANDBOX_CONTAINER_ID");
    return sandboxed;
}

} // namespace KeyboardShortcuts
