#include "clipboard/ClipboardManager.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "fakes/FakeTextRecognizer.h"
#include "support/HistoryChecks.h"
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

    void launchContentNotCaptured();
    void headDuplicateLeavesEverythingUntouched();
    void olderDuplicateMovesWithNewId_data();
    void olderDuplicateMovesWithNewId();
    void capture101TrimsOldest();
    void textCapture_data();
    void textCapture();
    void imageBeforeText();
    void lowerChangeCountIsAChange();
    void ownWriteNotCaptured_data();
    void ownWriteNotCaptured();
    void pasteKeystrokeFollowsLater_data();
    void pasteKeystrokeFollowsLater();
    void clearAllKeepsClipboardConsumed();
    void recognitionWritesIntoItsEntry();
    void recognitionForVanishedEntryDropped_data();
    void recognitionForVanishedEntryDropped();
    void emptyRecognitionLeavesNoText();
    void pollingCapturesAndStops();

    void queuedChangesAllRecordedWithoutPolling();
    void queuedImagesComparedByPixels_data();
    void queuedImagesComparedByPixels();
    void backedUpQueueLeavesTheSameHistory();

private:
    void restart(bool queuing, const QString &launchText = {});
    QList<QUuid> ids() const;
    QStringList texts() const;

    FakePasteboardProvider *m_provider = nullptr;
    FakePasteSimulator *m_simulator = nullptr;
    std::shared_ptr<FakeTextRecognizer> m_recognizer;
    std::unique_ptr<ClipboardManager> m_manager;
};

static QImage picture(QRgb colour, QSize size = {8, 8})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

void TestClipboardManager::init()
{
    auto provider = std::make_unique<FakePasteboardProvider>();
    auto simulator = std::make_unique<FakePasteSimulator>();
    m_provider = provider.get();
    m_simulator = simulator.get();
    m_recognizer = std::make_shared<FakeTextRecognizer>();
    m_manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), m_recognizer);
}

void TestClipboardManager::cleanup()
{
    m_recognizer->release();
    m_manager.reset();
    m_recognizer.reset();
}

QList<QUuid> TestClipboardManager::ids() const
{
    QList<QUuid> result;
    for (const ClipboardItem &item : m_manager->copiedItems())
        result.append(item.id());
    return result;
}

QStringList TestClipboardManager::texts() const
{
    return HistoryChecks::texts(*m_manager);
}

void TestClipboardManager::launchContentNotCaptured()
{
    restart(false, QStringLiteral("before launch"));
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());
    m_manager->checkForChanges();
    QVERIFY(m_manager->copiedItems().isEmpty());

    m_provider->copyText(QStringLiteral("after launch"));
    m_manager->checkForChanges();
    QCOMPARE(texts(), QStringList {QStringLiteral("after launch")});
}

