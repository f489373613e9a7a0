#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/RecorderField.h"
#include "KeyboardShortcuts/RecorderNotifier.h"
#include "KeyboardShortcuts/ResourceBundle.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"
#include "KeyboardShortcuts/x11/X11ModifierMasks.h"
#include "KeyboardShortcuts/x11/X11ShortcutServices.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "settings/x11/XTestPastePermission.h"
#include "settings/xdg/XdgAutostartLoginItem.h"
#include "support/GrabKeyHelper.h"
#include "support/MessageBoxAnswer.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

constexpr int carbonK = 40;
constexpr int carbonJ = 38;
const QString shortcutKey = u"KeyboardShortcuts_togglePanel"_qs;

// Whether no client holds an active grab of the keyboard: another client can
// take it (and gives it back at once).
bool keyboardIsFree()
{
    XcbConnection connection;
    const auto cookie = xcb_grab_keyboard(connection.get(), 0, connection.rootWindow(), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const XcbReply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(connection.get(), cookie, nullptr));
    if (!reply || reply->status != XCB_GRAB_STATUS_SUCCESS)
        return false;
    xcb_ungrab_keyboard(connection.get(), XCB_CURRENT_TIME);
    xcb_flush(connection.get());
    return true;
}

// The check box takes clicks on its box and its text only.
bool clickCheckBox(const QCheckBox *box)
{
    return xdotoolClick(box->mapToGlobal(QPoint(8, box->height() / 2)));
}

} // namespace

