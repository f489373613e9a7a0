#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakePastePermission.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "support/StdoutCapture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

QSettings userDefaults()
{
    return QSettings(u"Halvex"_qs, u"Halvex"_qs);
}

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_configHome.isValid());
        qputenv("XDG_CONFIG_HOME", m_configHome.path().toUtf8());
    }

    void init()
    {
        userDefaults().clear();
        KeyboardShortcuts::resetState();
        m_login = std::make_unique<FakeLoginItem>();
        m_permission = std::make_unique<FakePastePermission>();
    }

    void cleanup() { m_view.reset(); }

    // An unreadable stored shortcut is pointed out under the recorder until
    // a new one is stored.
    void unreadableShortcutIsPointedOut()
    {
        const KeyboardShortcuts::Name name = KeyboardShortcuts::Name::togglePanel();
        userDefaults().setValue(KeyboardShortcuts::settingsKey(name), u"garbage"_qs);
        SettingsView &view = makeView(false);
        QVERIFY(view.showsShortcutProblem());
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(9, 0x1200), name);
        QVERIFY(!view.showsShortcutProblem());
        KeyboardShortcuts::setShortcut(std::nullopt, name);
        QVERIFY(!view.showsShortcutProblem());
    }

    // Coming on screen, the form takes the login item's status; a change
    // made that way reaches the login item like a click would.
    void refreshOnShow_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("systemEnabled");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("enabled in the system, stored false: on, nothing to do")
            << false << true << QStringList();
        QTest::newRow("not enabled, stored true: off, unregisters")
            << true << false << QStringList {u"unregister"_qs};
        QTest::newRow("agreeing: no call") << true << true << QStringList();
    }

    void refreshOnShow()
    {
        QFETCH(bool, stored);
        QFETCH(bool, systemEnabled);
        QFETCH(QStringList, calls);
        userDefaults().setValue(u"openAtLogin"_qs, stored);
        m_login->enabled = systemEnabled;
        SettingsView &view = makeView(false);
        auto *toggle = view.findChild<QCheckBox *>(u"openAtLogin"_qs);
        QVERIFY(toggle);
        QCOMPARE(toggle->isChecked(), stored);
        QVERIFY(m_login->calls.isEmpty());

        view.show();
        QCOMPARE(toggle->isChecked(), systemEnabled);
        QCOMPARE(m_login->calls, calls);
        QCOMPARE(userDefaults().value(u"openAtLogin"_qs).toBool(), systemEnabled);
    }

    void toggleRegistersAndStores()
    {
        SettingsView &view = makeView();
        auto *toggle = view.findChild<QCheckBox *>(u"openAtLogin"_qs);
        toggle->click();
        QVERIFY(m_login->enabled);
        QCOMPARE(userDefaults().value(u"openAtLogin"_qs).toBool(), true);
        toggle->click();
        QVERIFY(!m_login->enabled);
        QCOMPARE(userDefaults().value(u"openAtLogin"_qs).toBool(), false);
        QCOMPARE(m_login->calls, (QStringList {u"register"_qs, u"unregister"_qs}));
    }

    void failureKeepsTheUsersChoice()
    {
        SettingsView &view = makeView();
        m_login->failure = u"no room"_qs;
        auto *toggle = view.findChild<QCheckBox *>(u"openAtLogin"_qs);
        QByteArray printed;
        {
            StdoutCapture capture;
            toggle->click();
            // The per-second refresh must not undo or repeat anything.
            QTRY_VERIFY_WITH_TIMEOUT(m_permission->checks >= 3, 5000);
            printed = capture.text();
        }
        QCOMPARE(printed, QByteArray("Failed to update launch at login: no room\n"));
        QVERIFY(toggle->isChecked());
        QCOMPARE(userDefaults().value(u"openAtLogin"_qs).toBool(), true);
        QCOMPARE(m_login->calls, QStringList {u"register"_qs});
    }

    void permissionRow()
    {
        m_permission->explanation = u"no XTEST here"_qs;
        SettingsView &view = makeView();
        auto *granted = view.findChild<QLabel *>(u"granted"_qs);
        auto *request = view.findChild<QPushButton *>(u"requestAccess"_qs);
        auto *explanation = view.findChild<QLabel *>(u"permissionExplanation"_qs);
        QVERIFY(granted && request && explanation);
        QVERIFY(!view.hasPastePermission());
        QVERIFY(!granted->isVisible());
        QVERIFY(request->isVisible());
        QVERIFY(explanation->isVisible());
        QCOMPARE(explanation->text(), u"no XTEST here"_qs);
        auto *label = view.findChild<QLabel *>(u"permissionLabel"_qs);
        QVERIFY(label);
        const QColor missing = label->palette().color(label->foregroundRole());

        // Granted elsewhere: the running form notices within about a second.
        m_permission->granted = true;
        QTRY_VERIFY_WITH_TIMEOUT(view.hasPastePermission(), 3000);
        QVERIFY(granted->isVisible());
        QVERIFY(!request->isVisible());
        QVERIFY(!explanation->isVisible());
        QCOMPARE(m_permission->requests, 0);
        // Orange while missing, green once granted, in the role it is drawn with.
        const QColor grantedColour = label->palette().color(label->foregroundRole());
        QVERIFY(missing.red() > missing.green() && missing.green() > missing.blue());
        QVERIFY(grantedColour.green() > grantedColour.red() && grantedColour.green() > grantedColour.blue());
    }

    // No way to send keystrokes at all (a Wayland desktop without them):
    // nothing to ask for; the row says what to do instead.
    void permissionRowWithoutKeystrokes()
    {
        m_permission->supported = false;
        m_permission->explanation = u"copied only"_qs;
        SettingsView &view = makeView();
        auto *status = view.findChild<QLabel *>(u"granted"_qs);
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), u"Paste with Ctrl+V yourself"_qs);
        QVERIFY(!view.findChild<QPushButton *>(u"requestAccess"_qs)->isVisible());
        QCOMPARE(view.findChild<QLabel *>(u"permissionExplanation"_qs)->text(), u"copied only"_qs);
    }

    // Where a desktop binds the key itself, the form says so and shows the
    // configuration line for the recorded shortcut, following every change.
    void shortcutNoteFollowsTheRecordedShortcut()
    {
        SettingsView &view = makeView();
        QVERIFY(!view.findChild<QLabel *>(u"shortcutNote"_qs)->isVisible());
        view.setShortcutNote(u"add this line"_qs, [](const KeyboardShortcuts::Shortcut &shortcut) {
            return u"bind %1/%2"_qs.arg(shortcut.carbonKeyCode()).arg(shortcut.carbonModifiers());
        });
        QVERIFY(view.findChild<QLabel *>(u"shortcutNote"_qs)->isVisible());
        QCOMPARE(view.shortcutNote(), u"add this line"_qs);
        QCOMPARE(view.shortcutConfigLine(), u"bind 9/4608"_qs); // the default, Shift+Super+V
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(40, 0x0100),
                                       KeyboardShortcuts::Name::togglePanel());
        QCOMPARE(view.shortcutConfigLine(), u"bind 40/256"_qs);
        KeyboardShortcuts::setShortcut(std::nullopt, KeyboardShortcuts::Name::togglePanel());
        QVERIFY(!view.findChild<QLabel *>(u"shortcutConfigLine"_qs)->isVisible());
        QVERIFY(view.height() >= 350);
    }

    void requestAccessWhenAlreadyGranted()
    {
        SettingsView &view = makeView();
        auto *request = view.findChild<QPushButton *>(u"requestAccess"_qs);
        QVERIFY(request->isVisible());
        m_permission->granted = true;
        request->click();
        QCOMPARE(m_permission->requests, 1);
        QVERIFY(view.hasPastePermission());
        QVERIFY(view.findChild<QLabel *>(u"granted"_qs)->isVisible());
    }

    void refreshStopsWhenHidden()
    {
        SettingsView &view = makeView();
        QTRY_VERIFY_WITH_TIMEOUT(m_permission->checks >= 2, 3000);
        view.hide();
        const int checks = m_permission->checks;
        // Nothing to wait for but the absence of the next tick.
        QTest::qWait(1500);
        QCOMPARE(m_permission->checks, checks);
    }

    void oneWindowShownAfterADelay()
    {
        SettingsWindowManager manager(*m_login, *m_permission);
        QVERIFY(!manager.settingsWindow());
        manager.showSettings();
        QWidget *window = manager.settingsWindow();
        QVERIFY(window);
        QVERIFY(!window->isVisible());
        manager.showSettings();
        QCOMPARE(manager.settingsWindow(), window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 3000);

        QCOMPARE(window->windowTitle(), u"Settings"_qs);
        QCOMPARE(window->size(), QSize(450, 350));

        // Closing keeps the window; the next call shows the same one.
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        manager.showSettings();
        QCOMPARE(manager.settingsWindow(), window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 3000);
    }

private:
    SettingsView &makeView(bool show = true)
    {
        m_view = std::make_unique<SettingsView>(*m_login, *m_permission);
        if (show)
            m_view->show();
        return *m_view;
    }

    QTemporaryDir m_configHome;
    std::unique_ptr<FakeLoginItem> m_login;
    std::unique_ptr<FakePastePermission> m_permission;
    std::unique_ptr<SettingsView> m_view;
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
