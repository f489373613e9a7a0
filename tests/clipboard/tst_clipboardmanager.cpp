#include "fakes/FakeTextRecognizer.h"
#include "support/HistoryChecks.h"
#include "support/HistoryFixture.h"
#include "support/PngBytes.h"

#include <QSignalSpy>
#include <QTest>

// The history rules, driven one poll at a time through checkForChanges() on a
// fake clipboard.
class TestClipboardManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void duplicatesAndTrimming();
    void capture_data();
    void capture();
    void ownWriteNotCapturedAndKeystrokeFollows_data();
    void ownWriteNotCapturedAndKeystrokeFollows();
    void clearAllAndLowerChangeCount();
    void recognitionLandsInItsEntryOrNowhere_data();
    void recognitionLandsInItsEntryOrNowhere();
    void pollingCaptures();

    void queuedImagesComparedByPixels();
    void backedUpQueueLeavesTheSameHistory();

private:
    void restart(bool queuing);
    void copy(const QString &text) { m_history->copyTexts({text}); }
    QList<QUuid> ids() const;
    QStringList texts() const { return HistoryChecks::texts(*m_manager); }

    std::shared_ptr<FakeTextRecognizer> m_recognizer;
    std::unique_ptr<HistoryFixture> m_history;
    FakePasteboardProvider *m_provider = nullptr;
    FakePasteSimulator *m_simulator = nullptr;
    ClipboardManager *m_manager = nullptr;
};

static QImage picture(QRgb colour)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

void TestClipboardManager::init()
{
    m_recognizer = std::make_shared<FakeTextRecognizer>();
    restart(false);
}

void TestClipboardManager::cleanup()
{
    m_recognizer->release();
    m_history.reset();
    m_recognizer.reset();
}

// A new, stopped manager over a provider that is polled or queues every change.
void TestClipboardManager::restart(bool queuing)
{
    m_history.reset();
    m_history = std::make_unique<HistoryFixture>(m_recognizer, queuing);
    m_provider = m_history->pasteboard;
    m_simulator = m_history->keystrokes;
    m_manager = m_history->manager.get();
}

QList<QUuid> TestClipboardManager::ids() const
{
    QList<QUuid> result;
    for (const ClipboardItem &item : m_manager->copiedItems())
        result.append(item.id());
    return result;
}

