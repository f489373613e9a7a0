#pragma once

#include "KeyboardShortcuts/Name.h"
#include "KeyboardShortcuts/RecorderController.h"
#include "KeyboardShortcuts/RecorderHost.h"

#include <QLineEdit>
#include <QTimer>

#include <chrono>
#include <memory>

class QAction;

namespace KeyboardShortcuts {

class EventMonitorVerdict;
class LocalEventMonitor;

// The shortcut recorder control: a small centred field showing the name's
// shortcut, with a clear button while there is one. Focusing it (a click, or
// Tab into it) starts recording; while it records, a monitor on the
// application's events hands key presses and mouse releases to the
// RecorderController, which decides what becomes of them, and the platform's
// RecorderKeyboardGrab directs the keyboard to the control's window, so that
// combinations other applications hold reach it too. The grab ends with the
// recording, and after keyboardGrabCap at the latest.
class RecorderField : public QLineEdit, private RecorderHost
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds keyboardGrabCap {10};

    explicit RecorderField(const Name &name, RecorderController::OnChange onChange = {},
                           QWidget *parent = nullptr);
    ~RecorderField() override;

    const Name &shortcutName() const { return m_controller->shortcutName(); }
    void setShortcutName(const Name &name) { m_controller->setShortcutName(name); }
    bool isRecording() const { return m_controller->isRecording(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // RecorderHost
    bool hasWindow() const override;
    void blur() override;
    void focus() override;
    void beep() override;
    int runAlert(const RecorderAlert &alert) override;
    QString displayText(const Shortcut &shortcut) const override;
    std::optional<QString> menuItemTitle(const Shortcut &shortcut) const override;
    bool isDisallowed(const Shortcut &shortcut) const override;
    bool isTakenBySystem(const Shortcut &shortcut) const override;

    EventMonitorVerdict handleMonitoredEvent(QObject *receiver, QEvent *event);
    void startIntercepting();
    void stopIntercepting();
    void syncDisplay();
    void moveFocusOn();
    void preventBecomingFocusedByItself();

    std::unique_ptr<RecorderController> m_controller;
    std::unique_ptr<LocalEventMonitor> m_monitor;
    QTimer m_grabCap;
    QAction *m_clearAction = nullptr;
    // Set for one turn of the event loop after the window is activated or the
    // control shown: focus that neither a click nor the control itself asked
    // for is refused, so that a freshly shown window does not start
    // recording by itself.
    bool m_guarded = false;
    bool m_focusRequested = false;
    bool m_refusingFocus = false;
};

} // namespace KeyboardShortcuts
