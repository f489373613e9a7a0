#include "app/TrayEntry.h"

#include "app/AppLogging.h"
#include "views/ContentView.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

#include <cstdio>

namespace {

// A click on the tray icon while the window is open first closes the window
// (the press lands outside it) and then activates the icon: an activation
// this soon after the window closed is that same click, not a new request.
constexpr qint64 sameClickMs = 300;
constexpr int gapToTray = 4;
// How far from a screen edge a tray counts as lying along that edge.
constexpr int panelBand = 64;

} // namespace

TrayEntry::TrayEntry(ClipboardManager *manager, QObject *parent)
    : QObject(parent)
    , m_window(std::make_unique<ContentView>(manager))
    , m_menu(std::make_unique<QMenu>())
    , m_trayIcon(std::make_unique<QSystemTrayIcon>(applicationIcon()))
{
    m_window->setWindowFlags(Qt::Popup);
    m_window->setWindowTitle(tr("Halvex"));
    m_window->setObjectName(QStringLiteral("historyWindow"));
    m_window->installEventFilter(this);

    connect(m_window.get(), &ContentView::dismissRequested, this, &TrayEntry::hideHistoryWindow);
    connect(m_window.get(), &ContentView::hideApplicationRequested, this,
            &TrayEntry::hideApplicationRequested);
    connect(m_window.get(), &ContentView::settingsRequested, this, [this] {
        hideHistoryWindow();
        Q_EMIT settingsRequested();
    });
    connect(m_window.get(), &ContentView::quitRequested, this, &TrayEntry::quitRequested);

    // For trays that show a menu on the other button (and StatusNotifier
    // hosts that only offer the menu).
    m_menu->addAction(tr("Show History"), this, &TrayEntry::showHistoryWindowAtTray);
    m_menu->addAction(tr("Settings…"), this, &TrayEntry::settingsRequested);
    m_menu->addSeparator();
    m_menu->addAction(tr("Quit Halvex"), this, &TrayEntry::quitRequested);

    m_trayIcon->setToolTip(tr("Halvex"));
    m_trayIcon->setContextMenu(m_menu.get());
    connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    toggleHistoryWindow();
            });
}

TrayEntry::~TrayEntry() = default;

static void initResources()
{
    // The resources of a static library are registered explicitly.
    Q_INIT_RESOURCE(halvex);
}

QIcon TrayEntry::applicationIcon()
{
    initResources();
    QIcon icon(QStringLiteral(":/halvex/icons/halvex.svg"));
    if (icon.availableSizes().isEmpty() && icon.pixmap(QSize(22, 22)).isNull())
        return QIcon::fromTheme(QStringLiteral("halvex"));
    return icon;
}

void TrayEntry::show()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !m_reportedNoTray) {
        m_reportedNoTray = true;
        std::fputs("halvex: no system tray found, so there is no Halvex icon to open the history from; "
                   "the quick-paste panel still opens with its shortcut.\n",
                   stderr);
    }
    // Shown in any case: a tray that starts later picks the icon up. Except
    // on Wayland without a StatusNotifierItem host: Qt's fallback there is
    // the X11 tray protocol, which cannot work.
    if (QSystemTrayIcon::isSystemTrayAvailable() || !QGuiApplication::platformName().startsWith(u"wayland"))
        m_trayIcon->show();
}

void TrayEntry::showHistoryWindowAtTray()
{
    showHistoryWindow(m_trayIcon->geometry(), QCursor::pos());
}

void TrayEntry::showHistoryWindow(const QRect &anchor, const QPoint &point)
{
    m_window->adjustSize();
    const QPoint reference = anchor.isValid() ? anchor.center() : point;
    QScreen *screen = QGuiApplication::screenAt(reference);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), m_window->size());
    m_window->move(windowPosition(m_window->size(), anchor, point, available));
    m_window->show();
    m_window->raise();
}

void TrayEntry::hideHistoryWindow()
{
    m_window->hide();
}

void TrayEntry::toggleHistoryWindow()
{
    if (m_window->isVisible()) {
        hideHistoryWindow();
        return;
    }
    if (m_sinceHidden.isValid() && m_sinceHidden.elapsed() < sameClickMs)
        return;
    showHistoryWindowAtTray();
}

QPoint TrayEntry::windowPosition(const QSize &window, const QRect &anchor, const QPoint &point,
                                 const QRect &available)
{
    QPoint pos;
    if (anchor.isValid()) {
        // Away from the screen edge the tray sits at, centred on the icon
        // along that edge. A tray in a corner is taken as a top or bottom
        // panel, the usual kind.
        const QPoint c(anchor.x() + anchor.width() / 2, anchor.y() + anchor.height() / 2);
        const int toTop = c.y() - available.top(), toBottom = available.bottom() - c.y();
        const int toLeft = c.x() - available.left(), toRight = available.right() - c.x();
        const bool atTop = toTop <= toBottom && toTop < panelBand;
        const bool atBottom = !atTop && toBottom < panelBand;
        const bool atSide = !atTop && !atBottom && qMin(toLeft, toRight) < panelBand;
        if (atSide) {
            pos.setX(toLeft < toRight ? anchor.right() + 1 + gapToTray
                                      : anchor.left() - gapToTray - window.width());
            pos.setY(c.y() - window.height() / 2);
        } else {
            pos.setX(c.x() - window.width() / 2);
            const bool below = atTop || (!atBottom && toTop <= toBottom);
            pos.setY(below ? anchor.bottom() + 1 + gapToTray : anchor.top() - gapToTray - window.height());
        }
    } else {
        pos = QPoint(point.x() - window.width() / 2, point.y() + gapToTray);
        if (pos.y() + window.height() > available.bottom() + 1)
            pos.setY(point.y() - gapToTray - window.height());
    }
    // Keep the whole window on the screen.
    pos.setX(
        qBound(available.left(), pos.x(), qMax(available.left(), available.right() + 1 - window.width())));
    pos.setY(
        qBound(available.top(), pos.y(), qMax(available.top(), available.bottom() + 1 - window.height())));
    return pos;
}

bool TrayEntry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Hide)
        m_sinceHidden.start();
    return QObject::eventFilter(watched, event);
}
