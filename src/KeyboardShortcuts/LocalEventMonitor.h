#pragma once

#include "KeyboardShortcuts/EventMonitorVerdict.h"

#include <QEvent>
#include <QList>

#include <functional>

namespace KeyboardShortcuts {

class ApplicationEventFilter;

// Sees the application's own input events of the given types before normal
// dispatch (and before Qt's shortcut map, when key presses are watched): the
// callback lets each event through, swallows it, or replaces it. Installed
// by start(), removed when the monitor is destroyed; there is no stop. The
// recorder holds one exactly while it records. Main thread only; the
// callback may destroy the monitor that called it.
class LocalEventMonitor
{
public:
    using Callback = std::function<EventMonitorVerdict(QObject *receiver, QEvent *event)>;

    LocalEventMonitor(QList<QEvent::Type> events, Callback callback);
    ~LocalEventMonitor();
    LocalEventMonitor(const LocalEventMonitor &) = delete;
    LocalEventMonitor &operator=(const LocalEventMonitor &) = delete;

    // Installs the monitor; a second call changes nothing.
    LocalEventMonitor &start();
    bool isStarted() const;

private:
    ApplicationEventFilter *m_filter; // owned; ends through release()
};

} // namespace KeyboardShortcuts
