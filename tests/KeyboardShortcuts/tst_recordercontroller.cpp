#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/RecorderController.h"
#include "KeyboardShortcuts/RecorderNotifier.h"
#include "fakes/FakeRecorderHost.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace KeyboardShortcuts;
using Kind = RecorderKeyPress::Kind;
using Disposition = RecorderController::Disposition;

Q_DECLARE_METATYPE(RecorderKeyPress)
Q_DECLARE_METATYPE(std::optional<KeyboardShortcuts::Shortcut>)

namespace {

constexpr int cmd = CarbonModifier::command;
constexpr int shift = CarbonModifier::shift;
constexpr int opt = CarbonModifier::option;
constexpr int ctrl = CarbonModifier::control;
constexpr int fn = CarbonModifier::function;
constexpr int caps = CarbonModifier::alphaLock;

// What the name holds before each row: Command+Shift+V.
const Shortcut initial(9, cmd | shift);

RecorderKeyPress press(std::optional<int> code, int modifiers, Kind kind = Kind::Other)
{
    return RecorderKeyPress {code, modifiers, kind};
}

QList<bool> activity(const QSignalSpy &spy)
{
    QList<bool> result;
    for (const QList<QVariant> &arguments : spy)
        result << arguments.at(0).toBool();
    return result;
}

} // namespace

