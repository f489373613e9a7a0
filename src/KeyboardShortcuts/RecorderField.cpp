#include "KeyboardShortcuts/RecorderField.h"

#include "KeyboardShortcuts/EventMonitorVerdict.h"
#include "KeyboardShortcuts/LocalEventMonitor.h"
#include "KeyboardShortcuts/MenuItemSearch.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/NativeKeyCodeMap.h"
#include "KeyboardShortcuts/RecorderKeyboardGrab.h"
#include "KeyboardShortcuts/ResourceBundle.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace KeyboardShortcuts {

namespace {

RecorderKeyPress::Kind kindOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return RecorderKeyPress::Kind::Tab;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return RecorderKeyPress::Kind::Delete;
    default:
        break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return RecorderKeyPress::Kind::FunctionKey;
    return RecorderKeyPress::Kind::Other;
}

// A modifier key on its own changes the modifier state; it is no key press
// of its own for the recorder.
bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

RecorderKeyPress keyPressOf(const QKeyEvent *event)
{
    RecorderKeyPress press;
    press.carbonKeyCode = shortcutServices().nativeKeyCodes->carbonKeyCode(event->nativeScanCode());
    press.carbonModifiers = carbonFromQtModifiers(event->modifiers());
    press.kind = kindOf(event->key());
    return press;
}

QString withoutMnemonics(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

// The application's menus stand in for the main menu: every menu bar, and
// every menu that is not a submenu (such as the tray entry's menu), in the
// order of the top-level windows.
QAction *applicationMenuItemUsing(const Shortcut &shortcut)
{
    for (QWidget *topLevel : QApplication::topLevelWidgets()) {
        if (auto *menu = qobject_cast<QMenu *>(topLevel)) {
            QWidget *parent = menu->parentWidget();
            if (!qobject_cast<QMenu *>(parent) && !qobject_cast<QMenuBar *>(parent)) {
                if (QAction *action = menuItemWithMatchingShortcut(shortcut, menu))
                    return action;
            }
            continue;
        }
        const QList<QMenuBar *> bars = topLevel->findChildren<QMenuBar *>();
        for (QMenuBar *bar : bars) {
            if (QAction *action = menuItemWithMatchingShortcut(shortcut, bar))
                return action;
        }
    }
    return nullptr;
}

} // namespace

RecorderField::RecorderField(const Name &name, RecorderController::OnChange onChange, QWidget *parent)
    : QLineEdit(parent)
{
    setAlignment(Qt::AlignCenter);
    // Every key goes to the recorder, never into the text: read-only also
    // keeps the caret and any input method away.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_clearAction = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, this),
                              QLineEdit::TrailingPosition);
    m_clearAction->setObjectName(QStringLiteral("clearShortcut"));
    connect(m_clearAction, &QAction::triggered, this, [this] { m_controller->clear(); });

    m_grabCap.setSingleShot(true);
    m_grabCap.setInterval(keyboardGrabCap);
    connect(&m_grabCap, &QTimer::timeout, this, [] {
        qCInfo(lcShortcuts) << "the recorder has held the keyboard for" << keyboardGrabCap.count()
                            << "s; letting it go (combinations other applications hold no longer reach it)";
        shortcutServices().recorderKeyboardGrab->release();
    });

    RecorderHost &host = *this;
    m_controller = std::make_unique<RecorderController>(name, host, std::move(onChange));
    connect(m_controller.get(), &RecorderController::displayChanged, this, &RecorderField::syncDisplay);
    syncDisplay();
}

RecorderField::~RecorderField()
{
    stopIntercepting();
    disconnect(m_controller.get(), nullptr, this, nullptr);
    // Going away while recording must not leave the global hotkeys paused.
    if (m_controller->isRecording())
        m_controller->endRecording();
}

QSize RecorderField::sizeHint() const
{
    return QSize(RecorderController::controlWidth, QLineEdit::sizeHint().height());
}

bool RecorderField::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::Show:
        preventBecomingFocusedByItself();
        break;
    case QEvent::WindowDeactivate:
        // Losing the window's focus ends recording (through the focus-out),
        // and the control does not get the focus back by itself when the
        // window is activated again.
        clearFocus();
        break;
    case QEvent::ParentChange:
        if (m_controller->isRecording()) {
            stopIntercepting();
            m_controller->endRecording();
        }
        preventBecomingFocusedByItself();
        break;
    case QEvent::Hide:
        // The window closed (its deactivation may come later).
        if (m_controller->isRecording()) {
            stopIntercepting();
            m_controller->endRecording();
        }
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

void RecorderField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    deselect();
    const bool asked = m_focusRequested || event->reason() == Qt::MouseFocusReason;
    m_focusRequested = false;
    if (m_guarded && !asked) {
        m_refusingFocus = true;
        clearFocus();
        m_refusingFocus = false;
        return;
    }
    if (m_controller->beginRecording())
        startIntercepting();
}

void RecorderField::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (m_refusingFocus)
        return;
    stopIntercepting();
    m_controller->endRecording();
}