void TestClipboardManager::headDuplicateLeavesEverythingUntouched()
{
    m_provider->copyText(QStringLiteral("a"));
    m_manager->checkForChanges();
    m_provider->copyText(QStringLiteral("b"));
    m_manager->checkForChanges();
    const QList<QUuid> before = ids();

    QSignalSpy inserted(m_manager->history(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(m_manager->history(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(m_manager->history(), &QAbstractItemModel::modelReset);
    QSignalSpy countChanged(m_manager.get(), &ClipboardManager::lastChangeCountChanged);
    m_provider->copyText(QStringLiteral("b"));
    m_manager->checkForChanges();

    QCOMPARE(ids(), before);
    QCOMPARE(texts(), (QStringList {QStringLiteral("b"), QStringLiteral("a")}));
    QCOMPARE(inserted.count() + removed.count() + reset.count(), 0);
    QCOMPARE(countChanged.count(), 1);
}

void TestClipboardManager::olderDuplicateMovesWithNewId_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("recopy");
    QTest::newRow("same string") << QStringLiteral("a") << QStringLiteral("a");
    QTest::newRow("canonically equivalent")
        << QStringLiteral("\u00e9t\u00e9") << QStringLiteral("e\u0301te\u0301");
}

void TestClipboardManager::olderDuplicateMovesWithNewId()
{
    QFETCH(QString, first);
    QFETCH(QString, recopy);
    for (const QString &text : {first, QStringLiteral("b"), QStringLiteral("c")}) {
        m_provider->copyText(text);
        m_manager->checkForChanges();
    }
    const QList<QUuid> before = ids();

    m_provider->copyText(recopy);
    m_manager->checkForChanges();

    QCOMPARE(texts(), (QStringList {recopy, QStringLiteral("c"), QStringLiteral("b")}));
    const QList<QUuid> after = ids();
    QVERIFY(!before.contains(after.at(0)));
    QCOMPARE(after.mid(1), before.mid(0, 2));
}

void TestClipboardManager::capture101TrimsOldest()
{
    QSignalSpy removed(m_manager->history(), &QAbstractItemModel::rowsRemoved);
    for (int i = 0; i <= ClipboardManager::maxHistoryCount; ++i) {
        m_provider->copyText(QString::number(i));
        m_manager->checkForChanges();
    }
    QCOMPARE(m_manager->copiedItems().size(), ClipboardManager::maxHistoryCount);
    QCOMPARE(m_manager->history()->rowCount(), ClipboardManager::maxHistoryCount);
    QCOMPARE(texts().constFirst(), QStringLiteral("100"));
    QCOMPARE(texts().constLast(), QStringLiteral("1"));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), ClipboardManager::maxHistoryCount);

    // A re-copy of an entry in the list moves it: nothing is trimmed.
    m_provider->copyText(QStringLiteral("1"));
    m_manager->checkForChanges();
    QCOMPARE(m_manager->copiedItems().size(), ClipboardManager::maxHistoryCount);
    QCOMPARE(texts().constLast(), QStringLiteral("2"));
}

void TestClipboardManager::textCapture_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("besideNoImages"); // offered with an empty image list
    QTest::addColumn<bool>("captured");
    QTest::newRow("blanks around kept") << QStringLiteral("  padded \n") << false << true;
    QTest::newRow("one visible character") << QStringLiteral("\t.\t") << false << true;
    QTest::newRow("beside an empty image list") << QStringLiteral("text") << true << true;
    QTest::newRow("blanks only") << QStringLiteral("   ") << false << false;
    QTest::newRow("lone line break") << QStringLiteral("\n") << false << false;
    QTest::newRow("mixed white space") << QStringLiteral(" \t\r\n\u00a0\u2003") << false << false;
    QTest::newRow("empty") << QString() << false << false;
}

void TestClipboardManager::textCapture()
{
    QFETCH(QString, text);
    QFETCH(bool, besideNoImages);
    QFETCH(bool, captured);
    if (besideNoImages)
        m_provider->copyImagesAndText({}, text);
    else
        m_provider->copyText(text);
    m_manager->checkForChanges();
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());
    if (captured) {
        QCOMPARE(texts(), QStringList {text});
        QVERIFY(!m_manager->copiedItems().constFirst().image());
    } else {
        QVERIFY(m_manager->copiedItems().isEmpty());
    }
}

void TestClipboardManager::imageBeforeText()
{
    const QImage red = picture(qRgb(255, 0, 0));
    m_provider->copyImagesAndText({red, picture(qRgb(0, 255, 0))}, QStringLiteral("caption"));
    m_manager->checkForChanges();
    QCOMPARE(m_manager->copiedItems().size(), 1);
    const ClipboardItem &item = m_manager->copiedItems().constFirst();
    QVERIFY(!item.text());
    QVERIFY(item.image());
    QCOMPARE(*item.image(), red);
    QCOMPARE(m_manager->history()
                 ->data(m_manager->history()->index(0), ClipboardHistoryModel::ImageRole)
                 .value<QImage>(),
             red);
}

void TestClipboardManager::lowerChangeCountIsAChange()
{
    m_provider->copyText(QStringLiteral("first"));
    m_manager->checkForChanges();
    m_provider->copyText(QStringLiteral("second"));
    m_provider->setChangeCount(-5);
    m_manager->checkForChanges();
    QCOMPARE(m_manager->lastChangeCount(), -5);
    QCOMPARE(texts(), (QStringList {QStringLiteral("second"), QStringLiteral("first")}));
}

void TestClipboardManager::ownWriteNotCaptured_data()
{
    QTest::addColumn<bool>("pasteImage");
    QTest::newRow("text entry") << false;
    QTest::newRow("image entry") << true;
}

