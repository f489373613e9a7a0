#pragma once

#include "KeyboardShortcuts/RunLoopLocalEventMonitor.h"

#include <QObject>

class QWindow;

namespace KeyboardShortcuts {

class GlobalHotKeys;
class NativeKeyCodeMap;

// Watches the application's popup windows (the windows of QMenu and other
// popups). A popup holds the keyboard grab, so passive global grabs cannot
// fire while one is open: the tracker tells the hotkey layer when the first
// popup opens and the last one closes. While the layer matches key events, a
// key monitor hands the application's own key events to it and swallows the
// ones it recognises, so they run the hotkey's action instead of reaching the
// menu.
class MenuTracker : public QObject
{
    Q_OBJECT
public:
    // Installs itself as an event filter of the application object.
    MenuTracker(GlobalHotKeys &hotKeys, const NativeKeyCodeMap &keyCodes, QObject *parent = nullptr);
    ~MenuTracker() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool anyPopupVisible(const QWindow *except) const;
    EventMonitorVerdict matchKeyEvent(QEvent *event);

    GlobalHotKeys &m_hotKeys;
    const NativeKeyCodeMap &m_keyCodes;
    RunLoopLocalEventMonitor m_keyMonitor;
};

} // namespace KeyboardShortcuts
