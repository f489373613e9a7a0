#pragma once

#include "KeyboardShortcuts/EventType.h"
#include "KeyboardShortcuts/Name.h"

#include <QObject>
#include <QUuid>

#include <optional>

namespace KeyboardShortcuts {

// A subscription to the key events of one name (events() creates it).
// Installs its handlers on the next turn of the GUI event loop and removes
// them the same way once destroyed; the name's hotkey is registered while at
// least one handler wants it.
class EventStream : public QObject
{
    Q_OBJECT
public:
    // filter: deliver only this type; none delivers both.
    EventStream(const Name &name, std::optional<EventType> filter, QObject *parent = nullptr);
    ~EventStream() override;

    const Name &name() const { return m_name; }

Q_SIGNALS:
    void eventOccurred(KeyboardShortcuts::EventType type);

private:
    Name m_name;
    QUuid m_id;
};

} // namespace KeyboardShortcuts
