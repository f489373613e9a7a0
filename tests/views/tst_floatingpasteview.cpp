#include "support/HistoryFixture.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"
#include "views/QuickPasteRowDelegate.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

ClipboardItem imageItem(std::optional<QString> extracted)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return ClipboardItem(QUuid::createUuid(), std::nullopt, ClipboardImage::fromImage(image), extracted);
}

// Counts the key presses that reach a widget, after the application-wide
// filters had their say.
class KeyCounter : public QObject
{
public:
    QList<int> keys;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent *>(event)->key();
        return false;
    }
};

} // namespace

class tst_FloatingPasteView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_history = std::make_unique<HistoryFixture>();
        m_manager = m_history->manager.get();
        m_dismissals = 0;
        m_panel = std::make_unique<FloatingPanel>();
        m_view = new FloatingPasteView(m_manager, [this] {
            ++m_dismissals;
            m_panel->hide();
        });
        m_panel->setContent(m_view);
    }

    void cleanup()
    {
        m_panel.reset();
        m_history.reset();
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QList<int>>("expected"); // indexes into the items of filtering()

        QTest::newRow("empty search keeps all, images without text too")
            << QString() << QList {0, 1, 2, 3, 4};
        QTest::newRow("case-insensitive containment, order kept") << u"HELLO"_qs << QList {0, 1};
        QTest::newRow("search is not trimmed") << u"hello "_qs << QList {0};
        QTest::newRow("image by recognised text, text entry by its text alone") << u"invoice"_qs << QList {2};
    }

    void filtering()
    {
        QFETCH(QString, search);
        QFETCH(QList<int>, expected);
        const QList<ClipboardItem> items {
            ClipboardItem::fromText(u"Hello World"_qs), ClipboardItem::fromText(u"hello"_qs),
            imageItem(u"Invoice 42"_qs), imageItem(std::nullopt),
            ClipboardItem(QUuid::createUuid(), ClipboardText::fromString(u"plain"_qs), std::nullopt,
                          u"invoice"_qs)};
        const QList<ClipboardItem> found = FloatingPasteView::filterItems(items, search);
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i)
            QCOMPARE(found.at(i).id(), items.at(expected.at(i)).id());
    }

    // Catches a remembered search that settles a later one wrongly: each step
    // must show what a fresh search shows.
    void searchWhileTypingMatchesAFreshSearch()
    {
        // Texts whose first partial match is not a full one, and one large
        // enough to be searched on every core. "+text" copies text instead.
        copyTexts({u"invoice 1"_qs, u"a log: ab abc abx abcd"_qs, u"in the invoice"_qs,
                   QString(100000, u'i') + u"nvoice"_qs, u"\u00e9t\u00e9"_qs, u"abc"_qs});
        showView();
        const QStringList steps
            = u"i|in|inv|invo|inv|in||a|ab|abc|abcd|log|lo|in|+invoice 3|inv|+INVOICE 4|invo|\u00c9|\u00e9t|E\u0301T\u00c9"_qs
                  .split(u'|');
        for (const QString &step : steps) {
            if (step.startsWith(u'+'))
                copyTexts({step.mid(1)});
            else
                m_view->setSearchText(step);
            const QList<ClipboardItem> expected
                = FloatingPasteView::filterItems(m_manager->copiedItems(), m_view->searchText());
            // Copies reach the list on the next turn of the event loop.
            QTRY_COMPARE(list()->count(), expected.size());
            for (int row = 0; row < list()->count(); ++row)
                QCOMPARE(list()->item(row)->data(Qt::DisplayRole).toString(),
                         expected.at(row).textContent()->displayText());
        }
    }

    void keyTable_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("startIndex");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<QString>("pasted"); // null: nothing written, no dismissal

        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("keypad Enter pastes the selected row")
            << 3 << 1 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << 1 << u"text 2"_qs;
        QTest::newRow("Return with Shift pastes a row beyond the ninth")
            << 12 << 10 << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true << 10 << u"text 11"_qs;
        QTest::newRow("Return, empty list")
            << 0 << 0 << int(Qt::Key_Return) << none << true << 0 << QString();
        QTest::newRow("Down, last row") << 3 << 2 << int(Qt::Key_Down) << none << true << 2 << QString();
        QTest::newRow("Up moves") << 3 << 2 << int(Qt::Key_Up) << none << true << 1 << QString();
        QTest::newRow("Up, first row") << 3 << 0 << int(Qt::Key_Up) << none << true << 0 << QString();
        QTest::newRow("Ctrl+9") << 12 << 0 << int(Qt::Key_9) << ctrl << true << 8 << u"text 9"_qs;
        QTest::newRow("Ctrl+5, three rows") << 3 << 1 << int(Qt::Key_5) << ctrl << false << 1 << QString();
        QTest::newRow("Ctrl+0") << 3 << 1 << int(Qt::Key_0) << ctrl << false << 1 << QString();
        QTest::newRow("Ctrl+Shift+1, an exclamation mark")
            << 3 << 1 << int(Qt::Key_Exclam) << int(ctrl | Qt::ShiftModifier) << false << 1 << QString();
        QTest::newRow("digit without Ctrl, a search")
            << 3 << 1 << int(Qt::Key_1) << none << false << 0 << QString();
    }

    // The key is typed into the search field: consumed keys never reach it.
    void keyTable()
    {
        QFETCH(int, rows);
        QFETCH(int, startIndex);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, consumed);
        QFETCH(int, selectedAfter);
        QFETCH(QString, pasted);

        QStringList texts;
        for (int i = rows; i >= 1; --i)
            texts << QStringLiteral("text %1").arg(i);
        copyTexts(texts);
        showView();
        for (int i = 0; i < startIndex; ++i)
            QTest::keyClick(m_view->searchField(), Qt::Key_Down);
        QCOMPARE(m_view->selectedIndex(), startIndex);
        const int writesBefore = m_history->pasteboard->writeCount();
        KeyCounter counter;
        m_view->searchField()->installEventFilter(&counter);

        QTest::keyClick(m_view->searchField(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(counter.keys.contains(key), !consumed);
        QCOMPARE(m_view->selectedIndex(), selectedAfter);
        QCOMPARE(m_dismissals, pasted.isNull() ? 0 : 1);
        if (pasted.isNull()) {
            QCOMPARE(m_history->pasteboard->writeCount(), writesBefore);
        } else {
            QCOMPARE(m_history->pasteboard->text(), std::optional<QString>(pasted));
            QTRY_COMPARE(m_history->keystrokes->calls(), 1);
            QVERIFY(!m_panel->isVisible());
        }
        // A paste never changes the history.
        QCOMPARE(m_manager->copiedItems().size(), qsizetype(rows));
    }

    // The list follows the history while open, on the next turn of the
    // event loop: empty, then growing to six rows, then scrolling (walking to
    // the last row keeps it in view), then cleared.
    void listFollowsHistory()
    {
        showView();
        auto *empty = m_view->findChild<QLabel *>(u"emptyLabel"_qs);
        auto *frame = m_view->findChild<QWidget *>(u"listFrame"_qs);
        QVERIFY(empty->isVisible() && !frame->isVisible());
        QCOMPARE(empty->text(), u"No items copied yet."_qs);
        QTest::keyClicks(m_view->searchField(), u"x"_qs);
        QCOMPARE(empty->text(), u"No results."_qs);
        m_view->setSearchText(QString());

        copyTexts({u"1"_qs, u"2"_qs});
        QTRY_VERIFY(!empty->isVisible());
        QCOMPARE(list()->item(0)->data(Qt::DisplayRole).toString(), u"2"_qs);
        QCOMPARE(frame->height(), 88);
        copyTexts({u"3"_qs, u"4"_qs, u"5"_qs, u"6"_qs});
        QTRY_COMPARE(list()->count(), 6);
        QCOMPARE(frame->height(), 232);
        QCOMPARE(list()->verticalScrollBar()->maximum(), 0);
        copyTexts({u"7"_qs});
        QTRY_COMPARE(list()->count(), 7);
        QCOMPARE(frame->height(), 232);
        QTRY_VERIFY(list()->verticalScrollBar()->maximum() > 0);
        for (int i = 1; i < 7; ++i)
            QTest::keyClick(m_view->searchField(), Qt::Key_Down);
        QVERIFY(list()->viewport()->rect().contains(list()->visualItemRect(list()->item(6))));
        QCOMPARE(list()->verticalScrollBar()->value(), list()->verticalScrollBar()->maximum());

        m_manager->clearAll();
        QTRY_VERIFY(empty->isVisible());
    }

    // A new search selects the first row; while hidden the view leaves the
    // application's keys alone; the clear button empties the search.
    void searchSelectionAndClear()
    {
        copyTexts({u"apple pie"_qs, u"apple"_qs, u"banana"_qs, u"cherry"_qs});
        showView();
        auto *clear = m_view->findChild<QToolButton *>(u"clearButton"_qs);
        QVERIFY(clear && !clear->isVisible());
        QTest::keyClick(m_view->searchField(), Qt::Key_Down);
        QTest::keyClick(m_view->searchField(), Qt::Key_Down);
        QTest::keyClicks(m_view->searchField(), u"p"_qs);
        QCOMPARE(m_view->selectedIndex(), 0);
        QCOMPARE(m_view->filteredItems().size(), 2);
        QVERIFY(clear->isVisible());
        QTest::keyClick(m_view->searchField(), Qt::Key_Down);

        m_panel->hide();
        // Hidden: the view no longer intercepts the application's keys.
        QLineEdit elsewhere;
        elsewhere.show();
        QTest::keyClick(&elsewhere, Qt::Key_Escape);
        QCOMPARE(m_dismissals, 0);

        showView();
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(m_view->searchText(), QString());
        QVERIFY(!clear->isVisible());
        QCOMPARE(list()->count(), 4);
    }

    void rowContent()
    {
        m_history->pasteboard->copyImages({QImage(40, 20, QImage::Format_RGB32)});
        m_manager->checkForChanges();
        const QString hugeLog = QString(1 << 20, u'x') + u" needle" + QString(2 << 20, u' ');
        copyTexts({hugeLog, u"#ff8000"_qs + QString(2 << 20, u' ')});
        showView();
        QCOMPARE(list()->count(), 3);
        // A colour followed by megabytes of blanks is still a colour.
        QCOMPARE(list()->item(0)->data(Qt::DisplayRole).toString(), u"#ff8000"_qs);
        QCOMPARE(list()->item(0)->data(QuickPasteRowDelegate::SwatchRole).value<QColor>(),
                 QColor(0xff, 0x80, 0));
        // A huge text shows its beginning only.
        QCOMPARE(list()->item(1)->data(Qt::DisplayRole).toString(),
                 QString(ClipboardText::maxDisplayLength, u'x'));
        QVERIFY(!list()->item(1)->data(QuickPasteRowDelegate::SwatchRole).isValid());
        QCOMPARE(list()->item(2)->data(QuickPasteRowDelegate::ImageRole).value<QImage>().size(),
                 QSize(40, 20));
        QVERIFY(list()->item(2)->data(Qt::DisplayRole).isNull());
        // The badges name the first nine rows only.
        QCOMPARE(FloatingPasteView::badgeText(0), u"Ctrl+1"_qs);
        QCOMPARE(FloatingPasteView::badgeText(8), u"Ctrl+9"_qs);
        QCOMPARE(FloatingPasteView::badgeText(9), QString());

        // The search still reads the whole text.
        m_view->setSearchText(u"NEEDLE"_qs);
        QCOMPARE(list()->count(), 1);
        m_view->setSearchText(u"needles"_qs);
        QCOMPARE(list()->count(), 0);
    }

    void panelShapeWithoutCompositor()
    {
        copyTexts({u"one"_qs});
        m_panel->setTranslucent(false);
        showView();
        const QRegion mask = m_panel->mask();
        // The corners are cut off, the middle is kept.
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(m_panel->width() - 1, m_panel->height() - 1)));
        QVERIFY(mask.contains(QPoint(m_panel->width() / 2, m_panel->height() / 2)));
        QVERIFY(!m_panel->testAttribute(Qt::WA_TranslucentBackground));

        m_panel->setTranslucent(true);
        QVERIFY(m_panel->mask().isEmpty());
        QVERIFY(m_panel->testAttribute(Qt::WA_TranslucentBackground));
    }

private:
    // oldest first
    void copyTexts(const QStringList &texts) { m_history->copyTexts(texts); }

    void showView()
    {
        m_panel->present(QRect(0, 0, 1280, 800));
        m_panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
        QTRY_COMPARE(QApplication::focusWidget(), m_view->searchField());
    }

    QListWidget *list() const { return m_view->findChild<QListWidget *>(u"itemList"_qs); }

    std::unique_ptr<HistoryFixture> m_history;
    ClipboardManager *m_manager = nullptr;
    std::unique_ptr<FloatingPanel> m_panel;
    FloatingPasteView *m_view = nullptr;
    int m_dismissals = 0;
};

QTEST_MAIN(tst_FloatingPasteView)
#include "tst_floatingpasteview.moc"
