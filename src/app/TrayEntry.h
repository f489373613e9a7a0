#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <memory>

class ClipboardManager;
class ContentView;
class QMenu;
class QSystemTrayIcon;

// Halvex's always-present entry: a paperclip in the system tray titled
// "Halvex" (StatusNotifierItem where the desktop offers one, an XEmbed tray
// icon otherwise; Qt picks). Clicking it opens the history window next to
// the tray; clicking again, or anywhere outside the window, closes it.
//
// The history window is a popup: it never takes the keyboard focus from the
// window the user works in, so that a paste from it lands there.
//
// When the session has no tray, the entry says so once on standard error and
// stays dormant; the rest of Halvex works without it.
class TrayEntry : public QObject
{
    Q_OBJECT

public:
    explicit TrayEntry(ClipboardManager *manager, QObject *parent = nullptr);
    ~TrayEntry() override;

    // The application's icon, from the bundled SVG.
    static QIcon applicationIcon();

    // Puts the icon into the tray (or reports that there is none).
    void show();

    QSystemTrayIcon *trayIcon() const { return m_trayIcon.get(); }
    ContentView *historyWindow() const { return m_window.get(); }

    // Opens the history window next to anchor (the tray icon's rectangle),
    // or at point when anchor is empty, kept inside that screen.
    void showHistoryWindow(const QRect &anchor, const QPoint &point);
    void showHistoryWindowAtTray();
    void hideHistoryWindow();
    void toggleHistoryWindow();

    // Where the window goes for the given anchor, in the available area.
    static QPoint windowPosition(const QSize &window, const QRect &anchor, const QPoint &point,
                                 const QRect &available);

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();
    void hideApplicationRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<ContentView> m_window;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    QElapsedTimer m_sinceHidden;
    bool m_reportedNoTray = false;
};
