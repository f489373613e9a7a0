#include "clipboard/ClipboardManager.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"
#include "views/QuickPasteRowDelegate.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

ClipboardItem textItem(const QString &text)
{
    return ClipboardItem::fromText(text);
}

ClipboardItem imageItem(std::optional<QString> extracted)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return ClipboardItem(QUuid::createUuid(), std::nullopt, ClipboardImage::fromImage(image), extracted);
}

QStringList labelsOf(const QList<ClipboardItem> &items)
{
    QStringList labels;
    for (const ClipboardItem &item : items)
        labels << (item.text() ? *item.text()
                               : QStringLiteral("[image:%1]").arg(item.extractedText().value_or(QString())));
    return labels;
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
    void init();
    void cleanup();

    void filtering_data();
    void filtering();
    void searchWhileTypingMatchesAFreshSearch_data();
    void searchWhileTypingMatchesAFreshSearch();
    void keyTable_data();
    void keyTable();
    void keysReachSearchFieldOnlyWhenLetThrough_data();
    void keysReachSearchFieldOnlyWhenLetThrough();
    void badgeTexts_data();
    void badgeTexts();
    void listHeights_data();
    void listHeights();
    void searchChangeResetsSelectionAndClearRestores();
    void emptyStateFollowsHistory();
    void reshowSelectsOldSearchAndFirstRow();
    void clickOnRowPastesIt();
    void rowContent();
    void escapeClosesPanelWithoutMonitor();
    void panelShapeWithoutCompositor();

private:
    void copyTexts(const QStringList &texts); // oldest first
    void showView();

    FakePasteboardProvider *m_provider = nullptr;
    FakePasteSimulator *m_simulator = nullptr;
    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<FloatingPanel> m_panel;
    FloatingPasteView *m_view = nullptr;
    int m_dismissals = 0;
};

void tst_FloatingPasteView::init()
{
    auto provider = std::make_unique<FakePasteboardProvider>();
    auto simulator = std::make_unique<FakePasteSimulator>();
    m_provider = provider.get();
    m_simulator = simulator.get();
    m_manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), nullptr);
    m_manager->stopMonitoring();
    m_dismissals = 0;
    m_panel = std::make_unique<FloatingPanel>();
    m_view = new FloatingPasteView(m_manager.get(), [this] {
        ++m_dismissals;
        m_panel->hide();
    });
    m_panel->setContent(m_view);
}

void tst_FloatingPasteView::cleanup()
{
    m_panel.reset();
    m_manager.reset();
}

void tst_FloatingPasteView::copyTexts(const QStringList &texts)
{
    for (const QString &text : texts) {
        m_provider->copyText(text);
        m_manager->checkForChanges();
    }
}

void tst_FloatingPasteView::showView()
{
    m_panel->present(QRect(0, 0, 1280, 800));
    m_panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    QTRY_COMPARE(QApplication::focusWidget(), m_view->searchField());
}

void tst_FloatingPasteView::filtering_data()
{
    QTest::addColumn<QList<ClipboardItem>>("items");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");

    const QList<ClipboardItem> texts {textItem(QStringLiteral("Hello World")),
                                      textItem(QStringLiteral("hello")), textItem(QStringLiteral("goodbye")),
                                      textItem(QStringLiteral("two words"))};
    QTest::newRow("empty search keeps all in order")
        << texts << QString() << QStringList {u"Hello World"_qs, u"hello"_qs, u"goodbye"_qs, u"two words"_qs};
    QTest::newRow("case-insensitive containment, order kept")
        << texts << u"HELLO"_qs << QStringList {u"Hello World"_qs, u"hello"_qs};
    QTest::newRow("middle of a word") << texts << u"oodb"_qs << QStringList {u"goodbye"_qs};
    QTest::newRow("a single space is a real search")
        << texts << u" "_qs << QStringList {u"Hello World"_qs, u"two words"_qs};
    QTest::newRow("search is not trimmed") << texts << u"hello "_qs << QStringList {u"Hello World"_qs};
    QTest::newRow("nothing matches") << texts << u"xyz"_qs << QStringList {};
    QTest::newRow("canonically equivalent forms match")
        << QList<ClipboardItem> {textItem(u"caf\u00e9 au lait"_qs)} << u"cafe\u0301"_qs
        << QStringList {u"caf\u00e9 au lait"_qs};

    const QList<ClipboardItem> mixed {
        imageItem(u"Invoice 42"_qs), imageItem(std::nullopt), textItem(u"invoice draft"_qs),
        ClipboardItem(QUuid::createUuid(), ClipboardText::fromString(u"plain"_qs), std::nullopt,
                      u"invoice"_qs)};
    QTest::newRow("image found by recognised text")
        << mixed << u"invoice"_qs << QStringList {u"[image:Invoice 42]"_qs, u"invoice draft"_qs};
    QTest::newRow("image without recognised text stays while search is empty")
        << mixed << QString()
        << QStringList {u"[image:Invoice 42]"_qs, u"[image:]"_qs, u"invoice draft"_qs, u"plain"_qs};
    QTest::newRow("text entry judged on its text alone") << mixed << u"plain"_qs << QStringList {u"plain"_qs};
}