void TestClipboardManager::ownWriteNotCaptured()
{
    QFETCH(bool, pasteImage);
    const QImage blue = picture(qRgb(0, 0, 255));
    m_recognizer->setResult(blue.pixel(0, 0), QStringLiteral("recognised"));
    m_provider->copyImages({blue});
    m_manager->checkForChanges();
    QTRY_VERIFY(m_manager->copiedItems().constFirst().extractedText());
    m_provider->copyText(QStringLiteral("text"));
    m_manager->checkForChanges();
    const QList<QUuid> before = ids();
    const ClipboardItem item = m_manager->copiedItems().at(pasteImage ? 1 : 0);

    QSignalSpy inserted(m_manager->history(), &QAbstractItemModel::rowsInserted);
    m_manager->paste(item, false);
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());
    m_manager->checkForChanges();

    QCOMPARE(ids(), before);
    QCOMPARE(inserted.count(), 0);
    if (pasteImage) {
        QVERIFY(m_provider->images());
        QCOMPARE(m_provider->images()->size(), 1);
        QCOMPARE(m_provider->images()->constFirst(), blue);
        QVERIFY(!m_provider->text()); // the recognised text is not written
    } else {
        QCOMPARE(m_provider->text(), std::optional<QString>(QStringLiteral("text")));
        QVERIFY(!m_provider->images());
    }
}

void TestClipboardManager::pasteKeystrokeFollowsLater_data()
{
    QTest::addColumn<bool>("keystroke");
    QTest::newRow("with keystroke") << true;
    QTest::newRow("without keystroke") << false;
}

void TestClipboardManager::pasteKeystrokeFollowsLater()
{
    QFETCH(bool, keystroke);
    m_manager->paste(ClipboardItem::fromText(QStringLiteral("x")), keystroke);
    QCOMPARE(m_simulator->calls(), 0); // returns before the keystroke
    QCOMPARE(m_provider->text(), std::optional<QString>(QStringLiteral("x")));
    QCOMPARE(m_provider->writeCount(), 1);
    if (keystroke) {
        QTRY_COMPARE(m_simulator->calls(), 1);
    } else {
        // A keystroke would follow after 100 ms; give it ample time not to come.
        QTest::qWait(500);
        QCOMPARE(m_simulator->calls(), 0);
    }
}

void TestClipboardManager::clearAllKeepsClipboardConsumed()
{
    m_provider->copyText(QStringLiteral("a"));
    m_manager->checkForChanges();
    QSignalSpy reset(m_manager->history(), &QAbstractItemModel::modelReset);
    m_manager->clearAll();
    QVERIFY(m_manager->copiedItems().isEmpty());
    m_manager->checkForChanges();
    QVERIFY(m_manager->copiedItems().isEmpty());
    m_manager->clearAll(); // an empty history is still announced
    QCOMPARE(reset.count(), 2);
}

void TestClipboardManager::recognitionWritesIntoItsEntry()
{
    const QImage first = picture(qRgb(1, 0, 0));
    const QImage second = picture(qRgb(2, 0, 0));
    m_recognizer->setResult(first.pixel(0, 0), QStringLiteral("one"));
    m_recognizer->setResult(second.pixel(0, 0), QStringLiteral("two"));
    QSignalSpy changed(m_manager->history(), &QAbstractItemModel::dataChanged);
    m_provider->copyImages({first});
    m_manager->checkForChanges();
    m_provider->copyImages({second});
    m_manager->checkForChanges();

    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(m_manager->copiedItems().at(0).extractedText(), std::optional<QString>(QStringLiteral("two")));
    QCOMPARE(m_manager->copiedItems().at(1).extractedText(), std::optional<QString>(QStringLiteral("one")));
    QCOMPARE(
        m_manager->history()->data(m_manager->history()->index(1), ClipboardHistoryModel::ExtractedTextRole),
        QVariant(QStringLiteral("one")));
}

void TestClipboardManager::recognitionForVanishedEntryDropped_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cleared") << QStringLiteral("clear");
    QTest::newRow("trimmed") << QStringLiteral("trim");
    QTest::newRow("re-copied") << QStringLiteral("recopy");
}

