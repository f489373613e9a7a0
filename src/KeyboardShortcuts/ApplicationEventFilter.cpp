#include "KeyboardShortcuts/ApplicationEventFilter.h"

#include <QCoreApplication>
#include <QPointer>

namespace KeyboardShortcuts {

ApplicationEventFilter::ApplicationEventFilter(QList<QEvent::Type> types, Callback callback)
    : m_types(std::move(types))
    , m_callback(std::move(callback))
{ }

ApplicationEventFilter::~ApplicationEventFilter()
{
    uninstall();
}

void ApplicationEventFilter::install()
{
    if (m_installed || m_released || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installEventFilter(this);
    m_installed = true;
}

void ApplicationEventFilter::uninstall()
{
    if (!m_installed)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_installed = false;
}

void ApplicationEventFilter::release()
{
    uninstall();
    m_released = true;
    if (m_busy == 0)
        delete this;
}

bool ApplicationEventFilter::eventFilter(QObject *receiver, QEvent *event)
{
    if (!m_installed)
        return false;
    const QEvent::Type type = event->type();
    if (!m_types.contains(type)) {
        if (type == QEvent::ShortcutOverride && m_types.contains(QEvent::KeyPress)) {
            event->accept();
            return true;
        }
        return false;
    }
    if (m_delivering.contains(type))
        return false;

    ++m_busy;
    const QPointer<QObject> alive(receiver);
    EventMonitorVerdict verdict = m_callback(receiver, event);
    if (verdict.isSwallow() || !alive) {
        // A receiver the callback destroyed gets nothing more.
        event->accept();
    } else if (QEvent *replacement = verdict.replacement()) {
        deliver(receiver, replacement);
        event->setAccepted(replacement->isAccepted());
    } else {
        deliver(receiver, event);
    }
    --m_busy;
    if (m_released && m_busy == 0)
        delete this;
    return true;
}

void ApplicationEventFilter::deliver(QObject *receiver, QEvent *event)
{
    m_delivering.append(event->type());
    // notify() rather than sendEvent(): it keeps the event's spontaneous flag.
    QCoreApplication::instance()->notify(receiver, event);
    m_delivering.removeLast();
}

} // namespace KeyboardShortcuts
