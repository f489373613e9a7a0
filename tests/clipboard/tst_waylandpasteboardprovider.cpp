#include "clipboard/ClipboardManager.h"
#include "clipboard/wayland/WaylandPasteboardProvider.h"
#include "fakes/FakePasteSimulator.h"
#include "support/HistoryChecks.h"
#include "support/TestTools.h"
#include "support/WaylandSession.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

// The history store on the clipboard of a headless sway session, through the
// compositor's data control, fed by real clients (wl-copy, and a helper
// owner that misbehaves on purpose).
class TestWaylandPasteboardProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void contentBeforeStartNotCaptured();
    void textAndPngCaptured();
    void ownWriteServedAndNotCapturedBack_data();
    void ownWriteServedAndNotCapturedBack();
    void misbehavingOwnerCapturesNothing_data();
    void misbehavingOwnerCapturesNothing();
    void newerCopySupersedesAHungRead();

private:
    void start();
    QStringList texts() const;

    std::optional<WaylandSession> m_session;
    WaylandPasteboardProvider *m_provider = nullptr;
    std::unique_ptr<ClipboardManager> m_manager;
};

static constexpr int captureTimeoutMs = 10000;

static QByteArray paste(const QString &type = QStringLiteral("text/plain;charset=utf-8"))
{
    const ToolResult result = runTool(QStringLiteral("wl-paste"),
                                      {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    return result.ok() ? result.standardOutput : QByteArray("<wl-paste failed>");
}

// Copies with wl-copy and waits until the clipboard holds the copy: wl-copy
// returns before its background server has taken the clipboard.
static bool copy(const QByteArray &data, const QString &type = QStringLiteral("text/plain;charset=utf-8"))
{
    if (!runTool(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type}, data).ok())
        return false;
    QElapsedTimer elapsed;
    elapsed.start();
    while (paste(type) != data) {
        if (elapsed.elapsed() > captureTimeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

void TestWaylandPasteboardProvider::initTestCase()
{
    QString whyNot;
    m_session = WaylandSession::find(&whyNot);
    if (!m_session)
        QSKIP(qPrintable(whyNot));
    m_session->activate();
}

void TestWaylandPasteboardProvider::init()
{
    // Leave no owner from an earlier test behind.
    QVERIFY(copy("reset"));
}

void TestWaylandPasteboardProvider::start()
{
    auto provider = std::make_unique<WaylandPasteboardProvider>(WaylandPasteboardProvider::Protocol::Wlr);
    QVERIFY(provider->isValid());
    m_provider = provider.get();
    m_manager = std::make_unique<ClipboardManager>(std::move(provider),
                                                   std::make_unique<FakePasteSimulator>(), nullptr);
}

void TestWaylandPasteboardProvider::cleanup()
{
    m_manager.reset();
    m_provider = nullptr;
}

QStringList TestWaylandPasteboardProvider::texts() const
{
    return HistoryChecks::texts(*m_manager);
}

void TestWaylandPasteboardProvider::contentBeforeStartNotCaptured()
{
    QVERIFY(copy("already there"));
    start();
    QSignalSpy changed(m_provider, &WaylandPasteboardProvider::snapshotChanged);
    QVERIFY(copy("first copy"));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList {QStringLiteral("first copy")}, captureTimeoutMs);
    QCOMPARE(changed.count(), 1);
}

void TestWaylandPasteboardProvider::textAndPngCaptured()
{
    start();
    HistoryChecks::verifyTextAndPngCaptured(*m_manager, copy, QStringLiteral("text/plain;charset=utf-8"),
                                            captureTimeoutMs);
}

void TestWaylandPasteboardProvider::ownWriteServedAndNotCapturedBack_data()
{
    QTest::addColumn<bool>("image");
    QTest::newRow("text") << false;
    QTest::newRow("image") << true;
}

void TestWaylandPasteboardProvider::ownWriteServedAndNotCapturedBack()
{
    QFETCH(bool, image);
    start();
    QVERIFY(copy("outside"));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList {QStringLiteral("outside")}, captureTimeoutMs);

    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(QColor(200, 10, 99));
    const QString text = QStringLiteral("pasted back \u00e9");
    const ClipboardItem item = image ? ClipboardItem::fromImage(picture) : ClipboardItem::fromText(text);
    QSignalSpy changed(m_provider, &WaylandPasteboardProvider::snapshotChanged);
    const qint64 countBefore = m_provider->changeCount();
    m_manager->paste(item, false);
    QVERIFY(m_provider->changeCount() != countBefore);
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());

    // Served to every reader, as often as asked.
    for (int read = 0; read < 2; ++read) {
        if (image) {
            QTRY_VERIFY_WITH_TIMEOUT(!QImage::fromData(paste(QStringLiteral("image/png")), "PNG").isNull(),
                                     captureTimeoutMs);
            // The entry's stored bytes, not a new encoding.
            const QByteArray served = paste(QStringLiteral("image/png"));
            QCOMPARE(served, item.imageContent()->png());
            QCOMPARE(QImage::fromData(served, "PNG").pixelColor(3, 3), QColor(200, 10, 99));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(paste()), text, captureTimeoutMs);
            QCOMPARE(QString::fromUtf8(paste(QStringLiteral("text/plain"))), text);
        }
    }

    // Our own selection was not read back: the next outside copy is the only
    // change seen since the write.
    QVERIFY(copy("after"));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), (QStringList {QStringLiteral("after"), QStringLiteral("outside")}),
                              captureTimeoutMs);
    QCOMPARE(changed.count(), 1);
}

