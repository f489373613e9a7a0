#include "clipboard/ClipboardManager.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "views/ClipboardItemRow.h"
#include "views/ContentView.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// A history window over an in-memory clipboard, filled the way another
// application would fill it: copy, then let the manager poll.
class Fixture
{
public:
    Fixture()
    {
        auto provider = std::make_unique<FakePasteboardProvider>();
        auto simulator = std::make_unique<FakePasteSimulator>();
        pasteboard = provider.get();
        keystrokes = simulator.get();
        manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), nullptr);
        manager->stopMonitoring(); // the test polls by hand
        view = std::make_unique<ContentView>(manager.get());
    }

    void copyText(const QString &text)
    {
        pasteboard->copyText(text);
        manager->checkForChanges();
    }
    void copyImage(const QImage &image)
    {
        pasteboard->copyImages({image});
        manager->checkForChanges();
    }
    void copyTexts(int count)
    {
        for (int i = 0; i < count; ++i)
            copyText(QStringLiteral("entry %1").arg(i));
    }
    template<typename T> T *child(const char *name) const
    {
        return view->findChild<T *>(QString::fromLatin1(name));
    }
    // Lays the view out and shows it, as the window does.
    void show()
    {
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    FakePasteboardProvider *pasteboard = nullptr;
    FakePasteSimulator *keystrokes = nullptr;
    std::unique_ptr<ClipboardManager> manager;
    std::unique_ptr<ContentView> view;
};

class TestContentView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listHeight_data();
    void listHeight();
    void clearAllEmptiesAtOnce();
    void listFollowsHistory();
    void stripesAlternateAndFollowIndex();
    void hoverFadesInAndOut();
    void rowClickPastesThenDismissesThenHides();
    void headerButtons();
    void textLines_data();
    void textLines();
    void hugeTextShowsTwoLines();
    void colourSwatch_data();
    void colourSwatch();
    void imageThumbnail_data();
    void imageThumbnail();
};

void TestContentView::listHeight_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("height");
    QTest::newRow("1 entry") << 1 << 56;
    QTest::newRow("9 entries") << 9 << 376;
    QTest::newRow("10 entries") << 10 << 400;
}

void TestContentView::listHeight()
{
    QFETCH(int, count);
    QFETCH(int, height);
    QCOMPARE(ContentView::listHeight(count), height);

    Fixture f;
    f.copyTexts(count);
    f.show();
    auto *list = f.child<QScrollArea>("listArea");
    QVERIFY(list->isVisible());
    QCOMPARE(list->height(), height);
    QCOMPARE(f.view->width(), 320);
    QCOMPARE(f.view->rows().size(), count);
    // Beyond the height, the list scrolls instead of growing.
    const bool scrolls = list->verticalScrollBar()->maximum() > 0;
    QCOMPARE(scrolls, count >= 10);
}

void TestContentView::clearAllEmptiesAtOnce()
{
    Fixture f;
    f.copyTexts(3);
    f.show();
    auto *empty = f.child<QWidget>("emptyState");
    auto *clearAll = f.child<QPushButton>("clearAllButton");
    QVERIFY(!empty->isVisible());
    QCOMPARE(clearAll->text(), QStringLiteral("Clear All"));

    QTest::mouseClick(clearAll, Qt::LeftButton);
    // No event loop turn in between: the empty state is there immediately.
    QVERIFY(f.manager->copiedItems().isEmpty());
    QVERIFY(f.view->rows().isEmpty());
    QVERIFY(empty->isVisible());
    QCOMPARE(f.child<QLabel>("emptyLabel")->text(), QStringLiteral("No clips yet"));
    QVERIFY(!f.child<QLabel>("emptyIcon")->pixmap().isNull());
    QVERIFY(!f.child<QScrollArea>("listArea")->isVisible());
    QVERIFY(clearAll->isVisible());
    // The clipboard is left alone.
    QCOMPARE(f.pasteboard->text(), QStringLiteral("entry 2"));

    // Pressing it on an empty history changes nothing visible.
    const QSize before = f.view->size();
    const int writes = f.pasteboard->writeCount();
    QTest::mouseClick(clearAll, Qt::LeftButton);
    QVERIFY(empty->isVisible());
    QCOMPARE(f.view->size(), before);
    QCOMPARE(f.pasteboard->writeCount(), writes);
}

void TestContentView::listFollowsHistory()
{
    Fixture f;
    f.copyText(QStringLiteral("first"));
    f.show();
    ClipboardItemRow *firstRow = f.view->rows().at(0);
    f.copyText(QStringLiteral("second"));
    QCOMPARE(f.view->rows().size(), 2);
    QCOMPARE(*f.view->rows().at(0)->item().text(), QStringLiteral("second"));
    QCOMPARE(f.child<QScrollArea>("listArea")->height(), 96);
    // The older entry keeps its row and moves down.
    QCOMPARE(f.view->rows().at(1), firstRow);
    QCOMPARE(firstRow->index(), 1);

    // Copying it again moves it back to the head.
    f.copyText(QStringLiteral("first"));
    QCOMPARE(f.view->rows().size(), 2);
    QCOMPARE(*f.view->rows().at(0)->item().text(), QStringLiteral("first"));
    QCOMPARE(f.view->rows().at(0)->index(), 0);
    QCOMPARE(*f.view->rows().at(1)->item().text(), QStringLiteral("second"));

    // The rows are laid out in list order, top to bottom.
    QTRY_VERIFY(f.view->rows().at(0)->geometry().bottom() < f.view->rows().at(1)->geometry().top());
}

