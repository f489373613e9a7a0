#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/RecorderField.h"
#include "KeyboardShortcuts/RecorderNotifier.h"
#include "KeyboardShortcuts/ResourceBundle.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "fakes/FakeKeyboardLayout.h"
#include "fakes/FakeNativeKeyCodeMap.h"
#include "fakes/FakeRecorderKeyboardGrab.h"
#include "fakes/FakeSystemShortcutSource.h"
#include "support/MessageBoxAnswer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace KeyboardShortcuts;

namespace {

// X keycodes of a PC keyboard, paired with the Carbon codes of the same keys.
// 37 and 64 (Control_L, Alt_L) are in the map, as on a real keyboard.
constexpr quint32 xK = 45, xQ = 24, xEscape = 9, xTab = 23, xDelete = 119, xF5 = 71;
constexpr int carbonK = 40, carbonQ = 12, carbonEscape = 53, carbonTab = 48, carbonDelete = 117,
              carbonF5 = 96;

// Presses a key as the platform delivers it: with its native scan code.
void press(QWidget *target, int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode)
{
    QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestRecorderField : public QObject
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
        auto keyCodes = std::make_shared<FakeNativeKeyCodeMap>();
        for (auto [x, carbon] : {std::pair {xK, carbonK},
                                 {xQ, carbonQ},
                                 {xEscape, carbonEscape},
                                 {xTab, carbonTab},
                                 {xDelete, carbonDelete},
                                 {xF5, carbonF5},
                                 {37u, 59},
                                 {64u, 58}})
            keyCodes->add(x, carbon);
        m_system = std::make_shared<FakeSystemShortcutSource>();
        m_grab = std::make_shared<FakeRecorderKeyboardGrab>();
        setShortcutServices({std::make_shared<FakeKeyboardLayout>(FakeKeyboardLayout::usLayout()), keyCodes,
                             m_system, m_grab});

        m_name = Name(QStringLiteral("fieldTest"));
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        m_before = new QCheckBox(QStringLiteral("before"), m_window.get());
        m_field = new RecorderField(
            m_name, [this](const std::optional<Shortcut> &s) { m_changes << s; }, m_window.get());
        m_after = new QCheckBox(QStringLiteral("after"), m_window.get());
        layout->addWidget(m_before);
        layout->addWidget(m_field);
        layout->addWidget(m_after);
        m_changes.clear();
    }

    void cleanup()
    {
        m_window.reset();
        resetShortcutServices();
    }

    void looks()
    {
        setShortcut(Shortcut(carbonK, 0x1800), m_name);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_field->width(), 130);
        QCOMPARE(m_field->alignment(), Qt::AlignCenter);
        QVERIFY(m_field->isReadOnly());
        QVERIFY(!m_field->text().isEmpty());
        QCOMPARE(m_field->placeholderText(), localized("record_shortcut"));
        QAction *clear = m_field->findChild<QAction *>(QStringLiteral("clearShortcut"));
        QVERIFY(clear && clear->isVisible());