class TestRecorderController : public QObject
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
        QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex")).clear();
        resetState();
        m_name = Name(QStringLiteral("recorderTest"));
        m_host = std::make_unique<FakeRecorderHost>();
        m_changes.clear();
        m_controller = std::make_unique<RecorderController>(
            m_name, *m_host, [this](const std::optional<Shortcut> &s) { m_changes << s; });
        m_host->controller = m_controller.get();
    }

    void cleanup()
    {
        m_controller.reset();
        m_host.reset();
    }

    // Each key press while recording, through the rules in their order.
    void keyRules_data()
    {
        QTest::addColumn<bool>("shortcutStored");
        QTest::addColumn<RecorderKeyPress>("keyPress");
        QTest::addColumn<QString>("menuTitle");
        QTest::addColumn<bool>("disallowed");
        QTest::addColumn<bool>("takenBySystem");
        QTest::addColumn<int>("alertResponse");
        QTest::addColumn<int>("disposition");
        QTest::addColumn<QStringList>("hostLog");
        QTest::addColumn<std::optional<Shortcut>>("storedAfter");
        QTest::addColumn<QList<std::optional<Shortcut>>>("changes");
        QTest::addColumn<QList<bool>>("activity");

        const int pass = int(Disposition::Pass);
        const int swallow = int(Disposition::Swallow);
        const QString blur = QStringLiteral("blur");
        const QString focus = QStringLiteral("focus");
        const QString beep = QStringLiteral("beep");
        const std::optional<Shortcut> none;
        const QList<std::optional<Shortcut>> noChanges;
        const QList<bool> stillRecording;
        const QList<bool> ended {false};
        const QList<bool> restarted {false, true};

        // Tab, Escape, Delete without modifiers.
        QTest::newRow("Tab: passes on, ends")
            << true << press(48, 0, Kind::Tab) << QString() << false << false << 0 << pass
            << QStringList {blur} << std::optional(initial) << noChanges << ended;
        QTest::newRow("Tab with Caps Lock: still Tab")
            << true << press(48, caps, Kind::Tab) << QString() << false << false << 0 << pass
            << QStringList {blur} << std::optional(initial) << noChanges << ended;
        QTest::newRow("Shift+Tab: chord rule beeps")
            << true << press(48, shift, Kind::Tab) << QString() << false << false << 0 << swallow
            << QStringList {beep} << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Escape: ends, keeps shortcut")
            << true << press(53, 0) << QString() << false << false << 0 << swallow << QStringList {blur}
            << std::optional(initial) << noChanges << ended;
        QTest::newRow("Shift+Escape: not a cancel, beeps")
            << true << press(53, shift) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Delete: clears, keeps recording")
            << true << press(51, 0, Kind::Delete) << QString() << false << false << 0 << swallow
            << QStringList {focus} << none << QList<std::optional<Shortcut>> {none} << stillRecording;
        QTest::newRow("Forward Delete: clears")
            << true << press(117, 0, Kind::Delete) << QString() << false << false << 0 << swallow
            << QStringList {focus} << none << QList<std::optional<Shortcut>> {none} << stillRecording;
        QTest::newRow("Delete with nothing shown: nothing")
            << false << press(51, 0, Kind::Delete) << QString() << false << false << 0 << swallow
            << QStringList() << none << noChanges << stillRecording;
        QTest::newRow("Delete with the function flag: beeps")
            << true << press(117, fn, Kind::Delete) << QString() << false << false << 0 << swallow
            << QStringList {beep} << std::optional(initial) << noChanges << stillRecording;

        // The chord rule.
        QTest::newRow("K alone: beeps")
            << true << press(40, 0) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Shift+K: beeps")
            << true << press(40, shift) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Space alone: beeps")
            << true << press(49, 0) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Return alone: beeps")
            << true << press(36, 0) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("arrow with the function flag: beeps")
            << true << press(126, fn) << QString() << false << false << 0 << swallow << QStringList {beep}
            << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("chord on a key without a code: beeps")
            << true << press(std::nullopt, cmd) << QString() << false << false << 0 << swallow
            << QStringList {beep} << std::optional(initial) << noChanges << stillRecording;

        // Accepted.
        QTest::newRow("F5 with the function flag: stored without it")
            << true << press(96, fn, Kind::FunctionKey) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(Shortcut(96, 0))
            << QList<std::optional<Shortcut>> {Shortcut(96, 0)} << ended;
        QTest::newRow("Shift+F5 with the function flag")
            << true << press(96, shift | fn, Kind::FunctionKey) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(Shortcut(96, shift))
            << QList<std::optional<Shortcut>> {Shortcut(96, shift)} << ended;
        QTest::newRow("F5 without the flag")
            << true << press(96, 0, Kind::FunctionKey) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(Shortcut(96, 0))
            << QList<std::optional<Shortcut>> {Shortcut(96, 0)} << ended;
        QTest::newRow("F35 alone (no code here): beeps")
            << true << press(std::nullopt, 0, Kind::FunctionKey) << QString() << false << false << 0
            << swallow << QStringList {beep} << std::optional(initial) << noChanges << stillRecording;
        QTest::newRow("Control+Option+K")
            << true << press(40, ctrl | opt) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(Shortcut(40, ctrl | opt))
            << QList<std::optional<Shortcut>> {Shortcut(40, ctrl | opt)} << ended;
        QTest::newRow("Caps Lock is not kept")
            << true << press(40, cmd | caps) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(Shortcut(40, cmd))
            << QList<std::optional<Shortcut>> {Shortcut(40, cmd)} << ended;
        QTest::newRow("recording the same shortcut again")
            << true << press(9, cmd | shift) << QString() << false << false << 0 << swallow
            << QStringList {blur} << std::optional(initial) << QList<std::optional<Shortcut>> {initial}
            << ended;

        // Conflicts.
        const QString menuAlert = QStringLiteral("alert:keyboard_shortcut_used_by_menu_item:Quit");
        const QString disallowedAlert = QStringLiteral("alert:keyboard_shortcut_disallowed");
        const QString systemAlert = QStringLiteral("alert:keyboard_shortcut_used_by_system");
        QTest::newRow("menu item: alert, nothing stored, recording again")
            << true << press(12, cmd) << QStringLiteral("Quit") << false << false << 0 << swallow
            << QStringList {blur, menuAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("menu alert wins over the system alert")
            << true << press(12, cmd) << QStringLiteral("Quit") << false << true << 1 << swallow
            << QStringList {blur, menuAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("menu alert wins over disallowed")
            << true << press(12, cmd) << QStringLiteral("Quit") << true << false << 0 << swallow
            << QStringList {blur, menuAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("disallowed: alert, nothing stored")
            << true << press(0, opt) << QString() << true << true << 1 << swallow
            << QStringList {blur, disallowedAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("system, ok: nothing stored")
            << true << press(40, ctrl) << QString() << false << true << 0 << swallow
            << QStringList {blur, systemAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("system, dismissed: nothing stored")
            << true << press(40, ctrl) << QString() << false << true << -1 << swallow
            << QStringList {blur, systemAlert, focus} << std::optional(initial) << noChanges << restarted;
        QTest::newRow("system, force_use_shortcut: stored")
            << true << press(40, ctrl) << QString() << false << true << 1 << swallow
            << QStringList {blur, systemAlert, focus, blur} << std::optional(Shortcut(40, ctrl))
            << QList<std::optional<Shortcut>> {Shortcut(40, ctrl)} << QList<bool> {false, true, false};
    }

    void keyRules()
    {
        QFETCH(bool, shortcutStored);
        QFETCH(RecorderKeyPress, keyPress);
        QFETCH(QString, menuTitle);
        QFETCH(bool, disallowed);
        QFETCH(bool, takenBySystem);
        QFETCH(int, alertResponse);
        QFETCH(int, disposition);
        QFETCH(QStringList, hostLog);
        QFETCH(std::optional<Shortcut>, storedAfter);
        QFETCH(QList<std::optional<Shortcut>>, changes);
        QFETCH(QList<bool>, activity);

        if (shortcutStored)
            setShortcut(initial, m_name);
        m_host->menuTitle = menuTitle.isEmpty() ? std::nullopt : std::optional(menuTitle);
        m_host->disallowed = disallowed;
        m_host->takenBySystem = takenBySystem;
        m_host->alertResponse = alertResponse;
        QVERIFY(m_host->click());
        QVERIFY(isPaused());

        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        QCOMPARE(int(m_controller->handleKeyPress(keyPress)), disposition);
        QCOMPARE(m_host->log, hostLog);
        QCOMPARE(getShortcut(m_name), storedAfter);
        QCOMPARE(m_changes, changes);
        QCOMPARE(::activity(spy), activity);
        const bool recording = activity.isEmpty() || activity.last();
        QCOMPARE(m_controller->isRecording(), recording);
        QCOMPARE(isPaused(), recording);
        QCOMPARE(m_controller->text(), storedAfter ? m_host->displayText(*storedAfter) : QString());
        QCOMPARE(m_controller->isClearButtonVisible(), bool(storedAfter));
        QCOMPARE(m_controller->placeholderKey(),
                 recording ? QStringLiteral("press_shortcut") : QStringLiteral("record_shortcut"));
    }

    // A stored value that is no shortcut reads as none and stays; the control
    // says it could not be read until a new shortcut is recorded.
    void unreadableStoredValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("text that is not JSON") << QVariant(QStringLiteral("garbage")) << true;
        QTest::newRow("JSON of the wrong shape")
            << QVariant(QStringLiteral("{\"carbonKeyCode\":\"9\"}")) << true;
        QTest::newRow("a list") << QVariant(QStringList {QStringLiteral("a"), QStringLiteral("b")}) << true;
        QTest::newRow("a number") << QVariant(42) << true;
        QTest::newRow("huge text") << QVariant(QString(5 * 1024 * 1024, u'x')) << true;
        QTest::newRow("removed (Boolean false)") << QVariant(false) << false;
        QTest::newRow("a shortcut") << QVariant(QString::fromUtf8(initial.toJson())) << false;
        QTest::newRow("nothing") << QVariant() << false;
    }

    void unreadableStoredValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, unreadable);
        const QString key = settingsKey(m_name);
        if (stored.isValid())
            QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex")).setValue(key, stored);
        QCOMPARE(hasUnreadableShortcut(m_name), unreadable);
        RecorderController controller(m_name, *m_host);
        QCOMPARE(controller.isStoredValueUnreadable(), unreadable);
        QCOMPARE(controller.placeholderKey(),
                 unreadable ? QStringLiteral("unreadable_shortcut") : QStringLiteral("record_shortcut"));
        m_host->controller = &controller;
        QVERIFY(m_host->click());
        QCOMPARE(controller.placeholderKey(), QStringLiteral("press_shortcut"));
        controller.endRecording();
        QCOMPARE(QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex")).value(key).isValid(),
                 stored.isValid());

        // Recording a shortcut replaces whatever was there.
        QVERIFY(m_host->click());
        controller.handleKeyPress(press(40, ctrl));
        QCOMPARE(getShortcut(m_name), Shortcut(40, ctrl));
        QVERIFY(!controller.isStoredValueUnreadable());
        QVERIFY(!hasUnreadableShortcut(m_name));
        QCOMPARE(controller.placeholderKey(), QStringLiteral("record_shortcut"));
        m_host->controller = m_controller.get();
    }

    void systemAlertTexts()
    {
        m_host->takenBySystem = true;
        m_host->click();
        m_controller->handleKeyPress(press(40, ctrl));
        QCOMPARE(m_host->alerts.size(), 1);
        const RecorderAlert &alert = m_host->alerts.first();
        QCOMPARE(alert.informativeKey, QStringLiteral("keyboard_shortcuts_can_be_changed"));
        QCOMPARE(alert.buttonKeys,
                 (QStringList {QStringLiteral("ok"), QStringLiteral("force_use_shortcut")}));
    }

    // A release of either mouse button: within 3 points of the control it is
    // swallowed, beyond that recording ends and the click goes on.
    void mouseRelease_data()
    {
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<bool>("ends");
        QTest::newRow("inside") << QPointF(65, 12) << false;
        QTest::newRow("2 left") << QPointF(-2, 12) << false;
        QTest::newRow("4 left") << QPointF(-4, 12) << true;
        QTest::newRow("2 right") << QPointF(132, 12) << false;
        QTest::newRow("4 right") << QPointF(134, 12) << true;
        QTest::newRow("2 above") << QPointF(65, -2) << false;
        QTest::newRow("4 below") << QPointF(65, 28) << true;
        QTest::newRow("far away") << QPointF(400, 300) << true;
    }

    void mouseRelease()
    {
        QFETCH(QPointF, position);
        QFETCH(bool, ends);
        m_host->click();
        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        const Disposition d = m_controller->handleMouseRelease(position, QRectF(0, 0, 130, 24));
        QCOMPARE(d, ends ? Disposition::Pass : Disposition::Swallow);
        QCOMPARE(m_controller->isRecording(), !ends);
        QCOMPARE(isPaused(), !ends);
        QCOMPARE(::activity(spy), ends ? QList<bool> {false} : QList<bool> {});
    }

    void startAndEnd()
    {
        setShortcut(initial, m_name);
        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        QCOMPARE(m_controller->placeholderKey(), QStringLiteral("record_shortcut"));
        QVERIFY(m_controller->isCaretVisible());
        QVERIFY(m_host->click());
        QCOMPARE(m_controller->placeholderKey(), QStringLiteral("press_shortcut"));
        QVERIFY(!m_controller->isCaretVisible());
        QCOMPARE(m_controller->text(), m_host->displayText(initial));
        QVERIFY(isPaused());
        QCOMPARE(::activity(spy), QList<bool> {true});

        // Whatever ends the editing clears the pause and says so, recording
        // or not.
        m_controller->endRecording();
        QVERIFY(!isPaused());
        QVERIFY(m_controller->isCaretVisible());
        m_controller->endRecording();
        QCOMPARE(::activity(spy), (QList<bool> {true, false, false}));
    }

    void noWindowNoRecording()
    {
        m_host->window = false;
        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        QVERIFY(!m_controller->beginRecording());
        QVERIFY(!isPaused());
        QVERIFY(spy.isEmpty());
        QCOMPARE(m_controller->placeholderKey(), QStringLiteral("record_shortcut"));
    }

    void clearButton()
    {
        QVERIFY(m_controller->text().isEmpty());
        QVERIFY(!m_controller->isClearButtonVisible());
        setShortcut(initial, m_name);
        QVERIFY(m_controller->isClearButtonVisible());
        m_controller->clear();
        QVERIFY(m_controller->text().isEmpty());
        QVERIFY(!m_controller->isClearButtonVisible());
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QCOMPARE(m_changes, QList<std::optional<Shortcut>> {std::nullopt});
        // A clear from the button keeps (or puts) the control in recording.
        QVERIFY(m_controller->isRecording());
    }

    void followsStoreChanges()
    {
        RecorderController second(m_name, *m_host);
        FakeRecorderHost otherHost;
        RecorderController other(Name(QStringLiteral("otherName")), otherHost);
        QSignalSpy otherChanged(&other, &RecorderController::displayChanged);

        setShortcut(Shortcut(40, ctrl | opt), m_name);
        QCOMPARE(m_controller->text(), m_host->displayText(Shortcut(40, ctrl | opt)));
        QCOMPARE(second.text(), m_controller->text());
        QVERIFY(otherChanged.isEmpty());
        QVERIFY(other.text().isEmpty());
        // Nothing the user did: no change callback.
        QVERIFY(m_changes.isEmpty());

        setShortcut(std::nullopt, m_name);
        QVERIFY(m_controller->text().isEmpty());
        QVERIFY(second.text().isEmpty());
    }

    void renaming()
    {
        const Name other(QStringLiteral("otherName"));
        setShortcut(Shortcut(40, ctrl), other);
        QSignalSpy changed(m_controller.get(), &RecorderController::displayChanged);
        m_controller->setShortcutName(Name(m_name.rawValue()));
        QVERIFY(changed.isEmpty());
        m_controller->setShortcutName(other);
        QCOMPARE(m_controller->text(), m_host->displayText(Shortcut(40, ctrl)));
        // Store changes of the new name now reach it, those of the old do not.
        setShortcut(initial, m_name);
        QCOMPARE(m_controller->text(), m_host->displayText(Shortcut(40, ctrl)));
    }

    void destroyedWhileAlertOpen()
    {
        m_host->takenBySystem = true;
        m_host->alertResponse = 1;
        m_host->click();
        m_host->duringAlert = [this] {
            m_host->controller = nullptr;
            m_controller.reset();
        };
        RecorderController *controller = m_controller.get();
        QCOMPARE(controller->handleKeyPress(press(40, ctrl)), Disposition::Swallow);
        QVERIFY(!m_controller);
        QCOMPARE(getShortcut(m_name), std::nullopt);
    }

private:
    QTemporaryDir m_configHome;
    Name m_name;
    std::unique_ptr<FakeRecorderHost> m_host;
    std::unique_ptr<RecorderController> m_controller;
    QList<std::optional<Shortcut>> m_changes;
};

QTEST_GUILESS_MAIN(TestRecorderController)
#include "tst_recordercontroller.moc"
