#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakePastePermission.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "support/PrivateSettings.h"
#include "support/StdoutCapture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestSettingsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        PrivateSettings::startFresh();
        m_login = std::make_unique<FakeLoginItem>();
        m_permission = std::make_unique<FakePastePermission>();
    }

    void cleanup() { m_view.reset(); }

    // Coming on screen, the form takes the login item's status; a change
    // made that way reaches the login item like a click would.
    void showTakesTheLoginItemsStatus()
    {
        PrivateSettings::store().setValue(u"openAtLogin"_qs, true);
        SettingsView &view = makeView(false);
        auto *toggle = view.findChild<QCheckBox *>(u"openAtLogin"_qs);
        QVERIFY(toggle->isChecked());
        view.show();
        QVERIFY(!toggle->isChecked());
        QCOMPARE(m_login->calls, QStringList {u"unregister"_qs}); // off always unregisters
        QCOMPARE(PrivateSettings::store().value(u"openAtLogin"_qs).toBool(), false);

        view.hide();
        m_login->enabled = true;
        view.show();
        QVERIFY(toggle->isChecked());
        QCOMPARE(m_login->calls, QStringList {u"unregister"_qs}); // on, already enabled: nothing to do
        QCOMPARE(PrivateSettings::store().value(u"openAtLogin"_qs).toBool(), true);
    }

    // A failure to register is printed once and keeps the user's choice,
    // through the per-second refreshes.
    void toggleFailureReportedOnce()
    {
        SettingsView &view = makeView();
        auto *toggle = view.findChild<QCheckBox *>(u"openAtLogin"_qs);
        m_login->failure = u"no room"_qs;
        const int checks = m_permission->checks;
        const QByteArray printed = StdoutCapture::during([&] {
            toggle->click();
            QVERIFY(QTest::qWaitFor([&] { return m_permission->checks >= checks + 2; }, 10000));
        });
        QCOMPARE(printed, QByteArray("Failed to update launch at login: no room\n"));
        QVERIFY(toggle->isChecked());
        QCOMPARE(PrivateSettings::store().value(u"openAtLogin"_qs).toBool(), true);
        QCOMPARE(m_login->calls, QStringList {u"register"_qs});
    }

    // A successful request shows at once; a change made elsewhere within
    // about a second.
    void permissionRow()
    {
        m_permission->explanation = u"no XTEST here"_qs;
        SettingsView &view = makeView();
        auto *granted = view.findChild<QLabel *>(u"granted"_qs);
        auto *request = view.findChild<QPushButton *>(u"requestAccess"_qs);
        auto *explanation = view.findChild<QLabel *>(u"permissionExplanation"_qs);
        auto *label = view.findChild<QLabel *>(u"permissionLabel"_qs);
        QVERIFY(!granted->isVisible() && request->isVisible() && explanation->isVisible());
        QCOMPARE(explanation->text(), u"no XTEST here"_qs);
        const QColor missing = label->palette().color(label->foregroundRole());

        m_permission->granted = true;
        request->click();
        QCOMPARE(m_permission->requests, 1);
        QVERIFY(view.hasPastePermission());
        QVERIFY(granted->isVisible() && !request->isVisible() && !explanation->isVisible());
        // Orange while missing, green once granted, in the role it is drawn with.
        const QColor grantedColour = label->palette().color(label->foregroundRole());
        QVERIFY(missing.red() > missing.green() && missing.green() > missing.blue());
        QVERIFY(grantedColour.green() > grantedColour.red() && grantedColour.green() > grantedColour.blue());

        m_permission->granted = false;
        QVERIFY(QTest::qWaitFor([&] { return !view.hasPastePermission(); }, 5000));
        QVERIFY(request->isVisible());

        // Hidden, the form stops asking.
        view.hide();
        const int checks = m_permission->checks;
        QTest::qWait(1500); // nothing to wait for but the absence of the next tick
        QCOMPARE(m_permission->checks, checks);
    }

    // No way to send keystrokes at all (a Wayland desktop without them):
    // nothing to ask for; the row says what to do instead.
    void permissionRowWithoutKeystrokes()
    {
        m_permission->supported = false;
        SettingsView &view = makeView();
        auto *status = view.findChild<QLabel *>(u"granted"_qs);
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), u"Paste with Ctrl+V yourself"_qs);
        QVERIFY(!view.findChild<QPushButton *>(u"requestAccess"_qs)->isVisible());
    }

    // An unreadable stored shortcut is pointed out until a new one is
    // stored. Where a desktop binds the key itself, the form shows the
    // configuration line for the recorded shortcut, following every change.
    void shortcutProblemAndNote()
    {
        const KeyboardShortcuts::Name name = KeyboardShortcuts::Name::togglePanel();
        PrivateSettings::store().setValue(KeyboardShortcuts::settingsKey(name), u"garbage"_qs);
        SettingsView &view = makeView(false);
        QVERIFY(view.showsShortcutProblem());
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(9, 0x1200), name); // Shift+Super+V
        QVERIFY(!view.showsShortcutProblem());

        view.show();
        QVERIFY(!view.findChild<QLabel *>(u"shortcutNote"_qs)->isVisible());
        view.setShortcutNote(u"add this line"_qs, [](const KeyboardShortcuts::Shortcut &shortcut) {
            return u"bind %1/%2"_qs.arg(shortcut.carbonKeyCode()).arg(shortcut.carbonModifiers());
        });
        QVERIFY(view.findChild<QLabel *>(u"shortcutNote"_qs)->isVisible());
        QCOMPARE(view.shortcutNote(), u"add this line"_qs);
        QCOMPARE(view.shortcutConfigLine(), u"bind 9/4608"_qs);
        KeyboardShortcuts::setShortcut(KeyboardShortcuts::Shortcut(40, 0x0100), name);
        QCOMPARE(view.shortcutConfigLine(), u"bind 40/256"_qs);
        KeyboardShortcuts::setShortcut(std::nullopt, name);
        QVERIFY(!view.findChild<QLabel *>(u"shortcutConfigLine"_qs)->isVisible());
        QVERIFY(view.height() >= 350);
    }

    // One window, shown after a delay, kept when closed.
    void oneWindowShownAfterADelay()
    {
        SettingsWindowManager manager(*m_login, *m_permission);
        manager.showSettings();
        QWidget *window = manager.settingsWindow();
        for (int round = 0; round < 2; ++round) {
            QVERIFY(!window->isVisible());
            manager.showSettings();
            QCOMPARE(manager.settingsWindow(), window);
            QVERIFY(QTest::qWaitFor([&] { return window->isVisible(); }, 5000));
            QCOMPARE(window->windowTitle(), u"Settings"_qs);
            QCOMPARE(window->size(), QSize(450, 350));
            QVERIFY(window->close());
        }
    }

private:
    SettingsView &makeView(bool show = true)
    {
        m_view = std::make_unique<SettingsView>(*m_login, *m_permission);
        if (show)
            m_view->show();
        return *m_view;
    }

    PrivateSettings m_settings;
    std::unique_ptr<FakeLoginItem> m_login;
    std::unique_ptr<FakePastePermission> m_permission;
    std::unique_ptr<SettingsView> m_view;
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
