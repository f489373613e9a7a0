#include "support/HistoryFixture.h"
#include "views/ClipboardItemRow.h"
#include "views/ContentView.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

// A history window over an in-memory clipboard.
class Fixture : public HistoryFixture
{
public:
    Fixture()
        : view(std::make_unique<ContentView>(manager.get()))
    { }

    void copyText(const QString &text) { HistoryFixture::copyTexts({text}); }
    void copyTexts(int count)
    {
        for (int i = 0; i < count; ++i)
            copyText(u"entry %1"_qs.arg(i));
    }
    template<typename T> T *child(const char *name) const
    {
        return view->findChild<T *>(QString::fromLatin1(name));
    }
    void show()
    {
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    std::unique_ptr<ContentView> view;
};

class TestContentView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Nine rows fit; from the tenth on, the list scrolls instead of growing.
    // Clear All empties it at once and leaves the clipboard alone.
    void listGrowsScrollsAndClears()
    {
        Fixture f;
        f.copyTexts(9);
        f.show();
        auto *list = f.child<QScrollArea>("listArea");
        auto *empty = f.child<QWidget>("emptyState");
        QCOMPARE(list->height(), 376);
        QCOMPARE(f.view->width(), 320);
        QCOMPARE(list->verticalScrollBar()->maximum(), 0);
        QVERIFY(!empty->isVisible());
        f.copyText(u"tenth"_qs);
        QCOMPARE(f.view->rows().size(), 10);
        QTRY_COMPARE(list->height(), 400);
        QTRY_VERIFY(list->verticalScrollBar()->maximum() > 0);

        auto *clearAll = f.child<QPushButton>("clearAllButton");
        QCOMPARE(clearAll->text(), u"Clear All"_qs);
        QTest::mouseClick(clearAll, Qt::LeftButton);
        // No event loop turn in between: the empty state is there immediately.
        QVERIFY(f.view->rows().isEmpty());
        QVERIFY(empty->isVisible());
        QCOMPARE(f.child<QLabel>("emptyLabel")->text(), u"No clips yet"_qs);
        QVERIFY(!f.child<QLabel>("emptyIcon")->pixmap().isNull());
        QVERIFY(!list->isVisible());
        QCOMPARE(f.pasteboard->text(), u"tenth"_qs);
    }

