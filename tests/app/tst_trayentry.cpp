#include "app/TrayEntry.h"
#include "clipboard/ClipboardManager.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "support/TestTools.h"
#include "views/ClipboardItemRow.h"
#include "views/ContentView.h"

#include <QFile>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int deadlineMs = 15000;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyText(const QString &text)
{
    return runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                   text.toUtf8())
        .ok();
}

} // namespace

// The tray entry against a real X server with an XEmbed tray (trayer), a real
// clipboard filled by xclip, and the pointer driven by xdotool.
class TestTrayEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void iconAppearsInTray();
    void clickOpensHistoryListingCopies();
    void clickingRowPastesIntoPreviousWindow();
    void clearAllEmptiesOpenWindow();
    void secondClickCloses();

private:
    void openFromTray();

    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<TrayEntry> m_entry;
    QTemporaryDir m_dir;
};

void TestTrayEntry::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tray = startTool(QStringLiteral("trayer"),
                       {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                        QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                        QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--transparent"),
                        QStringLiteral("false"), QStringLiteral("--tint"), QStringLiteral("0x333333")});
    QVERIFY(m_tray->state() == QProcess::Running);
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), deadlineMs);

    auto provider = std::make_unique<X11PasteboardProvider>();
    QVERIFY(provider->isValid());
    auto simulator = std::make_unique<XTestPasteSimulator>();
    QVERIFY(simulator->isAvailable());
    m_manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), nullptr);
    m_entry = std::make_unique<TrayEntry>(m_manager.get());
}

void TestTrayEntry::cleanupTestCase()
{
    m_entry.reset();
    m_manager.reset();
    if (m_tray) {
        m_tray->terminate();
        m_tray->waitForFinished(5000);
    }
}

void TestTrayEntry::openFromTray()
{
    ContentView *window = m_entry->historyWindow();
    QVERIFY(!window->isVisible());
    // An activation right after the window closed is ignored as the same click.
    QTest::qWait(400);
    QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), deadlineMs);
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestTrayEntry::iconAppearsInTray()
{
    m_entry->show();
    QSystemTrayIcon *icon = m_entry->trayIcon();
    QVERIFY(icon->toolTip() == QStringLiteral("Halvex"));
    QVERIFY(!icon->icon().isNull());
    // Docked: the tray gave it a place at the top right of the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QTRY_VERIFY_WITH_TIMEOUT(icon->geometry().width() > 8 && icon->geometry().left() > screen.width() / 2,
                             deadlineMs);
    QVERIFY2(icon->geometry().top() < 40, qPrintable(QDebug::toString(icon->geometry())));
    // The history window stays closed until the icon is clicked.
    QVERIFY(!m_entry->historyWindow()->isVisible());
}

void TestTrayEntry::clickOpensHistoryListingCopies()
{
    QVERIFY(copyText(QStringLiteral("first copy")));
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 1, deadlineMs);
    QVERIFY(copyText(QStringLiteral("#3366ff")));
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 2, deadlineMs);
    const QString imagePath = m_dir.filePath(QStringLiteral("copied.png"));
    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(QColor(40, 160, 80));
    QVERIFY(image.save(imagePath));
    QVERIFY(runTool(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                     QStringLiteral("image/png"), QStringLiteral("-i"), imagePath})
                .ok());
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 3, deadlineMs);

    openFromTray();
    ContentView *window = m_entry->historyWindow();
    const QList<ClipboardItemRow *> rows = window->rows();
    QCOMPARE(rows.size(), 3);
    QVERIFY(rows.at(0)->item().image().has_value());
    QCOMPARE(*rows.at(1)->item().text(), QStringLiteral("#3366ff"));
    QVERIFY(rows.at(1)->swatchColor().has_value());
    QCOMPARE(*rows.at(2)->item().text(), QStringLiteral("first copy"));
    for (ClipboardItemRow *row : rows)
        QVERIFY(row->isVisible());

    // Next to the tray: just below the icon, wholly on the screen.
    const QRect icon = m_entry->trayIcon()->geometry();
    const QRect frame = window->frameGeometry();
    QVERIFY2(frame.top() >= icon.bottom() && frame.top() <= icon.bottom() + 20,
             qPrintable(QDebug::toString(frame) + QDebug::toString(icon)));
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(frame));
}

void TestTrayEntry::clickingRowPastesIntoPreviousWindow()
{
    ContentView *window = m_entry->historyWindow();
    if (window->isVisible()) {
        window->hide();
    }
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("target"));
    auto target = startTool(QStringLiteral(PASTE_TARGET), {output});
    auto stop = qScopeGuard([&] {
        target->kill();
        target->waitForFinished(5000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + QStringLiteral(".focused")), deadlineMs);

    openFromTray();
    ClipboardItemRow *row = window->rows().at(2); // "first copy"
    QCOMPARE(*row->item().text(), QStringLiteral("first copy"));
    QVERIFY(xdotoolClick(row->mapToGlobal(row->rect().center())));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(output)), QStringLiteral("first copy"), deadlineMs);
    // Pasting does not add or reorder entries.
    QCOMPARE(m_manager->copiedItems().size(), 3);
}

void TestTrayEntry::clearAllEmptiesOpenWindow()
{
    ContentView *window = m_entry->historyWindow();
    openFromTray();
    QCOMPARE(window->rows().size(), 3);
    auto *clearAll = window->findChild<QPushButton *>(QStringLiteral("clearAllButton"));
    QVERIFY(clearAll);
    QVERIFY(xdotoolClick(clearAll->mapToGlobal(clearAll->rect().center())));
    QTRY_VERIFY_WITH_TIMEOUT(m_manager->copiedItems().isEmpty(), deadlineMs);
    QVERIFY(window->rows().isEmpty());
    QVERIFY(window->isVisible());
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("emptyState"))->isVisible());
}

void TestTrayEntry::secondClickCloses()
{
    ContentView *window = m_entry->historyWindow();
    QVERIFY(window->isVisible());
    QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
    // And it stays closed: the click is not taken as a request to reopen.
    QTest::qWait(500);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TestTrayEntry)
#include "tst_trayentry.moc"
