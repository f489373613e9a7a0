#include "KeyboardShortcuts/LocalEventMonitor.h"

#include "KeyboardShortcuts/ApplicationEventFilter.h"

namespace KeyboardShortcuts {

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> events, Callback callback)
    : m_filter(new ApplicationEventFilter(std::move(events), std::move(callback)))
{ }

LocalEventMonitor::~LocalEventMonitor()
{
    m_filter->release();
}

LocalEventMonitor &LocalEventMonitor::start()
{
    m_filter->install();
    return *this;
}

bool LocalEventMonitor::isStarted() const
{
    return m_filter->isInstalled();
}

} // namespace KeyboardShortcuts