    // Rows are kept and moved, not rebuilt; the stripes follow the index.
    void listFollowsHistory()
    {
        Fixture f;
        f.copyText(u"first"_qs);
        f.show();
        ClipboardItemRow *firstRow = f.view->rows().at(0);
        const QColor stripe = firstRow->backgroundColor();
        QVERIFY(stripe.alpha() > 0 && stripe.alpha() < 40);
        f.copyText(u"second"_qs);
        QCOMPARE(f.view->rows().size(), 2);
        QCOMPARE(*f.view->rows().at(0)->item().text(), u"second"_qs);
        QCOMPARE(f.child<QScrollArea>("listArea")->height(), 96);
        QCOMPARE(f.view->rows().at(1), firstRow);
        QCOMPARE(firstRow->index(), 1);
        QCOMPARE(firstRow->backgroundColor().alpha(), 0);
        QCOMPARE(f.view->rows().at(0)->backgroundColor(), stripe);
        // What is painted: an even row's left edge differs from an odd row's.
        QVERIFY(f.view->rows().at(0)->grab().toImage().pixel(2, 2) != firstRow->grab().toImage().pixel(2, 2));

        // Copying it again moves it back to the head.
        f.copyText(u"first"_qs);
        QCOMPARE(f.view->rows().size(), 2);
        QCOMPARE(*f.view->rows().at(0)->item().text(), u"first"_qs);
        QCOMPARE(f.view->rows().at(0)->index(), 0);
        QCOMPARE(*f.view->rows().at(1)->item().text(), u"second"_qs);
        QTRY_VERIFY(f.view->rows().at(0)->geometry().bottom() < f.view->rows().at(1)->geometry().top());

        // Hover fades in and out on a row without a stripe.
        ClipboardItemRow *row = f.view->rows().at(1);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), row->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(row, &enter);
        QColor hover = row->palette().color(QPalette::WindowText);
        hover.setAlphaF(hover.alphaF() * 0.12f);
        QTRY_COMPARE_WITH_TIMEOUT(row->backgroundColor().alpha(), hover.alpha(), 5000);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(row, &leave);
        QTRY_COMPARE_WITH_TIMEOUT(row->backgroundColor().alpha(), 0, 5000);
    }

    // The settings button, left of quit, only asks for the settings. A row
    // click puts the entry on the clipboard, then closes the window, then
    // hides the application; the keystroke follows later, once. (The quit
    // button is clicked by the session test.)
    void buttonsAndRowClick()
    {
        Fixture f;
        f.copyTexts(3); // rows: entry 2, entry 1, entry 0
        f.show();
        QStringList steps;
        connect(f.view.get(), &ContentView::settingsRequested, f.view.get(),
                [&] { steps << u"settings"_qs; });
        connect(f.view.get(), &ContentView::quitRequested, f.view.get(), [&] { steps << u"quit"_qs; });
        connect(f.view.get(), &ContentView::dismissRequested, f.view.get(),
                [&] { steps << u"dismiss:"_qs + f.pasteboard->text().value_or(QString()); });
        connect(f.view.get(), &ContentView::hideApplicationRequested, f.view.get(),
                [&] { steps << u"hide"_qs; });
        auto *settingsButton = f.child<QToolButton>("settingsButton");
        QVERIFY(!settingsButton->icon().isNull());
        QVERIFY(settingsButton->x() < f.child<QToolButton>("quitButton")->x());
        QTest::mouseClick(settingsButton, Qt::LeftButton);
        QCOMPARE(steps, QStringList {u"settings"_qs});

        ClipboardItemRow *row = f.view->rows().at(1);
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 3, row->height() - 3));
        QCOMPARE(steps, (QStringList {u"settings"_qs, u"dismiss:entry 1"_qs, u"hide"_qs}));
        QCOMPARE(f.keystrokes->calls(), 0);
        QTRY_COMPARE(f.keystrokes->calls(), 1);
    }

    void textLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown"); // the visible lines, joined by line breaks
        QTest::newRow("one line") << u"hello world"_qs << u"hello world"_qs;
        QTest::newRow("two lines, trailing blank lines not counted")
            << u"one\ntwo\n\n\n  "_qs << u"one\ntwo"_qs;
        QTest::newRow("windows lines, cut after two") << u"one\r\ntwo\r\nthree"_qs << u"one\ntwo\u2026"_qs;
        QTest::newRow("blank first line") << u"\nsecond\nthird"_qs << u"\nsecond\u2026"_qs;
    }

    void textLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        ClipboardItemRow row(ClipboardItem::fromText(text), 0, {});
        QCOMPARE(row.visibleLines(1000).join(u'\n'), shown);
        // A one-line row is 40 high, as the list height rule assumes.
        QCOMPARE(row.heightForWidth(288) == 40, !shown.contains(u'\n'));
    }

    // One 4 MB word and a million blanks: wraps anywhere, cut after two
    // lines, and neither trimming nor layout looks at the whole text.
    void hugeTextShowsTwoLines()
    {
        ClipboardItemRow row(
            ClipboardItem::fromText(QString(4 << 20, u'x') + QString(1 << 20, u' ') + u"y"_qs), 0, {});
        const QStringList lines = row.visibleLines(288);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(1).endsWith(QChar(0x2026)));
        QVERIFY(row.heightForWidth(288) < 100);
    }

    // The swatch sits at the trailing edge, vertically centred.
    void colourSwatch()
    {
        ClipboardItemRow row(ClipboardItem::fromText(u"rgb(0, 0, 255)"_qs), 1, {});
        row.resize(288, row.heightForWidth(288));
        const QImage image = row.grab().toImage();
        const int padding = ClipboardItemRow::horizontalPadding;
        QCOMPARE(image.pixel(288 - padding - ClipboardItemRow::swatchSize / 2, row.height() / 2),
                 QColor(Qt::blue).rgb());
        QVERIFY(image.pixel(padding / 2, row.height() / 2) != QColor(Qt::blue).rgb());
    }

    void imageThumbnail_data()
    {
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("small, scaled up") << QSize(10, 5) << QSize(72, 36);
        QTest::newRow("very wide") << QSize(5000, 100) << QSize(256, 5);
    }

    // Drawn at the leading edge with the measured size.
    void imageThumbnail()
    {
        QFETCH(QSize, imageSize);
        QFETCH(QSize, shown);
        QImage image(imageSize, QImage::Format_RGB32);
        image.fill(QColor(0, 0, 200));
        ClipboardItemRow row(ClipboardItem::fromImage(image), 0, {});
        const int left = ClipboardItemRow::horizontalPadding;
        const int width = 2 * left + 256;
        row.resize(width, row.heightForWidth(width));
        QCOMPARE(row.heightForWidth(width), qMax(shown.height(), 20) + 20);
        const QImage painted = row.grab().toImage();
        const int midY = row.height() / 2;
        QCOMPARE(QColor(painted.pixel(left + 1, midY)).blue(), 200);
        QCOMPARE(QColor(painted.pixel(left + shown.width() - 2, midY)).blue(), 200);
        if (left + shown.width() + 2 < width)
            QVERIFY(QColor(painted.pixel(left + shown.width() + 2, midY)).blue() != 200);
    }
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