void TestContentView::stripesAlternateAndFollowIndex()
{
    Fixture f;
    f.copyTexts(4);
    f.show();
    const QList<ClipboardItemRow *> rows = f.view->rows();
    const QColor stripe = rows.at(0)->backgroundColor();
    QVERIFY(stripe.alpha() > 0);
    QVERIFY(stripe.alpha() < 40); // faint
    QCOMPARE(rows.at(1)->backgroundColor().alpha(), 0);
    QCOMPARE(rows.at(2)->backgroundColor(), stripe);
    QCOMPARE(rows.at(3)->backgroundColor().alpha(), 0);

    // What is painted: an even row's left edge differs from an odd row's.
    const QImage even = rows.at(0)->grab().toImage();
    const QImage odd = rows.at(1)->grab().toImage();
    QVERIFY(even.pixel(2, 2) != odd.pixel(2, 2));

    // A new entry shifts every row by one, and the stripes with it.
    ClipboardItemRow *wasFirst = rows.at(0);
    f.copyText(QStringLiteral("new"));
    QCOMPARE(wasFirst->index(), 1);
    QCOMPARE(wasFirst->backgroundColor().alpha(), 0);
    QCOMPARE(f.view->rows().at(0)->backgroundColor(), stripe);
}

void TestContentView::hoverFadesInAndOut()
{
    Fixture f;
    f.copyTexts(2);
    f.show();
    ClipboardItemRow *row = f.view->rows().at(1); // odd: no stripe
    QVERIFY(!row->isHovered());
    QCOMPARE(row->backgroundColor().alpha(), 0);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), row->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(row, &enter);
    QVERIFY(row->isHovered());
    QColor hover = row->palette().color(QPalette::WindowText);
    hover.setAlphaF(hover.alphaF() * 0.12f);
    // Fades rather than jumps, and arrives within a short time.
    QTRY_COMPARE_WITH_TIMEOUT(row->backgroundColor().alpha(), hover.alpha(), 2000);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(row, &leave);
    QVERIFY(!row->isHovered());
    QTRY_COMPARE_WITH_TIMEOUT(row->backgroundColor().alpha(), 0, 2000);

    // A row created later starts without hover.
    f.copyText(QStringLiteral("late"));
    QVERIFY(!f.view->rows().at(0)->isHovered());
}

void TestContentView::rowClickPastesThenDismissesThenHides()
{
    Fixture f;
    f.copyTexts(3); // rows: entry 2, entry 1, entry 0
    f.show();
    f.pasteboard->copyText(QStringLiteral("something else")); // not polled
    const int writesBefore = f.pasteboard->writeCount();

    QStringList steps;
    connect(f.view.get(), &ContentView::dismissRequested, f.view.get(), [&] {
        steps << QStringLiteral("dismiss");
        // The entry is already on the clipboard when the window closes.
        QCOMPARE(f.pasteboard->text(), QStringLiteral("entry 1"));
        QVERIFY(f.pasteboard->writeCount() > writesBefore);
    });
    connect(f.view.get(), &ContentView::hideApplicationRequested, f.view.get(),
            [&] { steps << QStringLiteral("hide"); });

    ClipboardItemRow *row = f.view->rows().at(1);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 3, row->height() - 3));
    QCOMPARE(steps, (QStringList {QStringLiteral("dismiss"), QStringLiteral("hide")}));
    QCOMPARE(f.pasteboard->text(), QStringLiteral("entry 1"));
    // The keystroke comes later, once.
    QCOMPARE(f.keystrokes->calls(), 0);
    QTRY_COMPARE(f.keystrokes->calls(), 1);
    // Our own write is not captured as a new entry.
    f.manager->checkForChanges();
    QCOMPARE(f.manager->copiedItems().size(), 3);
}

void TestContentView::headerButtons()
{
    Fixture f;
    f.show();
    QSignalSpy settings(f.view.get(), &ContentView::settingsRequested);
    QSignalSpy quit(f.view.get(), &ContentView::quitRequested);
    auto *settingsButton = f.child<QToolButton>("settingsButton");
    auto *quitButton = f.child<QToolButton>("quitButton");
    QVERIFY(!settingsButton->icon().isNull());
    QVERIFY(!quitButton->icon().isNull());
    // Settings left of quit, both at the right end of the header.
    QVERIFY(settingsButton->x() < quitButton->x());
    QVERIFY(quitButton->geometry().right() > f.view->width() - 40);

    QTest::mouseClick(settingsButton, Qt::LeftButton);
    QCOMPARE(settings.count(), 1);
    QCOMPARE(quit.count(), 0);
    QTest::mouseClick(quitButton, Qt::LeftButton);
    QCOMPARE(quit.count(), 1);
}

