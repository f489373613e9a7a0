#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/Recorder.h"
#include "KeyboardShortcuts/RecorderField.h"
#include "KeyboardShortcuts/ResourceBundle.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "fakes/FakeKeyboardLayout.h"
#include "fakes/FakeNativeKeyCodeMap.h"
#include "fakes/FakeRecorderKeyboardGrab.h"
#include "fakes/FakeSystemShortcutSource.h"
#include "support/MessageBoxAnswer.h"
#include "support/PrivateSettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace KeyboardShortcuts;

namespace {

// X keycodes of a PC keyboard, paired with the Carbon codes of the same keys.
constexpr quint32 xK = 45, xTab = 23, xDelete = 119, xF5 = 71;
constexpr int carbonK = 40, carbonTab = 48, carbonDelete = 117, carbonF5 = 96;

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
    void initTestCase() { QVERIFY(m_settings.isValid()); }

    void init()
    {
        PrivateSettings::store().clear();
        resetState();
        auto keyCodes = std::make_shared<FakeNativeKeyCodeMap>();
        for (auto [x, carbon] :
             {std::pair {xK, carbonK}, {xTab, carbonTab}, {xDelete, carbonDelete}, {xF5, carbonF5}})
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
        QVERIFY(m_changes.isEmpty());

        // The clear button empties the store and keeps the control recording.
        QToolButton *button = nullptr;
        for (QToolButton *b : m_field->findChildren<QToolButton *>()) {
            if (b->isVisible())
                button = b;
        }
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QCOMPARE(m_changes, QList<std::optional<Shortcut>> {std::nullopt});
        QVERIFY(m_field->text().isEmpty());
        QVERIFY(!clear->isVisible());
        QVERIFY(m_field->isRecording());
    }

    // Every way recording goes on or ends, through the control's events:
    // the store, the keyboard grab (held exactly while recording) and the
    // pause of the hotkeys.
    void waysRecordingGoesOnOrEnds_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<std::optional<Shortcut>>("stored");
        const std::optional<Shortcut> initial = Shortcut(carbonK, 0x100);
        QTest::newRow("Tab moves on") << u"Tab"_qs << false << initial;
        QTest::newRow("click outside acts there") << u"click outside"_qs << false << initial;
        QTest::newRow("function key alone")
            << u"Shift+F5"_qs << false << std::optional(Shortcut(carbonF5, 0x200));
        QTest::newRow("Delete clears") << u"Delete"_qs << true << std::optional<Shortcut>();
        QTest::newRow("another window activated") << u"another window"_qs << false << initial;
        QTest::newRow("control destroyed") << u"destroyed"_qs << false << initial;
    }

    void waysRecordingGoesOnOrEnds()
    {
        QFETCH(QString, action);
        QFETCH(bool, recording);
        QFETCH(std::optional<Shortcut>, stored);
        const Shortcut initial(carbonK, 0x100);
        setShortcut(initial, m_name);
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QVERIFY(m_field->isRecording());
        QCOMPARE(m_grab->window, m_window->windowHandle());
        QWidget other;
        if (action == u"Tab") {
            press(m_field, Qt::Key_Tab, Qt::NoModifier, xTab);
            QVERIFY(m_after->hasFocus());
        } else if (action == u"click outside") {
            // On the check box's box: it takes clicks there and on its text.
            QTest::mouseClick(m_after, Qt::LeftButton, {}, QPoint(8, m_after->height() / 2));
            QVERIFY(m_after->isChecked());
        } else if (action == u"Shift+F5") {
            press(m_field, Qt::Key_F5, Qt::ShiftModifier, xF5);
        } else if (action == u"Delete") {
            press(m_field, Qt::Key_Delete, Qt::NoModifier, xDelete);
        } else if (action == u"another window") {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else {
            delete m_field;
            m_field = nullptr;
        }
        QTRY_COMPARE(m_grab->isGrabbed(), recording);
        QCOMPARE(isPaused(), recording);
        QCOMPARE(getShortcut(m_name), stored);
        QCOMPARE(m_changes, stored == initial ? QList<std::optional<Shortcut>> {} : QList {stored});
        if (m_field)
            QCOMPARE(m_field->isRecording(), recording);
    }

    // The alert takes the keyboard while it is open; recording again takes
    // it back. A menu item's shortcut wins over the system's.
    void alerts_data()
    {
        QTest::addColumn<bool>("inMenu");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("stored");
        QTest::newRow("menu item") << true << u"ok"_qs << false;
        QTest::newRow("system, force_use_shortcut") << false << u"force_use_shortcut"_qs << true;
    }

    void alerts()
    {
        QFETCH(bool, inMenu);
        QFETCH(QString, button);
        QFETCH(bool, stored);
        const Shortcut shortcut(carbonK, 0x100 | 0x800);
        m_system->setReserved({shortcut});
        QMenu menu;
        if (inMenu)
            menu.addAction(u"&Quit"_qs)->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QString message;
        bool grabbedDuringAlert = true;
        answerNextMessageBox(localized(button.toLatin1().constData()), [&](QMessageBox *box) {
            message = box->text();
            grabbedDuringAlert = m_grab->isGrabbed();
        });
        QVERIFY(m_grab->isGrabbed());
        press(m_field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, xK);
        QCOMPARE(message,
                 inMenu ? localized("keyboard_shortcut_used_by_menu_item").arg(u"Quit"_qs)
                        : localized("keyboard_shortcut_used_by_system"));
        QCOMPARE(getShortcut(m_name), stored ? std::optional(shortcut) : std::nullopt);
        QVERIFY(!grabbedDuringAlert);
        QTRY_COMPARE(m_field->isRecording(), !stored);
        QCOMPARE(m_grab->isGrabbed(), !stored);
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

    PrivateSettings m_settings;
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