void tst_FloatingPasteView::filtering()
{
    QFETCH(QList<ClipboardItem>, items);
    QFETCH(QString, search);
    QFETCH(QStringList, expected);
    QCOMPARE(labelsOf(FloatingPasteView::filterItems(items, search)), expected);
}

void tst_FloatingPasteView::searchWhileTypingMatchesAFreshSearch_data()
{
    // Each step sets the search; "+text" copies text instead.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("typing on and deleting back")
        << QStringList {u"i"_qs, u"in"_qs, u"inv"_qs, u"invo"_qs, u"inv"_qs, u"in"_qs, u"i"_qs, QString()};
    QTest::newRow("a match that moves further into the text")
        << QStringList {u"a"_qs, u"ab"_qs, u"abc"_qs, u"abcd"_qs};
    QTest::newRow("replacing the search") << QStringList {u"inv"_qs, u"log"_qs, u"lo"_qs, u"inv"_qs};
    QTest::newRow("a copy arrives while typing")
        << QStringList {u"in"_qs, u"+invoice 3"_qs, u"inv"_qs, u"+INVOICE 4"_qs, u"invo"_qs, u"in"_qs};
    QTest::newRow("capitals and accents") << QStringList {u"\u00c9"_qs, u"\u00e9t"_qs, u"E\u0301T\u00c9"_qs};
}

void tst_FloatingPasteView::searchWhileTypingMatchesAFreshSearch()
{
    QFETCH(QStringList, steps);
    // Texts whose first partial match is not a full one: typing on must go
    // on searching from there, not stop at it.
    copyTexts({u"invoice 1"_qs, u"a log: ab abc abx abcd"_qs, u"in the invoice"_qs,
               QString(100000, u'i') + u"nvoice"_qs, u"\u00e9t\u00e9"_qs, u"abc"_qs});
    showView();
    auto *list = m_view->findChild<QListWidget *>(u"itemList"_qs);
    for (const QString &step : std::as_const(steps)) {
        if (step.startsWith(u'+'))
            copyTexts({step.mid(1)});
        else
            m_view->setSearchText(step);
        const QList<ClipboardItem> expected
            = FloatingPasteView::filterItems(m_manager->copiedItems(), m_view->searchText());
        // Copies reach the list on the next turn of the event loop.
        QTRY_COMPARE(list->count(), expected.size());
        for (int row = 0; row < list->count(); ++row)
            QCOMPARE(list->item(row)->data(Qt::DisplayRole).toString(),
                     expected.at(row).textContent()->displayText());
    }
}

