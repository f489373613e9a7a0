#include "clipboard/ClipboardManager.h"
#include "clipboard/wayland/WaylandPasteboardProvider.h"
#include "fakes/FakePasteSimulator.h"
#include "support/HistoryChecks.h"
#include "support/TestTools.h"
#include "support/WaylandSession.h"

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

    void capturesCopiesAndServesOwnWrites();
    void misbehavingOwnerCapturesNothing_data();
    void misbehavingOwnerCapturesNothing();

private:
    QStringList texts() const { return HistoryChecks::texts(*m_manager); }

    std::optional<WaylandSession> m_session;
    WaylandPasteboardProvider *m_provider = nullptr;
    std::unique_ptr<ClipboardManager> m_manager;
};

static constexpr int captureTimeoutMs = 10000;

static QByteArray wlPaste(const QString &type)
{
    const ToolResult result = runTool(QStringLiteral("wl-paste"),
                                      {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    return result.ok() ? result.standardOutput : QByteArray("<wl-paste failed>");
}

// Copies with wl-copy and waits until the clipboard holds the copy: wl-copy
// returns before its background server has taken the clipboard.
static bool copy(const QByteArray &data, const QString &type = QStringLiteral("text/plain;charset=utf-8"))
{
    return runTool(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type}, data).ok()
        && QTest::qWaitFor([&] { return wlPaste(type) == data; }, captureTimeoutMs);
}

void TestWaylandPasteboardProvider::initTestCase()
{
    HALVEX_FIND_WAYLAND_SESSION_OR_SKIP(m_session);
    m_session->activate();
}

void TestWaylandPasteboardProvider::init()
{
    // Leave no owner from an earlier test behind; start after its copy.
    QVERIFY(copy("reset"));
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

void TestWaylandPasteboardProvider::capturesCopiesAndServesOwnWrites()
{
    const QString textType = QStringLiteral("text/plain;charset=utf-8");
    HistoryChecks::verifyTextAndPngCaptured(*m_manager, copy, textType, captureTimeoutMs);
    const auto paste = [this](const ClipboardItem &item) {
        m_manager->paste(item, false);
        return true;
    };
    HistoryChecks::verifyOwnWriteServedNotCaptured(*m_manager, *m_provider, copy, paste, wlPaste,
                                                   {textType, QStringLiteral("text/plain")},
                                                   captureTimeoutMs);
}

void TestWaylandPasteboardProvider::misbehavingOwnerCapturesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("copyAtOnce"); // while the read of the owner still waits
    const QString owner = u"exec "_qs + testHelperPath(QStringLiteral("wayland_clipboard_owner"));
    QTest::newRow("secret") << owner + u" secret hunter2"_qs << false;
    QTest::newRow("never answers") << owner + u" hang"_qs << false;
    QTest::newRow("never answers, newer copy at once") << owner + u" hang"_qs << true;
    // Over the 16 MiB cap: the read stops at the cap.
    QTest::newRow("too large")
        << u"head -c 17825792 /dev/zero | tr '\\0' x | wl-copy; echo ready; sleep 60"_qs << false;
}

// Seen and given up on: the change counts, nothing is kept, and the next
// copy is recorded; a newer copy supersedes a read still waiting.
void TestWaylandPasteboardProvider::misbehavingOwnerCapturesNothing()
{
    QFETCH(QString, command);
    QFETCH(bool, copyAtOnce);
    QSignalSpy changed(m_provider, &WaylandPasteboardProvider::snapshotChanged);
    QProcess owner;
    owner.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += owner.readAllStandardOutput()).contains("ready"), captureTimeoutMs);
    if (!copyAtOnce) {
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, captureTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_manager->lastChangeCount(), m_provider->changeCount(), captureTimeoutMs);
        QVERIFY(m_manager->copiedItems().isEmpty());
        QVERIFY(!m_provider->string(PasteboardProvider::plainTextType));
    }

    QVERIFY(runTool(QStringLiteral("wl-copy"), {QStringLiteral("after it")}).ok());
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList {u"after it"_qs}, captureTimeoutMs);
    QCOMPARE(changed.count(), copyAtOnce ? 1 : 2);
    owner.kill();
    owner.waitForFinished(5000);
}

QTEST_MAIN(TestWaylandPasteboardProvider)
#include "tst_waylandpasteboardprovider.moc"
