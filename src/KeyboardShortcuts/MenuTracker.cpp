#include "KeyboardShortcuts/MenuTracker.h"

#include "KeyboardShortcuts/GlobalHotKeys.h"
#include "KeyboardShortcuts/Shortcut.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#include <algorithm>

namespace KeyboardShortcuts {

namespace {

bool isPopup(const QWindow *window)
{
    return window->type() == Qt::Popup;
}

} // namespace

MenuTracker::MenuTracker(GlobalHotKeys &hotKeys, const NativeKeyCodeMap &keyCodes, QObject *parent)
    : QObject(parent)
    , m_hotKeys(hotKeys)
    , m_keyCodes(keyCodes)
    , m_keyMonitor({QEvent::KeyPress, QEvent::KeyRelease},
                   [this](QObject *, QEvent *event) { return matchKeyEvent(event); })
{
    QCoreApplication::instance()->installEventFilter(this);
    connect(&m_hotKeys, &GlobalHotKeys::matchingKeyEventsChanged, this, [this](bool matching) {
        if (matching)
            m_keyMonitor.start();
        else
            m_keyMonitor.stop();
    });
    m_hotKeys.setMenuOpen(anyPopupVisible(nullptr));
    if (m_hotKeys.isMatchingKeyEvents())
        m_keyMonitor.start();
}

MenuTracker::~MenuTracker()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool MenuTracker::anyPopupVisible(const QWindow *except) const
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const auto windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.begin(), windows.end(),
                       [except](const QWindow *w) { return w != except && w->isVisible() && isPopup(w); });
}

bool MenuTracker::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Show && type != QEvent::Hide) || !watched->isWindowType())
        return false;
    auto *window = static_cast<QWindow *>(watched);
    if (isPopup(window))
        m_hotKeys.setMenuOpen(type == QEvent::Show || anyPopupVisible(window));
    return false;
}

EventMonitorVerdict MenuTracker::matchKeyEvent(QEvent *event)
{
    const auto shortcut = Shortcut::fromKeyEvent(event, m_keyCodes);
    if (!shortcut)
        return EventMonitorVerdict::pass();
    if (static_cast<const QKeyEvent *>(event)->isAutoRepeat()) {
        // Holding a hotkey down must not type into the menu either, but
        // only the first press runs the action.
        const auto records = m_hotKeys.records();
        const bool known = std::any_of(records.begin(), records.end(), [&](const GlobalHotKeys::Record &r) {
            return r.shortcut == *shortcut;
        });
        return known ? EventMonitorVerdict::swallow() : EventMonitorVerdict::pass();
    }
    const EventType type = event->type() == QEvent::KeyPress ? EventType::keyDown : EventType::keyUp;
    return m_hotKeys.handleKeyEvent(*shortcut, type) ? EventMonitorVerdict::swallow()
                                                     : EventMonitorVerdict::pass();
}

} // namespace KeyboardShortcuts
