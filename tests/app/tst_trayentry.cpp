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
    return runTool(u"xclip"_qs, {u"-selection"_qs, u"clipboard"_qs}, text.toUtf8()).ok();
}

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
        m_tray = startTool(u"trayer"_qs,
                           {u"--edge"_qs, u"top"_qs, u"--align"_qs, u"right"_qs, u"--widthtype"_qs,
                            u"request"_qs, u"--height"_qs, u"24"_qs, u"--transparent"_qs, u"false"_qs,
                            u"--tint"_qs, u"0x333333"_qs});
        QVERIFY(m_tray->state() == QProcess::Running);
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
        if (m_tray) {
            m_tray->terminate();
            m_tray->waitForFinished(5000);
        }
    }

    void iconAppearsInTray()
    {
        m_entry->show();
        QSystemTrayIcon *icon = m_entry->trayIcon();
        QVERIFY(icon->toolTip() == u"Halvex"_qs);
        QVERIFY(!icon->icon().isNull());
        // Docked: the tray gave it a place at the top right of the screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTRY_VERIFY_WITH_TIMEOUT(icon->geometry().width() > 8 && icon->geometry().left() > screen.width() / 2,
                                 deadlineMs);
        QVERIFY2(icon->geometry().top() < 40, qPrintable(QDebug::toString(icon->geometry())));
        // The history window stays closed until the icon is clicked.
        QVERIFY(!m_entry->historyWindow()->isVisible());
    }

    void clickOpensHistoryListingCopies()
    {
        QVERIFY(copyText(u"first copy"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 1, deadlineMs);
        QVERIFY(copyText(u"#3366ff"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 2, deadlineMs);
        const QString imagePath = m_dir.filePath(u"copied.png"_qs);
        QImage image(120, 60, QImage::Format_RGB32);
        image.fill(QColor(40, 160, 80));
        QVERIFY(image.save(imagePath));
        QVERIFY(runTool(u"xclip"_qs,
                        {u"-selection"_qs, u"clipboard"_qs, u"-t"_qs, u"image/png"_qs, u"-i"_qs, imagePath})
                    .ok());
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->copiedItems().size(), 3, deadlineMs);

        openFromTray();
        ContentView *window = m_entry->historyWindow();
        const QList<ClipboardItemRow *> rows = window->rows();
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.at(0)->item().image().has_value());
        QCOMPARE(*rows.at(1)->item().text(), u"#3366ff"_qs);
        QVERIFY(rows.at(1)->swatchColor().has_value());
        QCOMPARE(*rows.at(2)->item().text(), u"first copy"_qs);
        for (ClipboardItemRow *row : rows)
            QVERIFY(row->isVisible());

        // Next to the tray: just below the icon, wholly on the screen.
        const QRect icon = m_entry->trayIcon()->geometry();
        const QRect frame = window->frameGeometry();
        QVERIFY2(frame.top() >= icon.bottom() && frame.top() <= icon.bottom() + 20,
                 qPrintable(QDebug::toString(frame) + QDebug::toString(icon)));
        QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(frame));
    }

    void clickingRowPastesIntoPreviousWindow()
    {
        ContentView *window = m_entry->historyWindow();
        if (window->isVisible()) {
            window->hide();
        }
        QTemporaryDir dir;
        const QString output = dir.filePath(u"target"_qs);
        auto target = startTool(QStringLiteral(PASTE_TARGET), {output});
        auto stop = qScopeGuard([&] {
            target->kill();
            target->waitForFinished(5000);
        });
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + u".focused"_qs), deadlineMs);

        openFromTray();
        ClipboardItemRow *row = window->rows().at(2); // "first copy"
        QCOMPARE(*row->item().text(), u"first copy"_qs);
        QVERIFY(xdotoolClick(row->mapToGlobal(row->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(output)), u"first copy"_qs, deadlineMs);
        // Pasting does not add or reorder entries.
        QCOMPARE(m_manager->copiedItems().size(), 3);
    }

    void clearAllEmptiesOpenWindow()
    {
        ContentView *window = m_entry->historyWindow();
        openFromTray();
        QCOMPARE(window->rows().size(), 3);
        auto *clearAll = window->findChild<QPushButton *>(u"clearAllButton"_qs);
        QVERIFY(clearAll);
        QVERIFY(xdotoolClick(clearAll->mapToGlobal(clearAll->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(m_manager->copiedItems().isEmpty(), deadlineMs);
        QVERIFY(window->rows().isEmpty());
        QVERIFY(window->isVisible());
        QVERIFY(window->findChild<QWidget *>(u"emptyState"_qs)->isVisible());
    }

    void secondClickCloses()
    {
        ContentView *window = m_entry->historyWindow();
        QVERIFY(window->isVisible());
        QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), deadlineMs);
        // And it stays closed: the click is not taken as a request to reopen.
        QTest::qWait(500);
        QVERIFY(!window->isVisible());
    }

private:
    void openFromTray()
    {
        ContentView *window = m_entry->historyWindow();
        QVERIFY(!window->isVisible());
        // An activation right after the window closed is ignored as the same click.
        QTest::qWait(400);
        QVERIFY(xdotoolClick(m_entry->trayIcon()->geometry().center()));
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), deadlineMs);
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    std::unique_ptr<QProcess> m_tray;
    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<TrayEntry> m_entry;
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestTrayEntry)
#include "tst_trayentry.moc"
