#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/MenuItemSearch.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "fakes/FakeKeyboardLayout.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace KeyboardShortcuts;

class TestMenuItemSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();
    void shiftAndCase_data();
    void shiftAndCase();
    void depthFirstOrder();
    void everyShortcutOfAnAction();
    void cyclicMenus();
    void followsLayout();

private:
    std::shared_ptr<FakeKeyboardLayout> m_layout;
};

void TestMenuItemSearch::init()
{
    m_layout = std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout());
    setShortcutServices({m_layout, nullptr, nullptr, nullptr});
}

void TestMenuItemSearch::cleanupTestCase()
{
    resetShortcutServices();
}

void TestMenuItemSearch::shiftAndCase_data()
{
    QTest::addColumn<QString>("itemShortcut");
    QTest::addColumn<Shortcut>("shortcut");
    QTest::addColumn<bool>("found");
    const Shortcut shiftCtrlV(9, 0x300);
    const Shortcut ctrlV(9, 0x100);
    QTest::newRow("Ctrl+Shift+V finds shift+command V")
        << QStringLiteral("Ctrl+Shift+V") << shiftCtrlV << true;
    QTest::newRow("Ctrl+V does not find shift+command V") << QStringLiteral("Ctrl+V") << shiftCtrlV << false;
    QTest::newRow("Ctrl+Shift+V does not find command V") << QStringLiteral("Ctrl+Shift+V") << ctrlV << false;
    QTest::newRow("Meta+Space") << QStringLiteral("Meta+Space") << Shortcut(49, 0x1000) << true;
}

void TestMenuItemSearch::shiftAndCase()
{
    QFETCH(QString, itemShortcut);
    QFETCH(Shortcut, shortcut);
    QFETCH(bool, found);
    QMenu menu;
    QAction *item = menu.addAction(QStringLiteral("Item"));
    item->setShortcut(QKeySequence(itemShortcut));
    QCOMPARE(menuItemWithMatchingShortcut(shortcut, &menu), found ? item : nullptr);
}

void TestMenuItemSearch::depthFirstOrder()
{
    QMenuBar bar;
    QMenu *file = bar.addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Open"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    QMenu *recent = file->addMenu(QStringLiteral("Recent"));
    QAction *deep = recent->addAction(QStringLiteral("Deep"));
    deep->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QMenu *app = bar.addMenu(QStringLiteral("App"));
    QAction *quit = app->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QAction *later = app->addAction(QStringLiteral("Later"));
    later->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));

    // Two matching items: the one met first depth first wins, even though it
    // sits deeper.
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::q, Qt::ControlModifier), &bar), deep);
    // A match in a later submenu is found when nothing earlier matches.
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::l, Qt::ControlModifier), &bar), later);
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::o, Qt::ControlModifier), app), nullptr);
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), &bar), nullptr);
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), nullptr), nullptr);

    // An item is compared before its own submenu is searched.
    recent->menuAction()->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::q, Qt::ControlModifier), &bar), recent->menuAction());
}

void TestMenuItemSearch::everyShortcutOfAnAction()
{
    QMenu menu;
    QAction *item = menu.addAction(QStringLiteral("Item"));
    item->setShortcuts({QKeySequence(QStringLiteral("Ctrl+A")), QKeySequence(QStringLiteral("Alt+B"))});
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::b, Qt::AltModifier), &menu), item);
    // Multi-chord sequences start with a chord but do not take it.
    QAction *chord = menu.addAction(QStringLiteral("Chord"));
    chord->setShortcut(QKeySequence(QStringLiteral("Ctrl+J, Ctrl+C")));
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::j, Qt::ControlModifier), &menu), nullptr);
}

void TestMenuItemSearch::cyclicMenus()
{
    QMenu a;
    QMenu b;
    a.addMenu(&b);
    b.addMenu(&a);
    QCOMPARE(menuItemWithMatchingShortcut(Shortcut(Key::x, Qt::ControlModifier), &a), nullptr);
}

void TestMenuItemSearch::followsLayout()
{
    QMenu menu;
    QAction *redo = menu.addAction(QStringLiteral("Redo"));
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Y")));
    const Shortcut zKey(Key::z, Qt::ControlModifier);
    QCOMPARE(menuItemWithMatchingShortcut(zKey, &menu), nullptr);
    m_layout->set(Key::z.rawValue(), QStringLiteral("y"));
    QCOMPARE(menuItemWithMatchingShortcut(zKey, &menu), redo);
}

QTEST_MAIN(TestMenuItemSearch)
#include "tst_menuitemsearch.moc"
