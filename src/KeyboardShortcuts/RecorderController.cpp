#include "KeyboardShortcuts/RecorderController.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/RecorderHost.h"
#include "KeyboardShortcuts/RecorderNotifier.h"
#include "KeyboardShortcuts/ShortcutNotifier.h"

#include <QPointer>

namespace KeyboardShortcuts {

namespace {

const QString recordPlaceholder = QStringLiteral("record_shortcut");
const QString pressPlaceholder = QStringLiteral("press_shortcut");
const QString unreadablePlaceholder = QStringLiteral("unreadable_shortcut");

// Modifiers that make a key press more than the bare key (Caps Lock does
// not count), and those that make it a chord on their own (Shift and the
// function key do not).
constexpr int significantModifiers = CarbonModifier::command | CarbonModifier::shift | CarbonModifier::option
    | CarbonModifier::control | CarbonModifier::function;
constexpr int chordModifiers = CarbonModifier::command | CarbonModifier::option | CarbonModifier::control;

} // namespace

RecorderController::RecorderController(const Name &name, RecorderHost &host, OnChange onChange,
                                       QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_host(host)
    , m_onChange(std::move(onChange))
    , m_placeholderKey(recordPlaceholder)
{
    updateStringValue();
    connect(&notifier(), &ShortcutNotifier::shortcutByNameDidChange, this, [this](const Name &changed) {
        if (changed == m_name)
            updateStringValue();
    });
}

void RecorderController::setShortcutName(const Name &name)
{
    if (name.rawValue() == m_name.rawValue())
        return;
    m_name = name;
    updateStringValue();
}

bool RecorderController::beginRecording()
{
    if (!m_host.hasWindow())
        return false;
    m_recording = true;
    m_placeholderKey = pressPlaceholder;
    m_caretVisible = false;
    showsCancelButton();
    Q_EMIT displayChanged();
    setPaused(true);
    Q_EMIT recorderNotifier().recorderActiveStatusDidChange(true);
    return true;
}

void RecorderController::endRecording()
{
    m_recording = false;
    m_placeholderKey = idlePlaceholder();
    m_caretVisible = true;
    showsCancelButton();
    Q_EMIT displayChanged();
    setPaused(false);
    Q_EMIT recorderNotifier().recorderActiveStatusDidChange(false);
}

RecorderController::Disposition RecorderController::handleMouseRelease(QPointF position, QRectF bounds)
{
    const QRectF area = bounds.adjusted(-clickMargin, -clickMargin, clickMargin, clickMargin);
    if (area.contains(position))
        return Disposition::Swallow;
    // The click then acts where it landed.
    m_host.blur();
    return Disposition::Pass;
}

RecorderController::Disposition RecorderController::handleKeyPress(const RecorderKeyPress &press)
{
    const bool bare = (press.carbonModifiers & significantModifiers) == 0;
    if (bare && press.kind == RecorderKeyPress::Kind::Tab) {
        // The Tab goes on and moves the focus to the next control.
        m_host.blur();
        return Disposition::Pass;
    }
    if (bare && press.carbonKeyCode == Key::escape.rawValue()) {
        m_host.blur();
        return Disposition::Swallow;
    }
    if (bare && press.kind == RecorderKeyPress::Kind::Delete) {
        if (m_clearButtonVisible)
            clear();
        return Disposition::Swallow;
    }
    // Without Command, Option or Control only F1 to F35 (alone or with
    // Shift) can be a shortcut.
    if ((press.carbonModifiers & chordModifiers) == 0 && press.kind != RecorderKeyPress::Kind::FunctionKey) {
        m_host.beep();
        return Disposition::Swallow;
    }
    if (!press.carbonKeyCode) {
        m_host.beep();
        return Disposition::Swallow;
    }
    // F-keys come with the function flag on some keyboards; it is never part
    // of the shortcut.
    const Shortcut shortcut(*press.carbonKeyCode, press.carbonModifiers & ~CarbonModifier::function);

    // The checks run in this order, so a combination that a menu item and the
    // system both use shows only the menu alert. The control may go away
    // while an alert is open.
    QPointer<RecorderController> self(this);
    if (const std::optional<QString> title = m_host.menuItemTitle(shortcut)) {
        m_host.blur();
        m_host.runAlert({QStringLiteral("keyboard_shortcut_used_by_menu_item"), *title, {}, {}});
        if (self)
            m_host.focus();
        return Disposition::Swallow;
    }
    if (m_host.isDisallowed(shortcut)) {
        m_host.blur();
        m_host.runAlert({QStringLiteral("keyboard_shortcut_disallowed"), {}, {}, {}});
        if (self)
            m_host.focus();
        return Disposition::Swallow;
    }
    if (m_host.isTakenBySystem(shortcut)) {
        m_host.blur();
        const int response = m_host.runAlert({QStringLiteral("keyboard_shortcut_used_by_system"),
                                              {},
                                              QStringLiteral("keyboard_shortcuts_can_be_changed"),
                                              {QStringLiteral("ok"), QStringLiteral("force_use_shortcut")}});
        if (!self)
            return Disposition::Swallow;
        m_host.focus();
        if (response != 1)
            return Disposition::Swallow;
    }
    accept(shortcut);
    return Disposition::Swallow;
}

void RecorderController::clear()
{
    textDidChange(QString());
}

void RecorderController::accept(const Shortcut &shortcut)
{
    // The text is the recorded shortcut even if storing it fails.
    m_text = m_host.displayText(shortcut);
    m_clearButtonVisible = true;
    Q_EMIT displayChanged();
    QPointer<RecorderController> self(this);
    setShortcut(shortcut, m_name);
    if (self && m_onChange)
        m_onChange(shortcut);
    if (self)
        m_host.blur();
}

void RecorderController::textDidChange(const QString &text)
{
    m_text = text;
    QPointer<RecorderController> self(this);
    if (text.isEmpty()) {
        setShortcut(std::nullopt, m_name);
        if (self && m_onChange)
            m_onChange(std::nullopt);
    }
    if (!self)
        return;
    showsCancelButton();
    Q_EMIT displayChanged();
    // After a clear the control keeps the focus and goes on recording.
    if (text.isEmpty())
        m_host.focus();
}

void RecorderController::updateStringValue()
{
    const std::optional<Shortcut> shortcut = getShortcut(m_name);
    m_text = shortcut ? m_host.displayText(*shortcut) : QString();
    m_storedValueUnreadable = !shortcut && hasUnreadableShortcut(m_name);
    if (!m_recording)
        m_placeholderKey = idlePlaceholder();
    showsCancelButton();
    Q_EMIT displayChanged();
}

QString RecorderController::idlePlaceholder() const
{
    return m_storedValueUnreadable ? unreadablePlaceholder : recordPlaceholder;
}

void RecorderController::showsCancelButton()
{
    m_clearButtonVisible = !m_text.isEmpty();
}

} // namespace KeyboardShortcuts