void tst_FloatingPasteView::keyTable_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("startIndex");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("consumed");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<int>("dismissals");
    QTest::addColumn<QString>("pasted"); // null: nothing written

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Return pastes the selected row")
        << 3 << 1 << int(Qt::Key_Return) << none << u"\r"_qs << true << 1 << 1 << u"text 2"_qs;
    QTest::newRow("keypad Enter pastes") << 3 << 2 << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                         << u"\r"_qs << true << 2 << 1 << u"text 3"_qs;
    QTest::newRow("Return pastes a row beyond the ninth")
        << 12 << 10 << int(Qt::Key_Return) << none << u"\r"_qs << true << 10 << 1 << u"text 11"_qs;
    QTest::newRow("Return with Shift still pastes") << 3 << 0 << int(Qt::Key_Return) << int(Qt::ShiftModifier)
                                                    << u"\r"_qs << true << 0 << 1 << u"text 1"_qs;
    QTest::newRow("Return on an empty list is consumed and does nothing")
        << 0 << 0 << int(Qt::Key_Return) << none << u"\r"_qs << true << 0 << 0 << QString();
    QTest::newRow("Escape dismisses")
        << 3 << 0 << int(Qt::Key_Escape) << none << QString() << true << 0 << 1 << QString();
    QTest::newRow("Escape on an empty list dismisses")
        << 0 << 0 << int(Qt::Key_Escape) << none << QString() << true << 0 << 1 << QString();
    QTest::newRow("Down moves") << 3 << 0 << int(Qt::Key_Down) << none << QString() << true << 1 << 0
                                << QString();
    QTest::newRow("Down on the last row stays")
        << 3 << 2 << int(Qt::Key_Down) << none << QString() << true << 2 << 0 << QString();
    QTest::newRow("Down on an empty list is consumed")
        << 0 << 0 << int(Qt::Key_Down) << none << QString() << true << 0 << 0 << QString();
    QTest::newRow("Up moves") << 3 << 2 << int(Qt::Key_Up) << none << QString() << true << 1 << 0
                              << QString();
    QTest::newRow("Up on the first row stays")
        << 3 << 0 << int(Qt::Key_Up) << none << QString() << true << 0 << 0 << QString();
    QTest::newRow("Ctrl+1 pastes the first row")
        << 3 << 2 << int(Qt::Key_1) << ctrl << u"1"_qs << true << 0 << 1 << u"text 1"_qs;
    QTest::newRow("Ctrl+keypad 3 pastes the third row")
        << 3 << 0 << int(Qt::Key_3) << int(ctrl | Qt::KeypadModifier) << u"3"_qs << true << 2 << 1
        << u"text 3"_qs;
    QTest::newRow("Ctrl+9 reaches the ninth row")
        << 12 << 0 << int(Qt::Key_9) << ctrl << u"9"_qs << true << 8 << 1 << u"text 9"_qs;
    QTest::newRow("Ctrl+5 beyond three rows is let through")
        << 3 << 1 << int(Qt::Key_5) << ctrl << u"5"_qs << false << 1 << 0 << QString();
    QTest::newRow("Ctrl+0 is let through")
        << 3 << 1 << int(Qt::Key_0) << ctrl << u"0"_qs << false << 1 << 0 << QString();
    QTest::newRow("Ctrl+A is let through")
        << 3 << 1 << int(Qt::Key_A) << ctrl << u"\x01"_qs << false << 1 << 0 << QString();
    QTest::newRow("Ctrl+Shift+1 (an exclamation mark) is let through")
        << 3 << 1 << int(Qt::Key_Exclam) << int(ctrl | Qt::ShiftModifier) << u"!"_qs << false << 1 << 0
        << QString();
    QTest::newRow("digit without Ctrl is let through")
        << 3 << 1 << int(Qt::Key_1) << none << u"1"_qs << false << 1 << 0 << QString();
    QTest::newRow("letter is let through")
        << 3 << 1 << int(Qt::Key_A) << none << u"a"_qs << false << 1 << 0 << QString();
    QTest::newRow("Tab is let through")
        << 3 << 1 << int(Qt::Key_Tab) << none << u"\t"_qs << false << 1 << 0 << QString();
    QTest::newRow("Left is let through")
        << 3 << 1 << int(Qt::Key_Left) << none << QString() << false << 1 << 0 << QString();
    QTest::newRow("Backspace is let through")
        << 3 << 1 << int(Qt::Key_Backspace) << none << QString() << false << 1 << 0 << QString();
}

