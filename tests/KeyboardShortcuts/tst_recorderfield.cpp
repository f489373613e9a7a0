#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
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
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace KeyboardShortcuts;

namespace {

// X keycodes of a PC keyboard, paired with the Carbon codes of the same keys.
constexpr quint32 xK = 45, xTab = 23, xF5 = 71;
constexpr int carbonK = 40, carbonTab = 48, carbonF5 = 96;

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
        PrivateSettings::startFresh();
        auto keyCodes = std::make_shared<FakeNativeKeyCodeMap>();
        for (auto [x, carbon] : {std::pair {xK, carbonK}, {xTab, carbonTab}, {xF5, carbonF5}})
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

    // A menu item's shortcut wins over the system's; the alert takes the
    // keyboard while it is open, and recording again takes it back.
    void menuItemAlert()
    {
        const Shortcut shortcut(carbonK, 0x100 | 0x800);
        m_system->setReserved({shortcut});
        QMenu menu;
        menu.addAction(u"&Quit"_qs)->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
        showAndActivate();
        QTest::mouseClick(m_field, Qt::LeftButton);
        QString message;
        bool grabbedDuringAlert = true;
        answerNextMessageBox(localized("ok"), [&](QMessageBox *box) {
            message = box->text();
            grabbedDuringAlert = m_grab->isGrabbed();
        });
        QVERIFY(m_grab->isGrabbed());
        press(m_field, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, xK);
        QCOMPARE(message, localized("keyboard_shortcut_used_by_menu_item").arg(u"Quit"_qs));
        QCOMPARE(getShortcut(m_name), std::nullopt);
        QVERIFY(!grabbedDuringAlert);
        QTRY_VERIFY(m_field->isRecording());
        QVERIFY(m_grab->isGrabbed());
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