void TestContentView::textLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    const QString ellipsis(QChar(0x2026));
    QTest::newRow("one line") << QStringLiteral("hello world") << QStringList {QStringLiteral("hello world")};
    QTest::newRow("two lines") << QStringLiteral("one\ntwo")
                               << QStringList {QStringLiteral("one"), QStringLiteral("two")};
    QTest::newRow("three lines cut after two")
        << QStringLiteral("one\ntwo\nthree")
        << QStringList {QStringLiteral("one"), QStringLiteral("two") + ellipsis};
    QTest::newRow("trailing blank lines not counted")
        << QStringLiteral("one\ntwo\n\n\n  ") << QStringList {QStringLiteral("one"), QStringLiteral("two")};
    QTest::newRow("windows line ends")
        << QStringLiteral("one\r\ntwo\r\nthree")
        << QStringList {QStringLiteral("one"), QStringLiteral("two") + ellipsis};
    QTest::newRow("blank first line")
        << QStringLiteral("\nsecond\nthird") << QStringList {QString(), QStringLiteral("second") + ellipsis};
}

void TestContentView::textLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    ClipboardItemRow row(ClipboardItem::fromText(text), 0, {});
    QCOMPARE(row.visibleLines(1000), lines);
    // A one-line row is 40 high, as the list height rule assumes.
    if (lines.size() == 1)
        QCOMPARE(row.heightForWidth(288), 40);
    else
        QVERIFY(row.heightForWidth(288) > 40);
}

void TestContentView::hugeTextShowsTwoLines()
{
    // One 4 MB word followed by a million blanks: wraps anywhere, cut after
    // two lines, and neither trimming nor layout looks at the whole text.
    const QString huge = QString(4 * 1024 * 1024, u'x') + QString(1024 * 1024, u' ') + QStringLiteral("y");
    ClipboardItemRow row(ClipboardItem::fromText(huge), 0, {});
    const QStringList lines = row.visibleLines(288);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(1).endsWith(QChar(0x2026)));
    QVERIFY(row.heightForWidth(288) < 100);
}

void TestContentView::colourSwatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("hex") << QStringLiteral("#ff0000") << QColor(255, 0, 0);
    QTest::newRow("rgb") << QStringLiteral("rgb(0, 0, 255)") << QColor(0, 0, 255);
    QTest::newRow("word") << QStringLiteral("red") << QColor();
}

void TestContentView::colourSwatch()
{
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    ClipboardItemRow row(ClipboardItem::fromText(text), 1, {});
    QCOMPARE(row.swatchColor().has_value(), colour.isValid());
    if (!colour.isValid())
        return;
    QCOMPARE(row.swatchColor()->rgb(), colour.rgb());

    // The swatch sits at the trailing edge, vertically centred.
    row.resize(288, row.heightForWidth(288));
    const QImage image = row.grab().toImage();
    const QPoint centre(288 - ClipboardItemRow::horizontalPadding - ClipboardItemRow::swatchSize / 2,
                        row.height() / 2);
    QCOMPARE(QColor(image.pixel(centre)).rgb(), colour.rgb());
    QVERIFY(QColor(image.pixel(ClipboardItemRow::horizontalPadding / 2, row.height() / 2)).rgb()
            != colour.rgb());
}

void TestContentView::imageThumbnail_data()
{
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("large square") << QSize(1000, 1000) << QSize(36, 36);
    QTest::newRow("small, scaled up") << QSize(10, 5) << QSize(72, 36);
    QTest::newRow("very wide") << QSize(5000, 100) << QSize(256, 5);
}

void TestContentView::imageThumbnail()
{
    QFETCH(QSize, imageSize);
    QFETCH(QSize, shown);
    Fixture f;
    QImage image(imageSize, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 200));
    f.copyImage(image);
    f.show();
    ClipboardItemRow *row = f.view->rows().at(0);
    const int width = 2 * ClipboardItemRow::horizontalPadding + 256;
    row->resize(width, row->heightForWidth(width));
    QCOMPARE(row->heightForWidth(width), qMax(shown.height(), 20) + 20);

    // Drawn at the leading edge with the measured size.
    const QImage painted = row->grab().toImage();
    const int midY = row->height() / 2;
    const int left = ClipboardItemRow::horizontalPadding;
    QCOMPARE(QColor(painted.pixel(left + 1, midY)).blue(), 200);
    QCOMPARE(QColor(painted.pixel(left + shown.width() - 2, midY)).blue(), 200);
    if (left + shown.width() + 2 < width)
        QVERIFY(QColor(painted.pixel(left + shown.width() + 2, midY)).blue() != 200);
}

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