void tst_FloatingPasteView::keyTable()
{
    QFETCH(int, rows);
    QFETCH(int, startIndex);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, consumed);
    QFETCH(int, selectedAfter);
    QFETCH(int, dismissals);
    QFETCH(QString, pasted);

    QStringList texts;
    for (int i = rows; i >= 1; --i)
        texts << QStringLiteral("text %1").arg(i);
    copyTexts(texts);
    showView();
    for (int i = 0; i < startIndex; ++i)
        QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QCOMPARE(m_view->selectedIndex(), startIndex);
    const int writesBefore = m_provider->writeCount();

    QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QCOMPARE(m_view->handleKeyDown(event), consumed);
    QCOMPARE(m_view->selectedIndex(), selectedAfter);
    QCOMPARE(m_dismissals, dismissals);
    if (pasted.isNull()) {
        QCOMPARE(m_provider->writeCount(), writesBefore);
    } else {
        QCOMPARE(m_provider->text(), std::optional<QString>(pasted));
        QTRY_COMPARE(m_simulator->calls(), 1);
        QVERIFY(!m_panel->isVisible());
    }
    // A paste never changes the history.
    QCOMPARE(m_manager->copiedItems().size(), qsizetype(rows));
}

void tst_FloatingPasteView::keysReachSearchFieldOnlyWhenLetThrough_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("reachesField");
    QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier) << false;
    QTest::newRow("Ctrl+2 (pastes)") << int(Qt::Key_2) << int(Qt::ControlModifier) << false;
    QTest::newRow("Ctrl+5 (out of range)") << int(Qt::Key_5) << int(Qt::ControlModifier) << true;
    QTest::newRow("letter") << int(Qt::Key_B) << int(Qt::NoModifier) << true;
    QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << true;
}

// The same table seen from the search field: consumed keys never arrive.
void tst_FloatingPasteView::keysReachSearchFieldOnlyWhenLetThrough()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, reachesField);
    copyTexts({u"c"_qs, u"b"_qs, u"a"_qs});
    showView();
    KeyCounter counter;
    m_view->searchField()->installEventFilter(&counter);
    QTest::keyClick(m_view->searchField(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(counter.keys.contains(key), reachesField);
}

void tst_FloatingPasteView::badgeTexts_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("badge");
    QTest::newRow("first") << 0 << u"Ctrl+1"_qs;
    QTest::newRow("ninth") << 8 << u"Ctrl+9"_qs;
    QTest::newRow("tenth") << 9 << QString();
}

void tst_FloatingPasteView::badgeTexts()
{
    QFETCH(int, index);
    QFETCH(QString, badge);
    QCOMPARE(FloatingPasteView::badgeText(index), badge);
}

void tst_FloatingPasteView::listHeights_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("scrollable");
    QTest::newRow("0") << 0 << 16 << false;
    QTest::newRow("1") << 1 << 52 << false;
    QTest::newRow("6") << 6 << 232 << false;
    QTest::newRow("7") << 7 << 232 << true;
    QTest::newRow("30") << 30 << 232 << true;
}

