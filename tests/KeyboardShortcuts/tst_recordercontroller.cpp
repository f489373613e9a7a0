#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ModifierFlags.h"
#include "KeyboardShortcuts/RecorderController.h"
#include "KeyboardShortcuts/RecorderNotifier.h"
#include "fakes/FakeRecorderHost.h"
#include "support/PrivateSettings.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace KeyboardShortcuts;
using Kind = RecorderKeyPress::Kind;
using Disposition = RecorderController::Disposition;

namespace {

// What a key press while recording comes to.
enum class Outcome { Beep, End, PassOn, Clear, Store, Refuse, Force };

// What the host's checks answer for the pressed shortcut.
struct Conflicts
{
    QString menuTitle; // empty: no menu item has it
    bool disallowed = false;
    bool takenBySystem = false;
    int alertResponse = 0;
};

} // namespace

Q_DECLARE_METATYPE(RecorderKeyPress)
Q_DECLARE_METATYPE(std::optional<KeyboardShortcuts::Shortcut>)
Q_DECLARE_METATYPE(Conflicts)

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
    void initTestCase() { QVERIFY(m_settings.isValid()); }

    void init()
    {
        PrivateSettings::startFresh();
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
        QTest::addColumn<Conflicts>("conflicts");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<std::optional<Shortcut>>("result"); // what Store and Force store
        QTest::addColumn<QString>("alert");
        const auto rule = [](const char *name, RecorderKeyPress keyPress, Outcome outcome,
                             std::optional<Shortcut> result = std::nullopt, bool stored = true) {
            QTest::newRow(name) << stored << keyPress << Conflicts {} << int(outcome) << result << QString();
        };
        const auto conflict = [](const char *name, RecorderKeyPress keyPress, Conflicts conflicts,
                                 const char *alert, std::optional<Shortcut> forced = std::nullopt) {
            QTest::newRow(name) << true << keyPress << conflicts
                                << int(forced ? Outcome::Force : Outcome::Refuse) << forced
                                << QStringLiteral("alert:") + QLatin1String(alert);
        };

        // Tab, Escape, Delete without modifiers.
        rule("Tab: passes on, ends", press(48, 0, Kind::Tab), Outcome::PassOn);
        rule("Tab with Caps Lock: still Tab", press(48, caps, Kind::Tab), Outcome::PassOn);
        rule("Shift+Tab: chord rule beeps", press(48, shift, Kind::Tab), Outcome::Beep);
        rule("Escape: ends, keeps shortcut", press(53, 0), Outcome::End);
        rule("Delete: clears, keeps recording", press(51, 0, Kind::Delete), Outcome::Clear);
        rule("Delete with nothing shown: nothing", press(51, 0, Kind::Delete), Outcome::Clear, {}, false);
        rule("Delete with the function flag: beeps", press(117, fn, Kind::Delete), Outcome::Beep);

        // The chord rule.
        rule("chord on a key without a code: beeps", press(std::nullopt, cmd), Outcome::Beep);

        // Accepted.
        rule("Shift+F5 with the function flag", press(96, shift | fn, Kind::FunctionKey), Outcome::Store,
             Shortcut(96, shift));
        rule("Control+Option+K", press(40, ctrl | opt), Outcome::Store, Shortcut(40, ctrl | opt));
        rule("Caps Lock is not kept", press(40, cmd | caps), Outcome::Store, Shortcut(40, cmd));
        rule("recording the same shortcut again", press(9, cmd | shift), Outcome::Store, initial);

        // Conflicts: the alert's response only counts for the system alert.
        const char *menuAlert = "keyboard_shortcut_used_by_menu_item:Quit";
        const char *systemAlert = "keyboard_shortcut_used_by_system";
        conflict("menu item: alert, nothing stored, recording again", press(12, cmd), {u"Quit"_qs},
                 menuAlert);
        conflict("menu alert wins over the system alert", press(12, cmd), {u"Quit"_qs, false, true, 1},
                 menuAlert);
        conflict("disallowed: alert, nothing stored", press(0, opt), {{}, true, true, 1},
                 "keyboard_shortcut_disallowed");
        conflict("system, ok: nothing stored", press(40, ctrl), {{}, false, true, 0}, systemAlert);
        conflict("system, force_use_shortcut: stored", press(40, ctrl), {{}, false, true, 1}, systemAlert,
                 Shortcut(40, ctrl));
    }

    void keyRules()
    {
        QFETCH(bool, shortcutStored);
        QFETCH(RecorderKeyPress, keyPress);
        QFETCH(Conflicts, conflicts);
        QFETCH(int, outcome);
        QFETCH(std::optional<Shortcut>, result);
        QFETCH(QString, alert);

        if (shortcutStored)
            setShortcut(initial, m_name);
        m_host->menuTitle = conflicts.menuTitle.isEmpty() ? std::nullopt : std::optional(conflicts.menuTitle);
        m_host->disallowed = conflicts.disallowed;
        m_host->takenBySystem = conflicts.takenBySystem;
        m_host->alertResponse = conflicts.alertResponse;
        QVERIFY(m_host->click());
        QVERIFY(isPaused());

        // What each outcome leaves: the host's log, the store, the change
        // callback's calls and the recorder's activity notifications.
        const QString blur = QStringLiteral("blur"), focus = QStringLiteral("focus");
        QStringList log;
        std::optional<Shortcut> storedAfter = shortcutStored ? std::optional(initial) : std::nullopt;
        QList<std::optional<Shortcut>> changes;
        QList<bool> activity;
        switch (Outcome(outcome)) {
        case Outcome::Beep:
            log = {QStringLiteral("beep")};
            break;
        case Outcome::End:
        case Outcome::PassOn:
            log = {blur};
            activity = {false};
            break;
        case Outcome::Clear:
            if (shortcutStored) {
                log = {focus};
                changes = {std::nullopt};
            }
            storedAfter = std::nullopt;
            break;
        case Outcome::Store:
            log = {blur};
            storedAfter = result;
            changes = {result};
            activity = {false};
            break;
        case Outcome::Refuse:
            log = {blur, alert, focus};
            activity = {false, true};
            break;
        case Outcome::Force:
            log = {blur, alert, focus, blur};
            storedAfter = result;
            changes = {result};
            activity = {false, true, false};
            break;
        }

        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        QCOMPARE(m_controller->handleKeyPress(keyPress),
                 Outcome(outcome) == Outcome::PassOn ? Disposition::Pass : Disposition::Swallow);
        QCOMPARE(m_host->log, log);
        QCOMPARE(getShortcut(m_name), storedAfter);
        QCOMPARE(m_changes, changes);
        QCOMPARE(::activity(spy), activity);
        const bool recording = activity.isEmpty() || activity.last();
        QCOMPARE(m_controller->isRecording(), recording);
        QCOMPARE(isPaused(), recording);
        QCOMPARE(m_controller->isClearButtonVisible(), bool(storedAfter));
        if (alert.endsWith(u"used_by_system"))
            QCOMPARE(m_host->alerts.value(0).informativeKey,
                     QStringLiteral("keyboard_shortcuts_can_be_changed"));
    }

    // A stored value that is no shortcut reads as none and stays; the control
    // says it could not be read until a new shortcut is recorded.
    void unreadableStoredValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<std::optional<Shortcut>>("read");
        const std::optional<Shortcut> none;
        QTest::newRow("a number") << QVariant(42) << true << none;
        QTest::newRow("huge text") << QVariant(QString(5 * 1024 * 1024, u'x')) << true << none;
        QTest::newRow("removed (Boolean false)") << QVariant(false) << false << none;
        QTest::newRow("a shortcut, members in any order")
            << QVariant(u"{\"carbonModifiers\":768,\"carbonKeyCode\":9}"_qs) << false
            << std::optional(initial);
        QTest::newRow("nothing") << QVariant() << false << none;
    }

    void unreadableStoredValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, unreadable);
        QFETCH(std::optional<Shortcut>, read);
        const QString key = settingsKey(m_name);
        if (stored.isValid())
            PrivateSettings::store().setValue(key, stored);
        QCOMPARE(getShortcut(m_name), read);
        QCOMPARE(hasUnreadableShortcut(m_name), unreadable);
        RecorderController controller(m_name, *m_host);
        QCOMPARE(controller.isStoredValueUnreadable(), unreadable);
        QCOMPARE(controller.placeholderKey(),
                 unreadable ? QStringLiteral("unreadable_shortcut") : QStringLiteral("record_shortcut"));
        m_host->controller = &controller;
        QVERIFY(m_host->click());
        QCOMPARE(controller.placeholderKey(), QStringLiteral("press_shortcut"));
        controller.endRecording();
        QCOMPARE(PrivateSettings::store().value(key).isValid(), stored.isValid());

        // Recording a shortcut replaces whatever was there.
        QVERIFY(m_host->click());
        controller.handleKeyPress(press(40, ctrl));
        QCOMPARE(getShortcut(m_name), Shortcut(40, ctrl));
        QVERIFY(!controller.isStoredValueUnreadable());
        QVERIFY(!hasUnreadableShortcut(m_name));
        QCOMPARE(controller.placeholderKey(), QStringLiteral("record_shortcut"));
        m_host->controller = m_controller.get();
    }

    // A release of either mouse button: within 3 points of the control it is
    // swallowed, beyond that recording ends and the click goes on.
    void mouseRelease_data()
    {
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<bool>("ends");
        QTest::newRow("2 left") << QPointF(-2, 12) << false;
        QTest::newRow("4 right") << QPointF(134, 12) << true;
        QTest::newRow("4 below") << QPointF(65, 28) << true;
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
        QCOMPARE(::activity(spy), ends ? QList<bool> {false} : QList<bool> {});
    }

    void startAndEnd()
    {
        setShortcut(initial, m_name);
        QSignalSpy spy(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        // Without a window there is no recording.
        m_host->window = false;
        QVERIFY(!m_controller->beginRecording());
        QVERIFY(!isPaused());
        QVERIFY(spy.isEmpty());
        m_host->window = true;
        QVERIFY(m_controller->isCaretVisible());
        QVERIFY(m_host->click());
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

    void followsStoreChanges()
    {
        RecorderController second(m_name, *m_host);

        setShortcut(Shortcut(40, ctrl | opt), m_name);
        QCOMPARE(m_controller->text(), m_host->displayText(Shortcut(40, ctrl | opt)));
        QCOMPARE(second.text(), m_controller->text());
        // Nothing the user did: no change callback.
        QVERIFY(m_changes.isEmpty());

        setShortcut(std::nullopt, m_name);
        QVERIFY(m_controller->text().isEmpty());
        QVERIFY(second.text().isEmpty());
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
    PrivateSettings m_settings;
    Name m_name;
    std::unique_ptr<FakeRecorderHost> m_host;
    std::unique_ptr<RecorderController> m_controller;
    QList<std::optional<Shortcut>> m_changes;
};

QTEST_GUILESS_MAIN(TestRecorderController)
#include "tst_recordercontroller.moc"