void TestClipboardManager::recognitionForVanishedEntryDropped()
{
    QFETCH(QString, how);
    const QImage image = picture(qRgb(9, 9, 9));
    m_recognizer->setResult(image.pixel(0, 0), QStringLiteral("late"));
    m_recognizer->hold();
    m_provider->copyImages({image});
    m_manager->checkForChanges();
    const QUuid capturedId = m_manager->copiedItems().constFirst().id();
    QVERIFY(m_recognizer->waitForCalls(1));

    if (how == QLatin1String("clear")) {
        m_manager->clearAll();
    } else if (how == QLatin1String("trim")) {
        for (int i = 0; i < ClipboardManager::maxHistoryCount; ++i) {
            m_provider->copyText(QString::number(i));
            m_manager->checkForChanges();
        }
    } else {
        m_provider->copyText(QStringLiteral("between"));
        m_manager->checkForChanges();
        m_provider->copyImages({image.copy()});
        m_manager->checkForChanges();
    }
    QVERIFY(!ids().contains(capturedId));

    QSignalSpy changed(m_manager->history(), &QAbstractItemModel::dataChanged);
    m_recognizer->release();
    const int expectedWrites = how == QLatin1String("recopy") ? 1 : 0;
    if (expectedWrites > 0)
        QTRY_COMPARE(changed.count(), expectedWrites);
    // A dropped result leaves no trace to wait for: give the queued write-back
    // time to arrive.
    QTRY_COMPARE(m_recognizer->calls(), expectedWrites + 1);
    QTest::qWait(200);
    QCOMPARE(changed.count(), expectedWrites);
    for (const ClipboardItem &item : m_manager->copiedItems()) {
        if (how == QLatin1String("recopy") && item.image())
            QCOMPARE(item.extractedText(), std::optional<QString>(QStringLiteral("late")));
        else
            QVERIFY(!item.extractedText());
    }
}

void TestClipboardManager::emptyRecognitionLeavesNoText()
{
    const QImage image = picture(qRgb(3, 3, 3));
    m_recognizer->setResult(image.pixel(0, 0), QString());
    m_provider->copyImages({image});
    m_manager->checkForChanges();
    QVERIFY(m_recognizer->waitForCalls(1));
    QTest::qWait(100);
    QVERIFY(!m_manager->copiedItems().constFirst().extractedText());
}

void TestClipboardManager::pollingCapturesAndStops()
{
    QVERIFY(m_manager->isMonitoring());
    m_provider->copyText(QStringLiteral("polled"));
    QTRY_COMPARE(texts(), QStringList {QStringLiteral("polled")});

    QSignalSpy monitoring(m_manager.get(), &ClipboardManager::isMonitoringChanged);
    QSignalSpy count(m_manager.get(), &ClipboardManager::lastChangeCountChanged);
    m_manager->startMonitoring(); // already monitoring: no signal
    m_manager->checkForChanges(); // counter did not move: no signal
    QCOMPARE(monitoring.count() + count.count(), 0);
    m_manager->stopMonitoring();
    m_manager->stopMonitoring();
    QVERIFY(!m_manager->isMonitoring());
    QCOMPARE(monitoring.count(), 1);
    m_provider->copyText(QStringLiteral("not polled"));
    QTest::qWait(3 * int(ClipboardManager::pollInterval.count()));
    QCOMPARE(texts(), QStringList {QStringLiteral("polled")});

    m_manager->startMonitoring();
    QTRY_COMPARE(texts().size(), 2);
}

// A new manager over a provider that may queue every change it reads and
// may hold a text from before the launch.
void TestClipboardManager::restart(bool queuing, const QString &launchText)
{
    m_manager.reset();
    auto provider = std::make_unique<FakePasteboardProvider>();
    provider->setQueuing(queuing);
    if (!launchText.isEmpty())
        provider->copyText(launchText);
    m_provider = provider.get();
    m_manager = std::make_unique<ClipboardManager>(std::move(provider),
                                                   std::make_unique<FakePasteSimulator>(), m_recognizer);
}