void tst_FloatingPasteView::listHeights()
{
    QFETCH(int, rows);
    QFETCH(int, height);
    QFETCH(bool, scrollable);
    QCOMPARE(FloatingPasteView::listHeight(rows), height);

    QStringList texts;
    for (int i = 0; i < rows; ++i)
        texts << QStringLiteral("entry %1").arg(i);
    copyTexts(texts);
    showView();
    auto *frame = m_view->findChild<QWidget *>(u"listFrame"_qs);
    auto *list = m_view->findChild<QListWidget *>(u"itemList"_qs);
    QVERIFY(frame && list);
    QCOMPARE(frame->isVisible(), rows > 0);
    if (rows > 0)
        QCOMPARE(frame->height(), height);
    QCOMPARE(list->count(), rows);
    QCOMPARE(m_view->width(), 450);
    QCOMPARE(list->verticalScrollBar()->maximum() > 0, scrollable);
    QCOMPARE(list->verticalScrollBarPolicy(), scrollable ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (scrollable) {
        // Walking to the last row keeps it in view, centred where possible.
        for (int i = 1; i < rows; ++i)
            QTest::keyClick(m_view->searchField(), Qt::Key_Down);
        QCOMPARE(m_view->selectedIndex(), rows - 1);
        const QRect last = list->visualItemRect(list->item(rows - 1));
        QVERIFY(list->viewport()->rect().contains(last));
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    }
}

void tst_FloatingPasteView::searchChangeResetsSelectionAndClearRestores()
{
    copyTexts({u"apple pie"_qs, u"apple"_qs, u"banana"_qs, u"cherry"_qs});
    showView();
    QSignalSpy spy(m_view, &FloatingPasteView::selectedIndexChanged);
    auto *clear = m_view->findChild<QToolButton *>(u"clearButton"_qs);
    QVERIFY(clear && !clear->isVisible());
    QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QCOMPARE(m_view->selectedIndex(), 2);
    QTest::keyClicks(m_view->searchField(), u"p"_qs);
    QCOMPARE(m_view->selectedIndex(), 0);
    QCOMPARE(m_view->filteredItems().size(), 2);
    QCOMPARE(spy.count(), 3);
    QVERIFY(clear->isVisible());

    QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(m_view->searchText(), QString());
    QVERIFY(!clear->isVisible());
    QCOMPARE(m_view->selectedIndex(), 0);
    QCOMPARE(m_view->findChild<QListWidget *>(u"itemList"_qs)->count(), 4);
}

void tst_FloatingPasteView::emptyStateFollowsHistory()
{
    showView();
    auto *empty = m_view->findChild<QLabel *>(u"emptyLabel"_qs);
    auto *frame = m_view->findChild<QWidget *>(u"listFrame"_qs);
    QVERIFY(empty && empty->isVisible());
    QCOMPARE(empty->text(), u"No items copied yet."_qs);
    QVERIFY(!frame->isVisible());
    // The text is padded 30 pixels above and below.
    auto *emptyState = m_view->findChild<QWidget *>(u"emptyState"_qs);
    QVERIFY2(emptyState->height() >= 60 + empty->fontMetrics().height(),
             qPrintable(QString::number(emptyState->height())));
    QCOMPARE(empty->geometry().top(), 30);
    QTest::keyClicks(m_view->searchField(), u"x"_qs);
    QCOMPARE(empty->text(), u"No results."_qs);

    // Copies and a clear while open change the list on the next turn of
    // the event loop.
    m_view->setSearchText(QString());
    copyTexts({u"old"_qs, u"new"_qs});
    QTRY_VERIFY(!empty->isVisible());
    auto *list = m_view->findChild<QListWidget *>(u"itemList"_qs);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->data(Qt::DisplayRole).toString(), u"new"_qs);
    QCOMPARE(frame->height(), FloatingPasteView::listHeight(2));
    m_view->setSearchText(u"nothing like it"_qs);
    QVERIFY(empty->isVisible());
    QCOMPARE(empty->text(), u"No results."_qs);
    m_view->setSearchText(QString());
    m_manager->clearAll();
    QTRY_VERIFY(empty->isVisible());
    QCOMPARE(empty->text(), u"No items copied yet."_qs);
}

void tst_FloatingPasteView::reshowSelectsOldSearchAndFirstRow()
{
    copyTexts({u"alpha 1"_qs, u"alpha 2"_qs, u"beta"_qs});
    showView();
    QTest::keyClicks(m_view->searchField(), u"alpha"_qs);
    QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QCOMPARE(m_view->selectedIndex(), 1);
    m_panel->hide();
    // Hidden: the view no longer intercepts the application's keys.
    QLineEdit elsewhere;
    elsewhere.show();
    QTest::keyClick(&elsewhere, Qt::Key_Escape);
    QCOMPARE(m_dismissals, 0);

    showView();
    QCOMPARE(m_view->searchText(), u"alpha"_qs);
    QCOMPARE(m_view->selectedIndex(), 0);
    QCOMPARE(m_view->filteredItems().size(), 2);
    // The old search is selected: an arrow works on its list, typing
    // replaces it rather than appending to it.
    QCOMPARE(m_view->searchField()->selectedText(), u"alpha"_qs);
    QTest::keyClick(m_view->searchField(), Qt::Key_Down);
    QCOMPARE(m_view->selectedIndex(), 1);
    QTest::keyClicks(m_view->searchField(), u"be"_qs);
    QCOMPARE(m_view->searchText(), u"be"_qs);
    QCOMPARE(m_view->filteredItems().size(), 1);
}

