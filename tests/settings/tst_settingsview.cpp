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
    return QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex"));
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
    }

    // An unreadable stored shortcut is pointed out under the recorder until
    // a new one is stored.
    void unreadableShortcutIsPointedOut()
    {
        const KeyboardShortcuts::Name name = KeyboardShortcuts::Name::togglePanel();
        userDefaults().setValue(KeyboardShortcuts::settingsKey(name), QStringLiteral("garbage"));
        FakeLoginItem loginItem;
        FakePastePermission permission;
        SettingsView view(loginItem, permission);
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
            << true << false << QStringList {QStringLiteral("unregister")};
        QTest::newRow("agreeing: no call") << true << true << QStringList();
    }

    void refreshOnShow()
    {
        QFETCH(bool, stored);
        QFETCH(bool, systemEnabled);
        QFETCH(QStringList, calls);
        userDefaults().setValue(QStringLiteral("openAtLogin"), stored);
        FakeLoginItem login;
        login.enabled = systemEnabled;
        FakePastePermission permission;
        SettingsView view(login, permission);
        auto *toggle = view.findChild<QCheckBox *>(QStringLiteral("openAtLogin"));
        QVERIFY(toggle);
        QCOMPARE(toggle->isChecked(), stored);
        QVERIFY(login.calls.isEmpty());

        view.show();
        QCOMPARE(toggle->isChecked(), systemEnabled);
        QCOMPARE(login.calls, calls);
        QCOMPARE(userDefaults().value(QStringLiteral("openAtLogin")).toBool(), systemEnabled);
    }

    void toggleRegistersAndStores()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsView view(login, permission);
        view.show();
        auto *toggle = view.findChild<QCheckBox *>(QStringLiteral("openAtLogin"));
        toggle->click();
        QVERIFY(login.enabled);
        QCOMPARE(userDefaults().value(QStringLiteral("openAtLogin")).toBool(), true);
        toggle->click();
        QVERIFY(!login.enabled);
        QCOMPARE(userDefaults().value(QStringLiteral("openAtLogin")).toBool(), false);
        QCOMPARE(login.calls, (QStringList {QStringLiteral("register"), QStringLiteral("unregister")}));
    }

    void failureKeepsTheUsersChoice()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsView view(login, permission);
        view.show();
        login.failure = QStringLiteral("no room");
        auto *toggle = view.findChild<QCheckBox *>(QStringLiteral("openAtLogin"));
        QByteArray printed;
        {
            StdoutCapture capture;
            toggle->click();
            // The per-second refresh must not undo or repeat anything.
            QTRY_VERIFY_WITH_TIMEOUT(permission.checks >= 3, 5000);
            printed = capture.text();
        }
        QCOMPARE(printed, QByteArray("Failed to update launch at login: no room\n"));
        QVERIFY(toggle->isChecked());
        QCOMPARE(userDefaults().value(QStringLiteral("openAtLogin")).toBool(), true);
        QCOMPARE(login.calls, QStringList {QStringLiteral("register")});
    }

    void permissionRow()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        permission.explanation = QStringLiteral("no XTEST here");
        SettingsView view(login, permission);
        view.show();
        auto *granted = view.findChild<QLabel *>(QStringLiteral("granted"));
        auto *request = view.findChild<QPushButton *>(QStringLiteral("requestAccess"));
        auto *explanation = view.findChild<QLabel *>(QStringLiteral("permissionExplanation"));
        QVERIFY(granted && request && explanation);
        QVERIFY(!view.hasPastePermission());
        QVERIFY(!granted->isVisible());
        QVERIFY(request->isVisible());
        QVERIFY(explanation->isVisible());
        QCOMPARE(explanation->text(), QStringLiteral("no XTEST here"));
        auto *label = view.findChild<QLabel *>(QStringLiteral("permissionLabel"));
        QVERIFY(label);
        const QColor missing = label->palette().color(label->foregroundRole());

        // Granted elsewhere: the running form notices within about a second.
        permission.granted = true;
        QTRY_VERIFY_WITH_TIMEOUT(view.hasPastePermission(), 3000);
        QVERIFY(granted->isVisible());
        QVERIFY(!request->isVisible());
        QVERIFY(!explanation->isVisible());
        QCOMPARE(permission.requests, 0);
        // Orange while missing, green once granted, in the role it is drawn with.
        const QColor grantedColour = label->palette().color(label->foregroundRole());
        QVERIFY(missing.red() > missing.green() && missing.green() > missing.blue());
        QVERIFY(grantedColour.green() > grantedColour.red() && grantedColour.green() > grantedColour.blue());
    }

    // No way to send keystrokes at all (a Wayland desktop without them):
    // nothing to ask for; the row says what to do instead.
    void permissionRowWithoutKeystrokes()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        permission.supported = false;
        permission.explanation = QStringLiteral("copied only");
        SettingsView view(login, permission);
        view.show();
        auto *status = view.findChild<QLabel *>(QStringLiteral("granted"));
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), QStringLiteral("Paste with Ctrl+V yourself"));
        QVERIFY(!view.findChild<QPushButton *>(QStringLiteral("requestAccess"))->isVisible());
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("permissionExplanation"))->text(),
                 QStringLiteral("copied only"));
    }

    // Where a desktop binds the key itself, the form says so and shows the
    // configuration line for the recorded shortcut, following every change.
    void shortcutNoteFollowsTheRecordedShortcut()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsView view(login, permission);
        view.show();
        QVERIFY(!view.findChild<QLabel *>(QStringLiteral("shortcutNote"))->isVisible());
        view.setShortcutNote(QStringLiteral("add this line"),
                             [](const KeyboardShortcuts::Shortcut &shortcut) {
                                 return QStringLiteral("bind %1/%2")
                                     .arg(shortcut.carbonKeyCode())
                                     .arg(shortcut.carbonModifiers());
                             });
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("shortcutNote"))->isVisible());
        QCOMPARE(view.shortcutNote(), QStringLiteral("add this line"));
        QCOMPARE(view.shortcutConfigLine(), QStringLiteral("bind 9/4608")); // the default, Shift+Super+V
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(40, 0x0100),
                                       KeyboardShortcuts::Name::togglePanel());
        QCOMPARE(view.shortcutConfigLine(), QStringLiteral("bind 40/256"));
        KeyboardShortcuts::setShortcut(std::nullopt, KeyboardShortcuts::Name::togglePanel());
        QVERIFY(!view.findChild<QLabel *>(QStringLiteral("shortcutConfigLine"))->isVisible());
        QVERIFY(view.height() >= 350);
    }

    void requestAccessWhenAlreadyGranted()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsView view(login, permission);
        view.show();
        auto *request = view.findChild<QPushButton *>(QStringLiteral("requestAccess"));
        QVERIFY(request->isVisible());
        permission.granted = true;
        request->click();
        QCOMPARE(permission.requests, 1);
        QVERIFY(view.hasPastePermission());
        QVERIFY(view.findChild<QLabel *>(QStringLiteral("granted"))->isVisible());
    }

    void refreshStopsWhenHidden()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsView view(login, permission);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(permission.checks >= 2, 3000);
        view.hide();
        const int checks = permission.checks;
        // Nothing to wait for but the absence of the next tick.
        QTest::qWait(1500);
        QCOMPARE(permission.checks, checks);
    }

    void oneWindowShownAfterADelay()
    {
        FakeLoginItem login;
        FakePastePermission permission;
        SettingsWindowManager manager(login, permission);
        QVERIFY(!manager.settingsWindow());
        manager.showSettings();
        QWidget *window = manager.settingsWindow();
        QVERIFY(window);
        QVERIFY(!window->isVisible());
        manager.showSettings();
        QCOMPARE(manager.settingsWindow(), window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 3000);

        QCOMPARE(window->windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(window->size(), QSize(450, 350));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

        // Closing keeps the window; the next call shows the same one.
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        manager.showSettings();
        QCOMPARE(manager.settingsWindow(), window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 3000);
    }

private:
    QTemporaryDir m_configHome;
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
