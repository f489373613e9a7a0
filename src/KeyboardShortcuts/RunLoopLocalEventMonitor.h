#pragma once

#include "KeyboardShortcuts/EventMonitorVerdict.h"

#include <QEvent>
#include <QList>

#include <functional>

namespace KeyboardShortcuts {

class ApplicationEventFilter;

// The same filter as LocalEventMonitor, switched on and off: it sees events
// only between start() and stop(). The hotkey layer keeps one and starts it
// while one of the application's menus is open, when the menu holds the
// keyboard. Starting twice is one registration; stopping a stopped monitor
// does nothing; destruction stops it.
class RunLoopLocalEventMonitor
{
public:
    using Callback = std::function<EventMonitorVerdict(QObject *receiver, QEvent *event)>;

    RunLoopLocalEventMonitor(QList<QEvent::Type> events, Callback callback);
    ~RunLoopLocalEventMonitor();
    RunLoopLocalEventMonitor(const RunLoopLocalEventMonitor &) = delete;
    RunLoopLocalEventMonitor &operator=(const RunLoopLocalEventMonitor &) = delete;

    void start();
    void stop();
    bool isActive() const;

private:
    ApplicationEventFilter *m_filter; // owned; ends through release()
};

} // namespace KeyboardShortcuts
