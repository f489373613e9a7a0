#pragma once

#include <QEvent>

#include <memory>

namespace KeyboardShortcuts {

// What an event monitor's callback decides about an event: deliver it,
// swallow it, or deliver another event in its place.
class EventMonitorVerdict
{
public:
    static EventMonitorVerdict pass() { return EventMonitorVerdict(Kind::Pass); }
    static EventMonitorVerdict swallow() { return EventMonitorVerdict(Kind::Swallow); }
    static EventMonitorVerdict replaceWith(std::unique_ptr<QEvent> event)
    {
        if (!event)
            return swallow();
        EventMonitorVerdict verdict(Kind::Replace);
        verdict.m_replacement = std::move(event);
        return verdict;
    }

    bool isPass() const { return m_kind == Kind::Pass; }
    bool isSwallow() const { return m_kind == Kind::Swallow; }
    QEvent *replacement() const { return m_replacement.get(); }

private:
    enum class Kind { Pass, Swallow, Replace };
    explicit EventMonitorVerdict(Kind kind)
        : m_kind(kind)
    { }

    Kind m_kind;
    std::unique_ptr<QEvent> m_replacement;
};

} // namespace KeyboardShortcuts
