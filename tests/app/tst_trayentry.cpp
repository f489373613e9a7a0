#include "app/TrayEntry.h"
#include "clipboard/ClipboardManager.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "support/SessionProbes.h"
#include "support/TestTools.h"
#include "views/ClipboardItemRow.h"
#include "views/ContentView.h"

#include <QFile>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int deadlineMs = 15000;

} // namespace

// The tray entry against a real X server with an XEmbed tray (trayer), a real
// clipboard filled by xclip, and the pointer driven by xdotool.
class TestTrayEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tray = startTray();
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), deadlineMs);
        auto provider = std::make_unique<X11PasteboardProvider>();
        QVERIFY(provider->isValid());
        auto simulator = std::make_unique<XTestPasteSimulator>();
        QVERIFY(simulator->isAvailable());
        m_manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), nullptr);
        m_entry = std::make_unique<TrayEntry>(m_manager.get());
    }

    void cleanupTestCase()
    {
        m_entry.reset();
        m_manager.reset();
    }

    // Copies (an image among them) are listed newest first; a click on a row
    // pastes it into the window the user was in, and a second click on the
    // icon closes the window for good.
    void clickOpensHistoryAndARowPastes()
    {
        m_entry->show();
        QVERIFY(xclipCopy("first copy"));
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 1, deadlineMs);
        QVERIFY(xclipCopy("second copy"));
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 2, deadlineMs);
        QVERIFY(runTool(u"xclip"_qs, {u"-selection"_qs, u"clipboard"_qs, u"-t"_qs, u"image/png"_qs},
                        filledPng(QSize(120, 60), QColor(40, 160, 80)))
                    .ok());
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 3, deadlineMs);

        const QString output = m_dir.filePath(u"target"_qs);
        auto target = startTool(QStringLiteral(PASTE_TARGET), {output});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + u".focused"_qs), deadlineMs);
        ContentView *window = m_entry->historyWindow();
        QVERIFY(!window->isVisible());
        openFromTray();
        const QList<ClipboardItemRow *> rows = window->rows();
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.at(0)->item().image().has_value());
        QCOMPARE(*rows.at(1)->item().text(), u"second copy"_qs);
        QCOMPARE(*rows.at(2)->item().text(), u"first copy"_qs);
        QVERIFY(xdotoolClick(rows.at(2)->mapToGlobal(rows.at(2)->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(fileContents(output)), u"first copy"_qs, deadlineMs);
        // Pasting does not add or reorder entries.
        QCOMPARE(m_manager->copiedItems().size(), 3);

        openFromTray();
        QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
        // The click is not taken as a request to reopen.
        QTest::qWait(500);
        QVERIFY(!window->isVisible());
    }

private:
    void openFromTray()
    {
        ContentView *window = m_entry->historyWindow();
        // An activation right after the window closed is ignored as the same click.
        QTest::qWait(400);
        QTRY_VERIFY_WITH_TIMEOUT(m_entry->trayIcon()->geometry().width() > 8, deadlineMs);
        QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), deadlineMs);
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<TrayEntry> m_entry;
};

QTEST_MAIN(TestTrayEntry)
#include "tst_trayentry.moc"
