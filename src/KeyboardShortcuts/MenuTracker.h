#pragma once

#include <QObject>

class QWindow;

namespace KeyboardShortcuts {

class GlobalHotKeys;
class NativeKeyCodeMap;

// Watches the application's popup windows (the windows of QMenu and other
// popups). A popup holds the keyboard grab, so passive global grabs cannot
// fire while one is open: the tracker tells the hotkey layer when the first
// popup opens and the last one closes, and meanwhile recognises the
// registered combinations in the application's own key events and swallows
// them, running the hotkey's action instead.
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

    GlobalHotKeys &m_hotKeys;
    const NativeKeyCodeMap &m_keyCodes;
};

} // namespace KeyboardShortcuts
