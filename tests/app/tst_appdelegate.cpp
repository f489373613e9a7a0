#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "app/AppDelegate.h"
#include "clipboard/ClipboardManager.h"
#include "fakes/FakeHotKeyBackend.h"
#include "fakes/FakeKeyboardGrab.h"
#include "fakes/FakePanelWindowSystem.h"
#include "support/HistoryFixture.h"
#include "support/PrivateSettings.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

class tst_AppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The hotkey binding stores the default shortcut in the private settings.
    void initTestCase() { QVERIFY(m_settings.isValid()); }

    void init()
    {
        KeyboardShortcuts::resetState(std::make_unique<FakeHotKeyBackend>());
        auto windowSystem = std::make_unique<FakePanelWindowSystem>();
        auto grab = std::make_unique<FakeKeyboardGrab>();
        m_windowSystem = windowSystem.get();
        m_grab = grab.get();
        m_history = std::make_unique<HistoryFixture>();
        m_delegate = std::make_unique<AppDelegate>(std::move(m_history->manager), std::move(windowSystem),
                                                   std::move(grab));
        m_delegate->applicationDidFinishLaunching();
    }

    void cleanup() { m_delegate.reset(); }
    void cleanupTestCase() { KeyboardShortcuts::resetState(); }

    // The window manager ignores the request for the keyboard: focusing
    // directly takes its place.
    void typedAheadKeysArriveInOrderWhenThePanelHasTheKeyboard()
    {
        copyTexts({u"alpha"_qs, u"beta"_qs, u"gamma"_qs});
        m_windowSystem->focus = FakePanelWindowSystem::Focus::OnlyDirectly;
        m_delegate->toggleFloatingPanel();
        QVERIFY(!m_delegate->panelHasKeyboard());
        typeText(u"bE"_qs);
        QCOMPARE(m_delegate->pasteView()->searchText(), QString());
        QTRY_VERIFY(m_delegate->panelHasKeyboard());
        QTRY_VERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_delegate->pasteView()->searchText(), u"bE"_qs);
        QCOMPARE(m_windowSystem->directFocusRequests, 1);
        // Keys on their way when the grab ended still arrive, after the others.
        m_grab->keysDown = true;
        m_grab->grab();
        typeText(u"t"_qs);
        QCOMPARE(m_delegate->pasteView()->searchText(), u"bEt"_qs);
        QCOMPARE(m_delegate->pasteView()->filteredItems().size(), 1);
        QVERIFY(m_delegate->panel()->isVisible());
    }

    void keysAfterAPickAreDropped()
    {
        copyTexts({u"one"_qs, u"two"_qs});
        m_delegate->toggleFloatingPanel();
        m_grab->type(TypedKey {Qt::Key_2, Qt::ControlModifier, u"2"_qs});
        typeText(u"xy"_qs);
        QTRY_COMPARE(m_history->keystrokes->calls(), 1);
        QCOMPARE(m_history->pasteboard->text(), std::optional<QString>(u"one"_qs));
        QCOMPARE(m_delegate->pasteView()->searchText(), QString());
        QVERIFY(!m_grab->isGrabbed());
        // Keys still on their way after the panel went are dropped too.
        m_grab->grab();
        typeText(u"z"_qs);
        // Shown again: nothing of the dropped keys turns up.
        showAndWait();
        QCOMPARE(m_delegate->pasteView()->searchText(), QString());
    }

    void hotkeyPressesTakeTheirTurnAmongTypedKeys()
    {
        // Hotkey, Escape, hotkey, "be", Return, typed faster than the panel got
        // the keyboard: open, close, open again, search, pick.
        copyTexts({u"alpha"_qs, u"beta"_qs, u"gamma"_qs});
        m_windowSystem->focus = FakePanelWindowSystem::Focus::OnlyDirectly;
        // The paste keystroke only once the user's window has the keyboard back.
        QList<int> keystrokesAtRestore;
        m_windowSystem->onRestore = [&] { keystrokesAtRestore << m_history->keystrokes->calls(); };
        m_delegate->toggleFloatingPanel(1);
        m_grab->type(TypedKey {Qt::Key_Escape, {}, u"\x1b"_qs});
        m_delegate->toggleFloatingPanel(2);
        QVERIFY(m_delegate->panel()->isVisible());
        typeText(u"be"_qs);
        m_grab->type(TypedKey {Qt::Key_Return, {}, u"\r"_qs});
        QTRY_COMPARE(m_history->keystrokes->calls(), 1);
        QCOMPARE(m_history->pasteboard->text(), std::optional<QString>(u"beta"_qs));
        QCOMPARE(m_windowSystem->activationTimes, (QList<quint32> {1, 2}));
        QCOMPARE(keystrokesAtRestore, (QList<int> {0, 0}));
        QVERIFY(!m_delegate->panel()->isVisible());
        QVERIFY(!m_grab->isGrabbed());
    }

    void panelWithoutTheKeyboardClosesAndSaysWhy()
    {
        copyTexts({u"one"_qs});
        m_windowSystem->focus = FakePanelWindowSystem::Focus::Never;
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"did not get the keyboard.*dropping 2 typed keys"_qs));
        m_delegate->toggleFloatingPanel();
        typeText(u"o"_qs);
        m_grab->type(TypedKey {Qt::Key_Return, {}, u"\r"_qs});
        QVERIFY(m_grab->isGrabbed());
        QTRY_VERIFY_WITH_TIMEOUT(!m_delegate->panel()->isVisible(),
                                 int(AppDelegate::focusTimeout.count()) + 5000);
        // The keyboard was held until then, so the keys went nowhere else; they
        // are dropped, and the window the user came from gets the keyboard back.
        QVERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_windowSystem->directFocusRequests, 1);
        QCOMPARE(m_windowSystem->restored, 1);
        QCOMPARE(m_history->keystrokes->calls(), 0);
        QCOMPARE(m_delegate->pasteView()->searchText(), QString());
    }

    void grabIsKeptWhileKeysAreDownWithinTheCap()
    {
        copyTexts({u"one"_qs, u"two"_qs});
        m_grab->keysDown = true;
        showAndWait();
        QTest::qWait(100);
        QVERIFY(m_grab->isGrabbed());
        // Keys typed meanwhile go straight to the search field.
        typeText(u"t"_qs);
        QCOMPARE(m_delegate->pasteView()->searchText(), u"t"_qs);
        m_grab->keysDown = false;
        QTRY_VERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_grab->releases, 1);

        // A key that stays down does not keep the keyboard beyond the cap.
        m_delegate->hidePanel();
        m_grab->keysDown = true;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"still down.*releasing the keyboard"_qs));
        showAndWait();
        QTRY_VERIFY_WITH_TIMEOUT(!m_grab->isGrabbed(), int(AppDelegate::keyUpCap.count()) + 5000);
        QVERIFY(m_delegate->panel()->isVisible());
    }

    void lateDeactivationsAreIgnored_data()
    {
        QTest::addColumn<FakePanelWindowSystem::Focus>("focus");
        QTest::addColumn<bool>("hasKeyboard");
        QTest::newRow("before the keyboard arrived") << FakePanelWindowSystem::Focus::Never << false;
        QTest::newRow("while the window system sees the keyboard on the panel")
            << FakePanelWindowSystem::Focus::Silently << true;
    }

    void lateDeactivationsAreIgnored()
    {
        QFETCH(FakePanelWindowSystem::Focus, focus);
        QFETCH(bool, hasKeyboard);
        m_windowSystem->focus = focus;
        m_delegate->toggleFloatingPanel();
        QTRY_COMPARE(m_delegate->panelHasKeyboard(), hasKeyboard);
        // Qt's notice that the panel's previous showing lost the focus.
        Q_EMIT m_delegate->panel()->deactivated();
        QVERIFY(m_delegate->panel()->isVisible());
        m_delegate->hidePanel();
    }

    void focusLossHidesWithoutTakingFocusBack()
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

private:
    // Copies reach the history the way another application's would.
    void copyTexts(const QStringList &texts)
    {
        for (const QString &text : texts) {
            m_history->pasteboard->copyText(text);
            m_delegate->clipboardManager()->checkForChanges();
        }
    }

    // The user types these characters while the grab is held.
    void typeText(const QString &text)
    {
        for (QChar c : text)
            m_grab->type(TypedKey {c.toUpper().unicode(), {}, c});
    }

    void showAndWait()
    {
        m_delegate->toggleFloatingPanel();
        QVERIFY(QTest::qWaitForWindowActive(m_delegate->panel()));
        QTRY_VERIFY(m_delegate->panelHasKeyboard());
    }

    PrivateSettings m_settings;
    std::unique_ptr<HistoryFixture> m_history;
    FakePanelWindowSystem *m_windowSystem = nullptr;
    FakeKeyboardGrab *m_grab = nullptr;
    std::unique_ptr<AppDelegate> m_delegate;
};

QTEST_MAIN(tst_AppDelegate)
#include "tst_appdelegate.moc"