void TestClipboardManager::queuedChangesAllRecordedWithoutPolling()
{
    restart(true);
    QStringList copied;
    for (int i = 0; i < 40; ++i) {
        copied.prepend(QStringLiteral("copy %1").arg(i));
        m_provider->copyText(copied.constFirst());
    }
    QTRY_COMPARE(texts(), copied);
    QCOMPARE(m_manager->lastChangeCount(), m_provider->changeCount());

    // Nothing polls: a change only a poll could see stays unseen.
    m_provider->setChangeCount(m_provider->changeCount() + 7);
    QTest::qWait(3 * int(ClipboardManager::pollInterval.count()));
    QVERIFY(m_manager->lastChangeCount() != m_provider->changeCount());
    QCOMPARE(texts().size(), 40);
}

void TestClipboardManager::queuedImagesComparedByPixels_data()
{
    // A and A' are the same pixels in two encodings, B differs from A in its
    // last pixel; other steps are texts.
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<int>("insertions"); // a re-copy of the head inserts nothing
    QTest::newRow("re-copied in another encoding")
        << QStringList {u"A"_qs, u"A'"_qs} << QStringList {u"A"_qs} << 1;
    QTest::newRow("older entry moves to the head")
        << QStringList {u"A"_qs, u"t"_qs, u"A'"_qs} << QStringList {u"A"_qs, u"t"_qs} << 3;
    QTest::newRow("one pixel apart") << QStringList {u"A"_qs, u"B"_qs} << QStringList {u"B"_qs, u"A"_qs} << 2;
    QTest::newRow("order holds while pixels are compared")
        << QStringList {u"A"_qs, u"t1"_qs, u"A'"_qs, u"t2"_qs, u"B"_qs}
        << QStringList {u"B"_qs, u"t2"_qs, u"A"_qs, u"t1"_qs} << 5;
}

void TestClipboardManager::queuedImagesComparedByPixels()
{
    QFETCH(QStringList, copies);
    QFETCH(QStringList, history);
    QFETCH(int, insertions);
    QImage a(640, 400, QImage::Format_RGB32);
    a.fill(QColor(40, 80, 120));
    QImage b = a.copy();
    b.setPixel(639, 399, qRgb(41, 80, 120));
    const QHash<QString, QByteArray> pngs {
        {u"A"_qs, pngBytes(a, 0)}, {u"A'"_qs, pngBytes(a, 100)}, {u"B"_qs, pngBytes(b, 100)}};
    QVERIFY(pngs.value(u"A"_qs) != pngs.value(u"A'"_qs));

    restart(true);
    QSignalSpy inserted(m_manager->history(), &QAbstractItemModel::rowsInserted);
    for (const QString &copy : std::as_const(copies)) {
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
    QCOMPARE(shown, history);
    QCOMPARE(inserted.count(), insertions + 1);
}

void TestClipboardManager::backedUpQueueLeavesTheSameHistory()
{
    // 250 changes while nobody takes them: 120 distinct texts, repeats and
    // empty clipboards.
    QList<ClipboardSnapshot> changes;
    for (int i = 0; i < 250; ++i) {
        ClipboardSnapshot change;
        if (i % 7 != 3)
            change.text = ClipboardText::fromString(QStringLiteral("text %1").arg((i * 37) % 120));
        changes.append(change);
    }

    ClipboardSnapshotQueue queue;
    QSignalSpy available(&queue, &ClipboardSnapshotQueue::snapshotsAvailable);
    for (const ClipboardSnapshot &change : std::as_const(changes))
        queue.push(change);
    QCOMPARE(available.count(), 1); // once per batch
    QCOMPARE(queue.size(), ClipboardSnapshotQueue::capacity);

    // Recorded one by one, as a poll after every change would.
    FakePasteboardProvider *polled = m_provider;
    for (const ClipboardSnapshot &change : std::as_const(changes)) {
        polled->copyText(change.text ? change.text->toString() : QString());
        m_manager->checkForChanges();
    }
    const QStringList expected = texts();
    QCOMPARE(expected.size(), ClipboardManager::maxHistoryCount);

    restart(true);
    m_manager->stopMonitoring();
    for (const ClipboardSnapshot &change : std::as_const(changes))
        m_provider->queue(change);
    m_manager->startMonitoring();
    QTRY_COMPARE(texts(), expected);
}

QTEST_MAIN(TestClipboardManager)
#include "tst_clipboardmanager.moc"