void TestWaylandPasteboardProvider::misbehavingOwnerCapturesNothing_data()
{
    QTest::addColumn<QString>("command");
    const QString owner = testHelperPath(QStringLiteral("wayland_clipboard_owner"));
    QTest::newRow("secret") << QStringLiteral("exec ") + owner + QStringLiteral(" secret hunter2");
    QTest::newRow("never answers") << QStringLiteral("exec ") + owner + QStringLiteral(" hang");
    // Over the 16 MiB cap: the read stops at the cap.
    QTest::newRow("too large") << QStringLiteral(
        "head -c 17825792 /dev/zero | tr '\\0' x | wl-copy; echo ready; "
        "sleep 60");
}

void TestWaylandPasteboardProvider::misbehavingOwnerCapturesNothing()
{
    QFETCH(QString, command);
    start();
    QSignalSpy changed(m_provider, &WaylandPasteboardProvider::snapshotChanged);
    QProcess owner;
    owner.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += owner.readAllStandardOutput()).contains("ready"), captureTimeoutMs);
    // Seen and given up on: the change counts, nothing is kept.
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, captureTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_manager->lastChangeCount(), m_provider->changeCount(), captureTimeoutMs);
    QVERIFY(m_manager->copiedItems().isEmpty());
    QVERIFY(!m_provider->string(PasteboardProvider::plainTextType));

    QVERIFY(copy("after it"));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList {QStringLiteral("after it")}, captureTimeoutMs);
    owner.kill();
    owner.waitForFinished(5000);
}

void TestWaylandPasteboardProvider::newerCopySupersedesAHungRead()
{
    start();
    QSignalSpy changed(m_provider, &WaylandPasteboardProvider::snapshotChanged);
    QProcess owner;
    owner.start(testHelperPath(QStringLiteral("wayland_clipboard_owner")), {QStringLiteral("hang")});
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += owner.readAllStandardOutput()).contains("ready"), captureTimeoutMs);
    // At once, while the read of the hung owner waits for its deadline.
    QVERIFY(runTool(QStringLiteral("wl-copy"), {QStringLiteral("newer")}).ok());
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList {QStringLiteral("newer")}, captureTimeoutMs);
    // The abandoned read published nothing.
    QCOMPARE(changed.count(), 1);
    owner.kill();
    owner.waitForFinished(5000);
}

QTEST_MAIN(TestWaylandPasteboardProvider)
#include "tst_waylandpasteboardprovider.moc"
