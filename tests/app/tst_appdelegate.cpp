#include "app/AppDelegate.h"
#include "clipboard/ClipboardManager.h"
#include "fakes/FakeKeyboardGrab.h"
#include "fakes/FakePanelWindowSystem.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

TypedKey typedChar(QChar c)
{
    TypedKey key;
    key.key = c.toUpper().unicode();
    key.text = c;
    return key;
}

TypedKey typedKey(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString &text = {})
{
    TypedKey key;
    key.key = qtKey;
    key.modifiers = modifiers;
    key.text = text;
    return key;
}

} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void toggleShowsCentredAndFocusedThenHides();
    void typedAheadKeysReachTheSearchField();
    void typedAheadReturnPastesAfterFocusIsBack();
    void keysAfterAPickAreDropped();
    void grabIsKeptWhileKeysAreDown();
    void grabIsReleasedAfterTheCap();
    void unavailableGrabStillShowsThePanel();
    void focusLossHidesWithoutTakingFocusBack();
    void escapeDismissesAndGivesFocusBack();
    void translucencyFollowsTheCompositor();

private:
    void copyTexts(const QStringList &texts);
    void showAndWait();

    FakePasteboardProvider *m_provider = nullptr;
    FakePasteSimulator *m_simulator = nullptr;
    FakePanelWindowSystem *m_windowSystem = nullptr;
    FakeKeyboardGrab *m_grab = nullptr;
    std::unique_ptr<AppDelegate> m_delegate;
};

void tst_AppDelegate::init()
{
    auto provider = std::make_unique<FakePasteboardProvider>();
    auto simulator = std::make_unique<FakePasteSimulator>();
    auto windowSystem = std::make_unique<FakePanelWindowSystem>();
    auto grab = std::make_unique<FakeKeyboardGrab>();
    m_provider = provider.get();
    m_simulator = simulator.get();
    m_windowSystem = windowSystem.get();
    m_grab = grab.get();
    auto manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator), nullptr);
    manager->stopMonitoring();
    m_delegate = std::make_unique<AppDelegate>(std::move(manager), std::move(windowSystem), std::move(grab));
    m_delegate->applicationDidFinishLaunching();
}

void tst_AppDelegate::cleanup()
{
    m_delegate.reset();
}

void tst_AppDelegate::copyTexts(const QStringList &texts)
{
    for (const QString &text : texts) {
        m_provider->copyText(text);
        m_delegate->clipboardManager()->checkForChanges();
    }
}

void tst_AppDelegate::showAndWait()
{
    m_delegate->toggleFloatingPanel();
    QVERIFY(QTest::qWaitForWindowActive(m_delegate->panel()));
}