        setShortcut(std::nullopt, m_name);
        QVERIFY(m_field->text().isEmpty());
        QVERIFY(!clear->isVisible());
        QVERIFY(m_changes.isEmpty());
    }

    void recordThroughEvents()
    {
        showAndActivate();
        QSignalSpy activity(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_field->isRecording());
        QVERIFY(isPaused());
        QCOMPARE(m_field->placeholderText(), localized("press_shortcut"));

        // Modifier keys on their own are no key presses for the recorder.
        press(m_field, Qt::Key_Control, Qt::ControlModifier, 37);
        press(m_field, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier, 64);
        QVERIFY(m_field->isRecording());
        QVERIFY(m_field->text().isEmpty());

        // A plain key is refused and recording goes on.
        press(m_field, Qt::Key_K, Qt::NoModifier, xK);
        QVERIFY(m_field->isRecording());
        QCOMPARE(getShortcut(m_name), std::nullopt);

        press(m_field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, xK);
        const Shortcut expected(carbonK, 0x100 | 0x800);
        QCOMPARE(getShortcut(m_name), std::optional(expected));
        QCOMPARE(m_changes, QList<std::optional<Shortcut>> {expected});
        QVERIFY(!m_field->isRecording());
        QVERIFY(!m_field->hasFocus());
        QVERIFY(!isPaused());
        QCOMPARE(m_field->placeholderText(), localized("record_shortcut"));
        QVERIFY(!m_field->text().isEmpty());
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.at(1).at(0).toBool(), false);
    }

    void functionKeyAlone()
    {
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        press(m_field, Qt::Key_F5, Qt::ShiftModifier, xF5);
        QCOMPARE(getShortcut(m_name), std::optional(Shortcut(carbonF5, 0x200)));
    }

    void escapeKeepsTabMovesOn()
    {
        setShortcut(Shortcut(carbonK, 0x100), m_name);
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        press(m_field, Qt::Key_Escape, Qt::NoModifier, xEscape);
        QVERIFY(!m_field->isRecording());
        QCOMPARE(getShortcut(m_name), std::optional(Shortcut(carbonK, 0x100)));

        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_field->isRecording());
        press(m_field, Qt::Key_Tab, Qt::NoModifier, xTab);
        QVERIFY(!m_field->isRecording());
        QVERIFY(m_after->hasFocus());
        QCOMPARE(getShortcut(m_name), std::optional(Shortcut(carbonK, 0x100)));
    }

    void deleteClearsAndKeepsRecording()
    {
        setShortcut(Shortcut(carbonK, 0x100), m_name);
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        press(m_field, Qt::Key_Delete, Qt::NoModifier, xDelete);
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QVERIFY(m_field->text().isEmpty());
        QCOMPARE(m_changes, QList<std::optional<Shortcut>> {std::nullopt});
        QVERIFY(m_field->isRecording());
    }

    void clearButton()
    {
        setShortcut(Shortcut(carbonK, 0x100), m_name);
        showAndActivate();
        QToolButton *button = nullptr;
        for (QToolButton *b : m_field->findChildren<QToolButton *>()) {
            if (b->isVisible())
                button = b;
        }
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QVERIFY(!button->isVisible());
        QVERIFY(m_field->isRecording());
    }

    void clickOutsideEnds()
    {
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_field->isRecording());
        // A click inside the control goes on recording.
        QTest::mouseClick(m_field, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(m_field->isRecording());
        // On the check box's box: it takes clicks there and on its text.
        QTest::mouseClick(m_after, Qt::LeftButton, {}, QPoint(8, m_after->height() / 2));
        QVERIFY(!m_field->isRecording());
        // The click acted where it landed.
        QVERIFY(m_after->isChecked());
    }

    void menuItemConflict()
    {
        QMenu menu;
        QAction *quit = menu.addAction(QStringLiteral("&Quit"));
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
        m_system->setReserved({Shortcut(carbonQ, 0x100)});
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QString message;
        answerNextMessageBox(QStringLiteral("OK"), [&](QMessageBox *box) { message = box->text(); });
        press(m_field, Qt::Key_Q, Qt::ControlModifier, xQ);
        QCOMPARE(message, localized("keyboard_shortcut_used_by_menu_item").arg(QStringLiteral("Quit")));
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QTRY_VERIFY(m_field->isRecording());
    }

    void takenBySystem_data()
    {
        QTest::addColumn<bool>("force");
        QTest::newRow("ok") << false;
        QTest::newRow("force_use_shortcut") << true;
    }

    void takenBySystem()
    {
        QFETCH(bool, force);
        const Shortcut shortcut(carbonK, 0x100 | 0x800);
        m_system->setReserved({shortcut});
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QString message;
        bool grabbedDuringAlert = true;
        answerNextMessageBox(localized(force ? "force_use_shortcut" : "ok"), [&](QMessageBox *box) {
            message = box->text();
            grabbedDuringAlert = m_grab->isGrabbed();
        });
        QVERIFY(m_grab->isGrabbed());
        press(m_field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, xK);
        QCOMPARE(message, localized("keyboard_shortcut_used_by_system"));
        QCOMPARE(getShortcut(m_name), force ? std::optional(shortcut) : std::nullopt);
        // The alert takes the keyboard while it is open; recording again
        // takes it back.
        QVERIFY(!grabbedDuringAlert);
        if (force) {
            QVERIFY(!m_field->isRecording());
            QVERIFY(!m_grab->isGrabbed());
        } else {
            QTRY_VERIFY(m_field->isRecording());
            QVERIFY(m_grab->isGrabbed());
        }
    }

    // While recording the keyboard is directed to the recorder's window;
    // every way recording ends lets it go.
    void keyboardGrabLastsAsLongAsRecording_data()
    {
        QTest::addColumn<QString>("end");
        for (const char *end : {"Escape", "Tab", "click outside", "shortcut accepted", "window closed",
                                "another window activated", "control destroyed"})
            QTest::newRow(end) << QString::fromLatin1(end);
    }

    void keyboardGrabLastsAsLongAsRecording()
    {
        QFETCH(QString, end);
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_field->isRecording());
        QCOMPARE(m_grab->window, m_window->windowHandle());
        QWidget other;
        if (end == u"Escape") {
            press(m_field, Qt::Key_Escape, Qt::NoModifier, xEscape);
        } else if (end == u"Tab") {
            press(m_field, Qt::Key_Tab, Qt::NoModifier, xTab);
        } else if (end == u"click outside") {
            QTest::mouseClick(m_after, Qt::LeftButton, {}, QPoint(8, m_after->height() / 2));
        } else if (end == u"shortcut accepted") {
            press(m_field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, xK);
        } else if (end == u"window closed") {
            m_window->close();
        } else if (end == u"another window activated") {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else {
            delete m_field;
        }
        QTRY_VERIFY(!m_grab->isGrabbed());
        QVERIFY(!isPaused());
    }

    void keyboardGrabEndsAfterTheCap()
    {
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_grab->isGrabbed());
        QTRY_VERIFY_WITH_TIMEOUT(!m_grab->isGrabbed(),
                                 int(std::chrono::milliseconds(RecorderField::keyboardGrabCap).count())
                                     + 5000);
        // Recording itself goes on.
        QVERIFY(m_field->isRecording());
    }

    // A window whose first control is the recorder does not start recording
    // when it is shown and activated.
    void freshWindowDoesNotRecord()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *field = new RecorderField(m_name, {}, &window);
        layout->addWidget(field);
        layout->addWidget(new QCheckBox(QStringLiteral("other"), &window));
        QSignalSpy activity(&recorderNotifier(), &RecorderNotifier::recorderActiveStatusDidChange);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::qWait(50);
        QVERIFY(!field->isRecording());
        QVERIFY(!isPaused());
        QVERIFY(activity.isEmpty());
        // A click still starts it.
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(field->isRecording());
    }

    void destroyedWhileRecording()
    {
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(isPaused());
        delete m_field;
        QVERIFY(!isPaused());
    }

    void labels()
    {
        const Recorder bare(m_name);
        QVERIFY(!bare.hasLabel());
        const Recorder keyed("Global Shortcut", m_name);
        QVERIFY(keyed.hasLabel());
        QCOMPARE(qobject_cast<QLabel *>(keyed.label())->text(), QStringLiteral("Global Shortcut"));
        const Recorder plain(QStringLiteral("as is"), m_name);
        QCOMPARE(qobject_cast<QLabel *>(plain.label())->text(), QStringLiteral("as is"));
        QWidget *built = nullptr;
        const Recorder custom(m_name, {}, [&] { return built = new QCheckBox(QStringLiteral("custom")); });
        QVERIFY(custom.hasLabel());
        QCOMPARE(custom.label(), built);
        QCOMPARE(built->parentWidget(), &custom);

        Recorder renamed(m_name);
        setShortcut(Shortcut(carbonK, 0x100), Name(QStringLiteral("another")));
        renamed.setName(Name(QStringLiteral("another")));
        QCOMPARE(renamed.name().rawValue(), QStringLiteral("another"));
        QVERIFY(!renamed.field()->text().isEmpty());
    }

private:
    void showAndActivate()
    {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        // Let the guard of the fresh window pass.
        QTest::qWait(20);
    }

    QTemporaryDir m_configHome;
    Name m_name;
    std::shared_ptr<FakeSystemShortcutSource> m_system;
    std::shared_ptr<FakeRecorderKeyboardGrab> m_grab;
    std::unique_ptr<QWidget> m_window;
    QCheckBox *m_before = nullptr;
    RecorderField *m_field = nullptr;
    QCheckBox *m_after = nullptr;
    QList<std::optional<Shortcut>> m_changes;
};

QTEST_MAIN(TestRecorderField)
#include "tst_recorderfield.moc"
