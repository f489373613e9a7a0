#include "KeyboardShortcuts/EventStream.h"

#include "KeyboardShortcuts/SubsystemState.h"

#include <QMetaObject>
#include <QPointer>

namespace KeyboardShortcuts {

EventStream::EventStream(const Name &name, std::optional<EventType> filter, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_id(QUuid::createUuid())
{
    SubsystemState &s = state();
    // The notifier object lives as long as this state: a state reset in
    // between drops the queued call together with it.
    QMetaObject::invokeMethod(
        &s.notifierObject,
        [registry = &s.registry, name, id = m_id, filter, stream = QPointer<EventStream>(this)] {
            auto deliver = [stream, filter](EventType type) {
                return [stream, filter, type] {
                    if (stream && (!filter || *filter == type))
                        Q_EMIT stream->eventOccurred(type);
                };
            };
            registry->addStreamHandlers(name, id, deliver(EventType::keyDown), deliver(EventType::keyUp));
        },
        Qt::QueuedConnection);
}

EventStream::~EventStream()
{
    SubsystemState &s = state();
    QMetaObject::invokeMethod(
        &s.notifierObject,
        [registry = &s.registry, name = m_name, id = m_id] { registry->removeStreamHandlers(name, id); },
        Qt::QueuedConnection);
}

} // namespace KeyboardShortcuts
