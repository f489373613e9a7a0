#pragma once

#include "KeyboardShortcuts/EventMonitorVerdict.h"

#include <QEvent>
#include <QList>
#include <QObject>

#include <functional>

namespace KeyboardShortcuts {

// The application event filter behind both event monitors. It shows the
// callback each event of the watched types once, where it is first delivered
// (normally the window, before any widget sees it), and carries out the
// verdict: a passed or replacing event is delivered from inside the filter,
// so the copies Qt sends on to the focus widget or to parents are recognised
// as the same event and not shown again.
//
// While key presses are watched the filter also claims every shortcut
// override, so that Qt's shortcut map does not act on a key before the
// callback has seen its press.
//
// The owner ends it with release(): the filter unhooks at once and deletes
// itself, later if a callback is running (a callback may drop the monitor
// that called it).
class ApplicationEventFilter final : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<EventMonitorVerdict(QObject *receiver, QEvent *event)>;

    ApplicationEventFilter(QList<QEvent::Type> types, Callback callback);

    void install();
    void uninstall();
    bool isInstalled() const { return m_installed; }
    void release();

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override;

private:
    ~ApplicationEventFilter() override;
    void deliver(QObject *receiver, QEvent *event);

    const QList<QEvent::Type> m_types;
    const Callback m_callback;
    // Types of the events being delivered from inside the filter right now.
    QList<QEvent::Type> m_delivering;
    int m_busy = 0;
    bool m_installed = false;
    bool m_released = false;
};

} // namespace KeyboardShortcuts