void TestClipboardManager::duplicatesAndTrimming()
{
    for (const QString &text : {u"\u00e9t\u00e9"_qs, u"b"_qs, u"c"_qs})
        copy(text);
    const QList<QUuid> before = ids();

    // A re-copy of the head changes nothing, and the model says nothing.
    QSignalSpy inserted(m_manager->history(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(m_manager->history(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(m_manager->history(), &QAbstractItemModel::modelReset);
    copy(u"c"_qs);
    QCOMPARE(ids(), before);
    QCOMPARE(inserted.count() + removed.count() + reset.count(), 0);

    // An older entry, re-copied in a canonically equivalent form, moves to
    // the head as a new entry.
    copy(u"e\u0301te\u0301"_qs);
    QCOMPARE(texts(), (QStringList {u"e\u0301te\u0301"_qs, u"c"_qs, u"b"_qs}));
    QVERIFY(!before.contains(ids().at(0)));
    QCOMPARE(ids().mid(1), before.mid(0, 2));

    // The 101st entry trims the oldest; a re-copy within the list trims nothing.
    removed.clear();
    for (int i = 0; i < ClipboardManager::maxHistoryCount - 3; ++i)
        copy(QString::number(i));
    QCOMPARE(removed.count(), 0);
    copy(u"x"_qs);
    QCOMPARE(m_manager->history()->rowCount(), ClipboardManager::maxHistoryCount);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(texts().constLast(), u"c"_qs);
    copy(u"c"_qs);
    QCOMPARE(m_manager->copiedItems().size(), ClipboardManager::maxHistoryCount);
    QCOMPARE(texts().constLast(), u"e\u0301te\u0301"_qs);
}

void TestClipboardManager::capture_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("images"); // -1: none offered; otherwise red, then green
    QTest::addColumn<QStringList>("history");
    QTest::newRow("beside an empty image list") << u"text"_qs << 0 << QStringList {u"text"_qs};
    QTest::newRow("mixed white space") << u" \t\r\n\u00a0\u2003"_qs << -1 << QStringList();
    QTest::newRow("the first image before text") << u"caption"_qs << 2 << QStringList {u"<image>"_qs};
}

void TestClipboardManager::capture()
{
    QFETCH(QString, text);
    QFETCH(int, images);
    QFETCH(QStringList, history);
    const QList<QImage> offered
        = QList<QImage> {picture(qRgb(255, 0, 0)), picture(qRgb(0, 255, 0))}.mid(0, images);
    if (images < 0)
        m_provider->copyText(text);
    else
        m_provider->copyImagesAndText(offered, text);
    m_manager->checkForChanges();
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());
    QCOMPARE(texts(), history);
    if (images > 0)
        QCOMPARE(m_manager->copiedItems().constFirst().image(), std::optional(offered.constFirst()));
}

void TestClipboardManager::ownWriteNotCapturedAndKeystrokeFollows_data()
{
    using Writes = FakePasteboardProvider::Writes;
    QTest::addColumn<bool>("pasteImage");
    QTest::addColumn<bool>("keystroke");
    QTest::addColumn<Writes>("writes");
    QTest::addColumn<bool>("keystrokeFollows");
    QTest::newRow("text entry, with keystroke") << false << true << Writes::Taken << true;
    QTest::newRow("image entry, without keystroke") << true << false << Writes::Taken << false;
    // The chord would paste what the clipboard held before.
    QTest::newRow("refused write") << false << true << Writes::Refused << false;
    QTest::newRow("write never reaches the clipboard") << true << true << Writes::NeverSettled << false;
}

void TestClipboardManager::ownWriteNotCapturedAndKeystrokeFollows()
{
    QFETCH(bool, pasteImage);
    QFETCH(bool, keystroke);
    QFETCH(FakePasteboardProvider::Writes, writes);
    QFETCH(bool, keystrokeFollows);
    const QImage blue = picture(qRgb(0, 0, 255));
    m_recognizer->setResult(blue.pixel(0, 0), u"recognised"_qs);
    m_provider->copyImages({blue});
    m_manager->checkForChanges();
    QTRY_VERIFY(m_manager->copiedItems().constFirst().extractedText());
    copy(u"text"_qs);
    const QList<QUuid> before = ids();

    m_provider->setWrites(writes);
    m_manager->paste(m_manager->copiedItems().at(pasteImage ? 1 : 0), keystroke);
    QCOMPARE(m_simulator->calls(), 0); // returns before the keystroke
    QCOMPARE(m_provider->writeCount(), 1);
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());
    m_manager->checkForChanges();
    QCOMPARE(ids(), before);
    // An image goes back without its recognised text.
    QCOMPARE(m_provider->images(), pasteImage ? std::optional(QList<QImage> {blue}) : std::nullopt);
    QCOMPARE(m_provider->text(), pasteImage ? std::nullopt : std::optional(u"text"_qs));
    if (keystrokeFollows) {
        QTRY_COMPARE(m_simulator->calls(), 1);
    } else {
        // A keystroke would follow after 100 ms; give it ample time not to come.
        QTest::qWait(500);
        QCOMPARE(m_simulator->calls(), 0);
    }
}

// Clearing keeps the clipboard's content consumed; a counter that goes down
// (the clipboard's owner restarted) is a change all the same.
void TestClipboardManager::clearAllAndLowerChangeCount()
{
    copy(u"a"_qs);
    QSignalSpy reset(m_manager->history(), &QAbstractItemModel::modelReset);
    m_manager->clearAll();
    m_manager->checkForChanges();
    QVERIFY(m_manager->copiedItems().isEmpty());
    m_manager->clearAll(); // an empty history is still announced
    QCOMPARE(reset.count(), 2);

    copy(u"first"_qs);
    m_provider->copyText(u"second"_qs);
    m_provider->setChangeCount(-5);
    m_manager->checkForChanges();
    QCOMPARE(m_manager->lastChangeCount(), -5);
    QCOMPARE(texts(), (QStringList {u"second"_qs, u"first"_qs}));
}

void TestClipboardManager::recognitionLandsInItsEntryOrNowhere_data()
{
    QTest::addColumn<QString>("how"); // what happens while the recognition runs
    QTest::newRow("kept, no longer the newest") << u"kept"_qs;
    QTest::newRow("empty result") << u"empty"_qs;
    QTest::newRow("cleared") << u"clear"_qs;
    QTest::newRow("re-copied") << u"recopy"_qs; // lands in the new entry
}

void TestClipboardManager::recognitionLandsInItsEntryOrNowhere()
{
    QFETCH(QString, how);
    const QImage image = picture(qRgb(9, 9, 9));
    m_recognizer->setResult(image.pixel(0, 0), how == u"empty"_qs ? QString() : u"late"_qs);
    m_recognizer->hold();
    m_provider->copyImages({image});
    m_manager->checkForChanges();
    const QUuid capturedId = m_manager->copiedItems().constFirst().id();
    QVERIFY(m_recognizer->waitForCalls(1));

    if (how == u"clear"_qs) {
        m_manager->clearAll();
    } else {
        copy(u"between"_qs);
    }
    if (how == u"recopy"_qs) {
        m_provider->copyImages({image.copy()});
        m_manager->checkForChanges();
    }
    const bool kept = how == u"kept"_qs || how == u"empty"_qs;
    QCOMPARE(ids().contains(capturedId), kept);

    QSignalSpy changed(m_manager->history(), &QAbstractItemModel::dataChanged);
    m_recognizer->release();
    const int writes = how == u"kept"_qs || how == u"recopy"_qs ? 1 : 0;
    QTRY_COMPARE(m_recognizer->calls(), how == u"recopy"_qs ? 2 : 1);
    QTRY_COMPARE(changed.count(), writes);
    // A dropped result leaves no trace to wait for: give the queued write-back
    // time to arrive.
    QTest::qWait(200);
    QCOMPARE(changed.count(), writes);
    for (const ClipboardItem &item : m_manager->copiedItems())
        QCOMPARE(item.extractedText(), item.image() && writes ? std::optional(u"late"_qs) : std::nullopt);
}

void TestClipboardManager::pollingCaptures()
{
    m_manager->startMonitoring();
    m_provider->copyText(u"polled"_qs);
    QTRY_COMPARE(texts(), QStringList {u"polled"_qs});
}

// A and A' are the same pixels in two encodings, B differs from A in its last
// pixel; the other copies are texts. The order holds while pixels are compared.
void TestClipboardManager::queuedImagesComparedByPixels()
{
    QImage a(640, 400, QImage::Format_RGB32);
    a.fill(QColor(40, 80, 120));
    QImage b = a.copy();
    b.setPixel(639, 399, qRgb(41, 80, 120));
    const QHash<QString, QByteArray> pngs {
        {u"A"_qs, pngBytes(a, 0)}, {u"A'"_qs, pngBytes(a, 100)}, {u"B"_qs, pngBytes(b, 100)}};
    QVERIFY(pngs.value(u"A"_qs) != pngs.value(u"A'"_qs));

    restart(true);
    m_manager->startMonitoring();
    QSignalSpy inserted(m_manager->history(), &QAbstractItemModel::rowsInserted);
    for (const QString &copy : {u"A"_qs, u"A'"_qs, u"t1"_qs, u"A'"_qs, u"t2"_qs, u"B"_qs}) {
        if (pngs.contains(copy)) {
            const QByteArray png = pngs.value(copy);
            m_provider->queue({0, ClipboardImage::fromPng(png, QImage::fromData(png, "PNG")), std::nullopt});
        } else {
            m_provider->copyText(copy);
        }
    }
    // Recording waits for each comparison: once a last copy arrived, all
    // before it were decided.
    m_provider->copyText(u"last"_qs);
    QTRY_COMPARE(texts().value(0), u"last"_qs);
    QStringList shown;
    for (const ClipboardItem &item : m_manager->copiedItems().mid(1)) {
        if (item.hasText())
            shown << *item.text();
        else
            shown << (item.image()->pixel(639, 399) == a.pixel(639, 399) ? u"A"_qs : u"B"_qs);
    }
    QCOMPARE(shown, (QStringList {u"B"_qs, u"t2"_qs, u"A"_qs, u"t1"_qs}));
    // A re-copy of the head inserts nothing; the older entry moves as a new one.
    QCOMPARE(inserted.count(), 6);
}

// 250 changes while nobody takes them (120 distinct texts, repeats and empty
// clipboards) leave the history that a poll after every change leaves.
void TestClipboardManager::backedUpQueueLeavesTheSameHistory()
{
    QList<ClipboardSnapshot> changes;
    for (int i = 0; i < 250; ++i) {
        ClipboardSnapshot change;
        if (i % 7 != 3)
            change.text = ClipboardText::fromString(u"text %1"_qs.arg((i * 37) % 120));
        changes.append(change);
    }

    ClipboardSnapshotQueue queue;
    QSignalSpy available(&queue, &ClipboardSnapshotQueue::snapshotsAvailable);
    for (const ClipboardSnapshot &change : std::as_const(changes))
        queue.push(change);
    QCOMPARE(available.count(), 1); // once per batch
    QCOMPARE(queue.size(), ClipboardSnapshotQueue::capacity);

    for (const ClipboardSnapshot &change : std::as_const(changes))
        copy(change.text ? change.text->toString() : QString());
    const QStringList expected = texts();
    QCOMPARE(expected.size(), ClipboardManager::maxHistoryCount);

    restart(true);
    for (const ClipboardSnapshot &change : std::as_const(changes))
        m_provider->queue(change);
    m_manager->startMonitoring();
    QTRY_COMPARE(texts(), expected);
}

QTEST_MAIN(TestClipboardManager)
#include "tst_clipboardmanager.moc"
