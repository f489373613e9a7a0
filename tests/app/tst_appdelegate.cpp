#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "app/AppDelegate.h"
#include "clipboard/ClipboardManager.h"
#include "fakes/FakeHotKeyBackend.h"
#include "fakes/FakeKeyboardGrab.h"
#include "fakes/FakePanelWindowSystem.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const TypedKey returnKey {Qt::Key_Return, {}, u"\r"_qs};
const TypedKey escapeKey {Qt::Key_Escape, {}, u"\x1b"_qs};

} // namespace

class tst_AppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The hotkey binding stores the default shortcut: keep it out of the
        // user's settings.
        QVERIFY(m_settingsDir.isValid());
        qputenv("XDG_CONFIG_HOME", m_settingsDir.path().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init()
    {
        auto hotKeys = std::make_unique<FakeHotKeyBackend>();
        m_hotKeys = hotKeys.get();
        KeyboardShortcuts::resetState(std::move(hotKeys));
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
        m_delegate
            = std::make_unique<AppDelegate>(std::move(manager), std::move(windowSystem), std::move(grab));
        m_delegate->applicationDidFinishLaunching();
    }

    void cleanup() { m_delegate.reset(); }
    void cleanupTestCase() { KeyboardShortcuts::resetState(); }

    // Shown by the hotkey, with its event's time; toggled off, then on by
    // another launch, which has no event: the window system's time stands in.
    void toggleShowsCentredAndFocusedThenHides()
    {
        m_hotKeys->time = 4242;
        QVERIFY(m_hotKeys->press(KeyboardShortcuts::Name::togglePanelDefault()));
        QVERIFY(QTest::qWaitForWindowActive(m_delegate->panel()));
        QTRY_VERIFY(m_delegate->panelHasKeyboard());
        FloatingPanel *panel = m_delegate->panel();
        QCOMPARE(m_windowSystem->remembered, 1);
        QCOMPARE(panel->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
        QTRY_COMPARE(QApplication::focusWidget(), m_delegate->pasteView()->searchField());
        QVERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_windowSystem->directFocusRequests, 0);

        m_delegate->toggleFloatingPanel();
        QVERIFY(!panel->isVisible());
        QCOMPARE(m_windowSystem->restored, 1);

        // The same panel comes back.
        showAndWait();
        QCOMPARE(m_delegate->panel(), panel);
        QCOMPARE(m_grab->grabs, 2);
        QTRY_COMPARE(m_grab->releases, 2);
        QCOMPARE(m_windowSystem->activationTimes, (QList<quint32> {4242, 0}));
    }

    void typedAheadKeysArriveInOrderWhenThePanelHasTheKeyboard_data()
    {
        QTest::addColumn<FakePanelWindowSystem::Focus>("focus");
        QTest::addColumn<int>("directFocusRequests");
        QTest::newRow("the window manager activates") << FakePanelWindowSystem::Focus::ByManager << 0;
        // Qt still believes the panel active from its last showing.
        QTest::newRow("no activation from Qt") << FakePanelWindowSystem::Focus::Silently << 0;
        QTest::newRow("the window manager ignores the request")
            << FakePanelWindowSystem::Focus::OnlyDirectly << 1;
    }

    void typedAheadKeysArriveInOrderWhenThePanelHasTheKeyboard()
    {
        QFETCH(FakePanelWindowSystem::Focus, focus);
        QFETCH(int, directFocusRequests);
        copyTexts({u"alpha"_qs, u"beta"_qs, u"gamma"_qs});
        m_windowSystem->focus = focus;
        m_delegate->toggleFloatingPanel();
        QVERIFY(!m_delegate->panelHasKeyboard());
        typeText(u"bE"_qs);
        QCOMPARE(m_delegate->pasteView()->searchText(), QString());
        QTRY_VERIFY(m_delegate->panelHasKeyboard());
        QTRY_VERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_delegate->pasteView()->searchText(), u"bE"_qs);
        QCOMPARE(m_windowSystem->directFocusRequests, directFocusRequests);
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
        QTRY_COMPARE(m_simulator->calls(), 1);
        QCOMPARE(m_provider->text(), std::optional<QString>(u"one"_qs));
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
        m_windowSystem->onRestore = [&] { keystrokesAtRestore << m_simulator->calls(); };
        m_delegate->toggleFloatingPanel(1);
        m_grab->type(escapeKey);
        m_delegate->toggleFloatingPanel(2);
        QVERIFY(m_delegate->panel()->isVisible());
        typeText(u"be"_qs);
        m_grab->type(returnKey);
        QTRY_COMPARE(m_simulator->calls(), 1);
        QCOMPARE(m_provider->text(), std::optional<QString>(u"beta"_qs));
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
        m_grab->type(returnKey);
        QVERIFY(m_grab->isGrabbed());
        QTRY_VERIFY_WITH_TIMEOUT(!m_delegate->panel()->isVisible(),
                                 int(AppDelegate::focusTimeout.count()) + 5000);
        // The keyboard was held until then, so the keys went nowhere else; they
        // are dropped, and the window the user came from gets the keyboard back.
        QVERIFY(!m_grab->isGrabbed());
        QCOMPARE(m_windowSystem->directFocusRequests, 1);
        QCOMPARE(m_windowSystem->restored, 1);
        QCOMPARE(m_simulator->calls(), 0);
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

    // Without a grab or a compositor the panel still shows, focused and opaque.
    void panelFitsWhatTheWindowSystemOffers()
    {
        m_grab->available = false;
        m_windowSystem->compositor = false;
        showAndWait();
        QTRY_COMPARE(QApplication::focusWidget(), m_delegate->pasteView()->searchField());
        QCOMPARE(m_grab->grabs, 0);
        QVERIFY(!m_delegate->panel()->isTranslucent());
        m_delegate->toggleFloatingPanel();
        m_windowSystem->compositor = true;
        showAndWait();
        QVERIFY(m_delegate->panel()->isTranslucent());
    }

private:
    void copyTexts(const QStringList &texts)
    {
        for (const QString &text : texts) {
            m_provider->copyText(text);
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

    QTemporaryDir m_settingsDir;
    FakeHotKeyBackend *m_hotKeys = nullptr;
    FakePasteboardProvider *m_provider = nullptr;
    FakePasteSimulator *m_simulator = nullptr;
    FakePanelWindowSystem *m_windowSystem = nullptr;
    FakeKeyboardGrab *m_grab = nullptr;
    std::unique_ptr<AppDelegate> m_delegate;
};

QTEST_MAIN(tst_AppDelegate)
#include "tst_appdelegate.moc"