void tst_FloatingPasteView::clickOnRowPastesIt()
{
    copyTexts({u"first"_qs, u"second"_qs, u"third"_qs});
    showView();
    auto *list = m_view->findChild<QListWidget *>(u"itemList"_qs);
    const QRect row = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(m_dismissals, 1);
    QCOMPARE(m_provider->text(), std::optional<QString>(u"first"_qs));
    QTRY_COMPARE(m_simulator->calls(), 1);
}

void tst_FloatingPasteView::rowContent()
{
    m_provider->copyImages({QImage(40, 20, QImage::Format_RGB32)});
    m_manager->checkForChanges();
    const QString hugeLog = QString(1 << 20, u'x') + u" needle" + QString(2 << 20, u' ');
    copyTexts({u"#1e90ff"_qs, u"ends in blanks  \n\n"_qs, hugeLog, u"#ff8000"_qs + QString(2 << 20, u' ')});
    showView();
    auto *list = m_view->findChild<QListWidget *>(u"itemList"_qs);
    QCOMPARE(list->count(), 5);
    // A colour followed by megabytes of blanks is still a colour.
    QCOMPARE(list->item(0)->data(Qt::DisplayRole).toString(), u"#ff8000"_qs);
    QCOMPARE(list->item(0)->data(QuickPasteRowDelegate::SwatchRole).value<QColor>(),
             QColor(0xff, 0x80, 0x00));
    // A huge text shows its beginning only.
    QCOMPARE(list->item(1)->data(Qt::DisplayRole).toString(), QString(ClipboardText::maxDisplayLength, u'x'));
    QVERIFY(!list->item(1)->data(QuickPasteRowDelegate::SwatchRole).isValid());
    QCOMPARE(list->item(2)->data(Qt::DisplayRole).toString(), u"ends in blanks"_qs);
    QVERIFY(!list->item(2)->data(QuickPasteRowDelegate::SwatchRole).isValid());
    QCOMPARE(list->item(3)->data(QuickPasteRowDelegate::SwatchRole).value<QColor>(),
             QColor(0x1e, 0x90, 0xff));
    QCOMPARE(list->item(4)->data(QuickPasteRowDelegate::ImageRole).value<QImage>().size(), QSize(40, 20));
    QVERIFY(list->item(4)->data(Qt::DisplayRole).isNull());

    // The search still reads the whole text.
    m_view->setSearchText(u"NEEDLE"_qs);
    QCOMPARE(list->count(), 1);
    m_view->setSearchText(u"needles"_qs);
    QCOMPARE(list->count(), 0);
}

void tst_FloatingPasteView::escapeClosesPanelWithoutMonitor()
{
    // A panel whose content does not intercept keys.
    FloatingPanel panel;
    auto *field = new QLineEdit;
    panel.setContent(field);
    panel.present(QRect(0, 0, 800, 600));
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!panel.isVisible());
    // Closing does not destroy: the same instance comes back.
    panel.present(QRect(0, 0, 800, 600));
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QCOMPARE(panel.content(), field);
    const QRect frame = panel.geometry();
    QCOMPARE(frame.center(), QRect(0, 0, 800, 600).center());
}

void tst_FloatingPasteView::panelShapeWithoutCompositor()
{
    copyTexts({u"one"_qs});
    m_panel->setTranslucent(false);
    showView();
    const QRegion mask = m_panel->mask();
    QVERIFY(!mask.isEmpty());
    // The corners are cut off, the middle is kept.
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(m_panel->width() - 1, m_panel->height() - 1)));
    QVERIFY(mask.contains(QPoint(m_panel->width() / 2, m_panel->height() / 2)));
    QVERIFY(!m_panel->testAttribute(Qt::WA_TranslucentBackground));

    m_panel->setTranslucent(true);
    QVERIFY(m_panel->mask().isEmpty());
    QVERIFY(m_panel->testAttribute(Qt::WA_TranslucentBackground));
}

QTEST_MAIN(tst_FloatingPasteView)
#include "tst_floatingpasteview.moc"