void tst_AppDelegate::toggleShowsCentredAndFocusedThenHides()
{
    QVERIFY(!m_delegate->panel()->isVisible());
    showAndWait();
    FloatingPanel *panel = m_delegate->panel();
    QCOMPARE(m_windowSystem->remembered, 1);
    QCOMPARE(panel->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    QTRY_COMPARE(QApplication::focusWidget(), m_delegate->pasteView()->searchField());
    QVERIFY(!m_grab->isGrabbed());

    m_delegate->toggleFloatingPanel();
    QVERIFY(!panel->isVisible());
    QCOMPARE(m_windowSystem->restored, 1);

    // The same panel comes back.
    showAndWait();
    QCOMPARE(m_delegate->panel(), panel);
    QCOMPARE(m_grab->grabs, 2);
    QTRY_COMPARE(m_grab->releases, 2);
}

void tst_AppDelegate::typedAheadKeysReachTheSearchField()
{
    copyTexts({u"alpha"_qs, u"beta"_qs, u"gamma"_qs});
    m_delegate->toggleFloatingPanel();
    QVERIFY(!m_delegate->panel()->isActiveWindow());
    for (QChar c : u"bE"_qs)
        m_grab->type(typedChar(c));
    QVERIFY(QTest::qWaitForWindowActive(m_delegate->panel()));
    QTRY_VERIFY(!m_grab->isGrabbed());
    QCOMPARE(m_delegate->pasteView()->searchText(), u"bE"_qs);
    // Keys on their way when the grab ended still arrive, after the others.
    m_grab->keysDown = true;
    m_grab->grab();
    m_grab->type(typedChar(u't'));
    QCOMPARE(m_delegate->pasteView()->searchText(), u"bEt"_qs);
    QCOMPARE(m_delegate->pasteView()->filteredItems().size(), 1);
    QVERIFY(m_delegate->panel()->isVisible());
}

void tst_AppDelegate::typedAheadReturnPastesAfterFocusIsBack()
{
    copyTexts({u"first"_qs, u"second"_qs, u"third"_qs});
    int keystrokesAtRestore = -1;
    m_windowSystem->onRestore = [&] { keystrokesAtRestore = m_simulator->calls(); };
    m_delegate->toggleFloatingPanel();
    for (const TypedKey &key : {typedChar(u's'), typedChar(u'e'), typedKey(Qt::Key_Return, {}, u"\r"_qs)})
        m_grab->type(key);
    QVERIFY(m_delegate->panel()->isVisible());
    QCOMPARE(m_simulator->calls(), 0);
    QTRY_COMPARE(m_simulator->calls(), 1);
    QCOMPARE(m_provider->text(), std::optional<QString>(u"second"_qs));
    QVERIFY(!m_delegate->panel()->isVisible());
    QCOMPARE(m_windowSystem->restored, 1);
    QCOMPARE(keystrokesAtRestore, 0);
}

void tst_AppDelegate::keysAfterAPickAreDropped()
{
    copyTexts({u"one"_qs, u"two"_qs});
    m_delegate->toggleFloatingPanel();
    for (const TypedKey &key :
         {typedKey(Qt::Key_2, Qt::ControlModifier, u"2"_qs), typedChar(u'x'), typedChar(u'y')})
        m_grab->type(key);
    QTRY_COMPARE(m_simulator->calls(), 1);
    QCOMPARE(m_provider->text(), std::optional<QString>(u"one"_qs));
    QCOMPARE(m_delegate->pasteView()->searchText(), QString());
    QVERIFY(!m_grab->isGrabbed());
    // Keys still on their way after the panel went are dropped too.
    m_grab->grab();
    m_grab->type(typedChar(u'z'));
    // Shown again: nothing of the dropped keys turns up.
    showAndWait();
    QCOMPARE(m_delegate->pasteView()->searchText(), QString());
}

void tst_AppDelegate::grabIsKeptWhileKeysAreDown()
{
    copyTexts({u"one"_qs, u"two"_qs});
    m_grab->keysDown = true;
    showAndWait();
    QTest::qWait(100);
    QVERIFY(m_grab->isGrabbed());
    // Keys typed meanwhile go straight to the search field.
    m_grab->type(typedChar(u't'));
    QCOMPARE(m_delegate->pasteView()->searchText(), u"t"_qs);
    m_grab->keysDown = false;
    QTRY_VERIFY(!m_grab->isGrabbed());
    QCOMPARE(m_grab->releases, 1);
}

void tst_AppDelegate::grabIsReleasedAfterTheCap()
{
    // A panel that cannot take the keyboard: the grab must not outlive the cap.
    m_delegate->panel()->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"requestActivate\\(\\) called for .*"_qs));
    m_delegate->toggleFloatingPanel();
    QVERIFY(m_grab->isGrabbed());
    QVERIFY(m_delegate->panel()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_grab->isGrabbed(), int(AppDelegate::typeAheadCap.count()) + 2000);
    QCOMPARE(m_grab->releases, 1);
}

void tst_AppDelegate::unavailableGrabStillShowsThePanel()
{
    m_grab->available = false;
    showAndWait();
    QTRY_COMPARE(QApplication::focusWidget(), m_delegate->pasteView()->searchField());
    QCOMPARE(m_grab->grabs, 0);
}

void tst_AppDelegate::focusLossHidesWithoutTakingFocusBack()
{
    showAndWait();
    QWidget other;
    other.setWindowTitle(u"another window"_qs);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_VERIFY(!m_delegate->panel()->isVisible());
    QCOMPARE(m_windowSystem->restored, 0);
}

void tst_AppDelegate::escapeDismissesAndGivesFocusBack()
{
    copyTexts({u"kept"_qs});
    showAndWait();
    QSignalSpy hidden(m_delegate.get(), &AppDelegate::panelHidden);
    QTest::keyClick(m_delegate->pasteView()->searchField(), Qt::Key_Escape);
    QVERIFY(!m_delegate->panel()->isVisible());
    QCOMPARE(hidden.count(), 1);
    QCOMPARE(m_windowSystem->restored, 1);
    QTest::qWait(200);
    QCOMPARE(m_simulator->calls(), 0);
    QCOMPARE(m_provider->writeCount(), 0);
}

void tst_AppDelegate::translucencyFollowsTheCompositor()
{
    m_windowSystem->compositor = false;
    showAndWait();
    QVERIFY(!m_delegate->panel()->isTranslucent());
    m_delegate->toggleFloatingPanel();
    m_windowSystem->compositor = true;
    showAndWait();
    QVERIFY(m_delegate->panel()->isTranslucent());
}

QTEST_MAIN(tst_AppDelegate)
#include "tst_appdelegate.moc"