void RecorderField::mousePressEvent(QMouseEvent *event)
{
    // A click into a window that is not active yet gives the focus only once
    // the window is activated, as if the window chose the control: the click
    // asked for it.
    if (!hasFocus())
        m_focusRequested = true;
    QLineEdit::mousePressEvent(event);
}

void RecorderField::startIntercepting()
{
    if (shortcutServices().recorderKeyboardGrab->grab(window()->windowHandle()))
        m_grabCap.start();
    QPointer<RecorderField> self(this);
    m_monitor = std::make_unique<LocalEventMonitor>(
        QList<QEvent::Type> {QEvent::MouseButtonRelease, QEvent::KeyPress},
        [self](QObject *receiver, QEvent *event) {
            if (!self)
                return EventMonitorVerdict::swallow();
            return self->handleMonitoredEvent(receiver, event);
        });
    m_monitor->start();
}

void RecorderField::stopIntercepting()
{
    m_monitor.reset();
    m_grabCap.stop();
    shortcutServices().recorderKeyboardGrab->release();
}

EventMonitorVerdict RecorderField::handleMonitoredEvent(QObject *, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return EventMonitorVerdict::pass();
        // Within the control and its margin the release keeps recording;
        // beyond it recording ends and the click acts where it landed. The
        // release is delivered in both cases: Qt has delivered its press
        // (the monitor does not take presses), and a widget that never sees
        // the release keeps the mouse grabbed, so the next click would go to
        // it.
        m_controller->handleMouseRelease(mapFromGlobal(mouse->globalPosition()), QRectF(rect()));
        return EventMonitorVerdict::pass();
    }
    if (event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (isModifierKey(keyEvent->key()))
            return EventMonitorVerdict::pass();
        QPointer<RecorderField> self(this);
        const auto disposition = m_controller->handleKeyPress(keyPressOf(keyEvent));
        // Only a bare Tab goes on. Recording has ended and nothing has the
        // focus any more, so the Tab would start over at the window's first
        // control: move on from here instead.
        if (self && disposition == RecorderController::Disposition::Pass)
            moveFocusOn();
        return EventMonitorVerdict::swallow();
    }
    return EventMonitorVerdict::pass();
}

void RecorderField::moveFocusOn()
{
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w->window() == window() && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)
            && !w->focusProxy()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void RecorderField::preventBecomingFocusedByItself()
{
    m_guarded = true;
    QTimer::singleShot(0, this, [this] { m_guarded = false; });
}

void RecorderField::syncDisplay()
{
    if (text() != m_controller->text())
        setText(m_controller->text());
    setPlaceholderText(localized(m_controller->placeholderKey().toUtf8().constData()));
    setToolTip(m_controller->isStoredValueUnreadable() ? localized("unreadable_shortcut_help") : QString());
    m_clearAction->setVisible(m_controller->isClearButtonVisible());
}

bool RecorderField::hasWindow() const
{
    return isVisible();
}

void RecorderField::blur()
{
    clearFocus();
}

void RecorderField::focus()
{
    if (hasFocus())
        return;
    m_focusRequested = true;
    // After an alert the window may not be active yet; the focus then
    // arrives when it is.
    if (!isActiveWindow())
        window()->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void RecorderField::beep()
{
    QApplication::beep();
}

int RecorderField::runAlert(const RecorderAlert &alert)
{
    // Window-modal over the control's window; exec() returns once it is
    // closed. The box is owned by the window, which may go away meanwhile.
    QPointer<QMessageBox> box = new QMessageBox(window());
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        box->setIconPixmap(appIcon.pixmap(64, 64));
    QString message = localized(alert.messageKey.toUtf8().constData());
    if (!alert.messageArgument.isEmpty())
        message = message.arg(alert.messageArgument);
    box->setText(message);
    if (!alert.informativeKey.isEmpty())
        box->setInformativeText(localized(alert.informativeKey.toUtf8().constData()));
    QList<QAbstractButton *> buttons;
    if (alert.buttonKeys.isEmpty()) {
        box->setStandardButtons(QMessageBox::Ok);
        buttons << box->button(QMessageBox::Ok);
    } else {
        for (qsizetype i = 0; i < alert.buttonKeys.size(); ++i) {
            const QString text = localized(alert.buttonKeys.at(i).toUtf8().constData());
            buttons << box->addButton(text, i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
        }
        box->setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
        box->setEscapeButton(buttons.first());
    }
    box->exec();
    if (!box)
        return -1;
    const int response = int(buttons.indexOf(box->clickedButton()));
    delete box;
    return response;
}

QString RecorderField::displayText(const Shortcut &shortcut) const
{
    return shortcut.nativeText();
}

std::optional<QString> RecorderField::menuItemTitle(const Shortcut &shortcut) const
{
    if (QAction *action = applicationMenuItemUsing(shortcut))
        return withoutMnemonics(action->text());
    return std::nullopt;
}

bool RecorderField::isDisallowed(const Shortcut &shortcut) const
{
    return shortcut.isDisallowed();
}

bool RecorderField::isTakenBySystem(const Shortcut &shortcut) const
{
    return shortcut.isTakenBySystem();
}

} // namespace KeyboardShortcuts
