#include "KeyboardShortcuts/RunLoopLocalEventMonitor.h"

#include "KeyboardShortcuts/ApplicationEventFilter.h"

namespace KeyboardShortcuts {

RunLoopLocalEventMonitor::RunLoopLocalEventMonitor(QList<QEvent::Type> events, Callback callback)
    : m_filter(new ApplicationEventFilter(std::move(events), std::move(callback)))
{ }

RunLoopLocalEventMonitor::~RunLoopLocalEventMonitor()
{
    m_filter->release();
}

void RunLoopLocalEventMonitor::start()
{
    m_filter->install();
}

void RunLoopLocalEventMonitor::stop()
{
    m_filter->uninstall();
}

bool RunLoopLocalEventMonitor::isActive() const
{
    return m_filter->isInstalled();
}

} // namespace KeyboardShortcuts