// The settings window on a real X server, driven like a user would: xdotool
// clicks and key presses, real global grabs, the real settings file and
// autostart folder (under a temporary XDG_CONFIG_HOME).
class TestSettingsWindowX11 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_configHome.isValid());
        qputenv("XDG_CONFIG_HOME", m_configHome.path().toUtf8());
        QCOMPARE(XdgAutostartLoginItem::defaultConfigHome(), m_configHome.path());

        auto backend = X11HotKeyBackend::create();
        QVERIFY(backend);
        resetState(std::move(backend));
        setShortcutServices(x11ShortcutServices());
        // The panel is not part of this test: the handler counts the presses.
        onKeyDown(Name::togglePanel(), [this] { ++m_toggles; });

        m_login = std::make_unique<XdgAutostartLoginItem>(XdgAutostartLoginItem::defaultConfigHome(),
                                                          u"/usr/bin/halvex"_qs);
        m_manager = std::make_unique<SettingsWindowManager>(*m_login, m_permission);
        m_activity = std::make_unique<QSignalSpy>(&recorderNotifier(),
                                                  &RecorderNotifier::recorderActiveStatusDidChange);
        m_manager->showSettings();
        QWidget *window = m_manager->settingsWindow();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 5000);
        m_field = m_manager->settingsView()->recorder()->field();
        m_toggle = window->findChild<QCheckBox *>(u"openAtLogin"_qs);
        QVERIFY(m_field && m_toggle);
        // The session's server is started with XTEST.
        QVERIFY(m_manager->settingsView()->hasPastePermission());
    }

    void cleanupTestCase()
    {
        m_manager.reset();
        resetState();
        resetShortcutServices();
    }

    // The window manager is told the window cannot be resized, minimised or
    // maximised.
    void windowHints()
    {
        const QString id = QString::number(m_manager->settingsWindow()->winId());
        const ToolResult hints = runTool(u"xprop"_qs, {u"-id"_qs, id});
        QVERIFY(hints.ok());
        const QString text = QString::fromUtf8(hints.standardOutput);
        // Our request: the Motif functions leave out minimise (0x8) and
        // maximise (0x10).
        const QRegularExpression motif(
            u"_MOTIF_WM_HINTS\\(_MOTIF_WM_HINTS\\) = (0x[0-9a-f]+), (0x[0-9a-f]+)"_qs);
        const QRegularExpressionMatch m = motif.match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text));
        QVERIFY(m.captured(1).toUInt(nullptr, 16) & 0x1);
        QCOMPARE(m.captured(2).toUInt(nullptr, 16) & 0x18, 0u);
        // What the window manager made of it (and of the fixed size).
        const QString actions = text.section(u"_NET_WM_ALLOWED_ACTIONS(ATOM) = "_qs, 1).section(u'\n', 0, 0);
        QVERIFY2(actions.contains(u"_NET_WM_ACTION_CLOSE"_qs), qPrintable(actions));
        QVERIFY2(!actions.contains(u"_NET_WM_ACTION_RESIZE"_qs), qPrintable(actions));
        QVERIFY2(!actions.contains(u"_NET_WM_ACTION_MAXIMIZE"_qs), qPrintable(actions));
    }

    void defaultShortcutFires()
    {
        QCOMPARE(getShortcut(Name::togglePanel()), std::optional(Name::togglePanelDefault()));
        QVERIFY(xdotoolKeys({u"shift+super+v"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, 1, 5000);
        // The fresh window did not start recording meanwhile.
        QVERIFY(!m_field->isRecording());
        QVERIFY(!isPaused());
        QVERIFY(m_activity->isEmpty());
    }

    void recordNewShortcut()
    {
        QVERIFY(xdotoolClick(m_field->mapToGlobal(m_field->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(m_field->isRecording(), 5000);
        QVERIFY(isPaused());
        QVERIFY(xdotoolKeys({u"ctrl+alt+k"_qs}));
        const Shortcut recorded(carbonK, 0x100 | 0x800);
        QTRY_COMPARE_WITH_TIMEOUT(getShortcut(Name::togglePanel()), std::optional(recorded), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_field->isRecording(), 5000);
        QVERIFY(!isPaused());
        QVERIFY(!m_field->text().isEmpty());
        QCOMPARE(m_toggles, 1);

        // The settings file holds the shortcut's JSON text.
        QTRY_VERIFY_WITH_TIMEOUT(storedValue().contains(u"carbonKeyCode"_qs), 5000);
        const QJsonObject json = QJsonDocument::fromJson(storedValue().toUtf8()).object();
        QCOMPARE(json.value(u"carbonKeyCode"_qs).toInt(-1), carbonK);
        QCOMPARE(json.value(u"carbonModifiers"_qs).toInt(-1), 0x900);

        // The old combination no longer fires, the new one does. X delivers
        // in order: once the new press has run, the old one has been handled.
        QVERIFY(xdotoolKeys({u"shift+super+v"_qs}));
        QVERIFY(xdotoolKeys({u"ctrl+alt+k"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, 2, 5000);
        QTest::qWait(200);
        QCOMPARE(m_toggles, 2);
    }

    void deleteClears()
    {
        QVERIFY(xdotoolClick(m_field->mapToGlobal(m_field->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(m_field->isRecording(), 5000);
        QVERIFY(xdotoolKeys({u"Delete"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(getShortcut(Name::togglePanel()), std::nullopt, 5000);
        QVERIFY(m_field->text().isEmpty());
        // togglePanel has a default: the Boolean false marker keeps it away.
        QTRY_COMPARE_WITH_TIMEOUT(storedValue(), u"false"_qs, 5000);
        QVERIFY(m_field->isRecording());
        QVERIFY(xdotoolKeys({u"Escape"_qs}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_field->isRecording(), 5000);
        QVERIFY(!isPaused());
        QCOMPARE(getShortcut(Name::togglePanel()), std::nullopt);
    }

    // Another application holds Ctrl+Alt+J as a global hotkey. While the
    // recorder records, the keyboard is its own, so the combination reaches
    // it, and the alert says the system uses it. OK stores nothing; once
    // recording ends, the keyboard is free again (every other way recording
    // ends releases the same grab: tst_recorderfield).
    void combinationHeldElsewhereShowsTheAlert()
    {
        XcbConnection connection;
        const auto masks = X11ModifierMasks::read(connection.get());
        auto holder = startGrabKeyHelper(
            {u"%1:%2"_qs.arg(*xKeyCodeFromCarbon(carbonJ)).arg(XCB_MOD_MASK_CONTROL | masks.alt)});
        QVERIFY(holder);
        const std::optional<Shortcut> stored = getShortcut(Name::togglePanel());
        QVERIFY(keyboardIsFree());

        QVERIFY(xdotoolClick(m_field->mapToGlobal(m_field->rect().center())));
        QTRY_VERIFY_WITH_TIMEOUT(m_field->isRecording(), 5000);
        QVERIFY(!keyboardIsFree());
        QString message;
        QStringList buttons;
        bool freeDuringAlert = false;
        answerNextMessageBox(localized("ok"), [&](QMessageBox *box) {
            message = box->text();
            for (QAbstractButton *button : box->buttons())
                buttons << button->text().remove(u'&');
            freeDuringAlert = keyboardIsFree();
        });
        QVERIFY(xdotoolKeys({u"ctrl+alt+j"_qs}));
        QTRY_COMPARE_WITH_TIMEOUT(message, localized("keyboard_shortcut_used_by_system"), 10000);
        QCOMPARE(buttons, (QStringList {localized("ok"), localized("force_use_shortcut")}));
        QVERIFY(freeDuringAlert);
        // Recording again, with the keyboard; nothing was stored.
        QTRY_VERIFY_WITH_TIMEOUT(m_field->isRecording(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!keyboardIsFree(), 5000);
        QCOMPARE(getShortcut(Name::togglePanel()), stored);

        QVERIFY(xdotoolKeys({u"Escape"_qs}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_field->isRecording(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(keyboardIsFree(), 5000);
        QCOMPARE(getShortcut(Name::togglePanel()), stored);
        QVERIFY(!isPaused());
    }

    void openAtLoginTogglesTheAutostartEntry()
    {
        const QString entry = m_login->entryPath();
        QVERIFY(!QFile::exists(entry));
        QVERIFY(clickCheckBox(m_toggle));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 5000);
        QVERIFY(m_toggle->isChecked());
        QVERIFY(m_login->isEnabled());
        QVERIFY(clickCheckBox(m_toggle));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(entry), 5000);
        QVERIFY(!m_toggle->isChecked());
    }

private:
    // The value of togglePanel's entry as the settings file holds it.
    QString storedValue() const
    {
        const QString file = QDir(m_configHome.path()).filePath(u"Halvex/Halvex.conf"_qs);
        return QSettings(file, QSettings::IniFormat).value(shortcutKey).toString();
    }

    QTemporaryDir m_configHome;
    std::unique_ptr<XdgAutostartLoginItem> m_login;
    XTestPastePermission m_permission;
    std::unique_ptr<SettingsWindowManager> m_manager;
    std::unique_ptr<QSignalSpy> m_activity;
    RecorderField *m_field = nullptr;
    QCheckBox *m_toggle = nullptr;
    int m_toggles = 0;
};

QTEST_MAIN(TestSettingsWindowX11)
#include "tst_settingswindow_x11.moc"
