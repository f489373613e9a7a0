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
{
    QCoreApplication::instance()->installEventFilter(this);
    m_hotKeys.setMenuOpen(anyPopupVisible(nullptr));
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
    // Only events sent to windows: a key event reaches the window first and is
    // then passed on to its widgets, and must be matched once.
    if (!watched->isWindowType())
        return false;
    auto *window = static_cast<QWindow *>(watched);
    switch (event->type()) {
    case QEvent::Show:
        if (isPopup(window))
            m_hotKeys.setMenuOpen(true);
        return false;
    case QEvent::Hide:
        if (isPopup(window))
            m_hotKeys.setMenuOpen(anyPopupVisible(window));
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!m_hotKeys.isMatchingKeyEvents())
            return false;
        const auto shortcut = Shortcut::fromKeyEvent(event, m_keyCodes);
        if (!shortcut)
            return false;
        const auto *keyEvent = static_cast<const QKeyEvent *>(event);
        if (keyEvent->isAutoRepeat()) {
            // Holding a hotkey down must not type into the menu either, but
            // only the first press runs the action.
            const auto records = m_hotKeys.records();
            return std::any_of(records.begin(), records.end(),
                               [&](const GlobalHotKeys::Record &r) { return r.shortcut == *shortcut; });
        }
        return m_hotKeys.handleKeyEvent(
            *shortcut, event->type() == QEvent::KeyPress ? EventType::keyDown : EventType::keyUp);
    }
    default:
        return false;
    }
}

} // namespace KeyboardShortcuts
