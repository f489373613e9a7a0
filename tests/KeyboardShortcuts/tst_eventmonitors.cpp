#include "KeyboardShortcuts/LocalEventMonitor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace KeyboardShortcuts;

namespace {

// Counts the key presses that reach it (those its child did not take).
class KeyCountingWidget : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        ++presses;
        event->accept();
    }
};

} // namespace

class TestEventMonitors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A press a child ignores goes on to its parent, and the monitor sees it
    // once, at the child.
    void propagatedPressSeenOnce()
    {
        KeyCountingWidget parent;
        auto *child = new QWidget(&parent);
        QObject *receiver = nullptr;
        int seen = 0;
        LocalEventMonitor monitor({QEvent::KeyPress}, [&](QObject *r, QEvent *) {
            receiver = r;
            ++seen;
            return EventMonitorVerdict::pass();
        });
        monitor.start();
        QTest::keyClick(child, Qt::Key_A);
        QCOMPARE(seen, 1);
        QCOMPARE(receiver, child);
        QCOMPARE(parent.presses, 1);
    }

    void shortcutsWaitForTheMonitor()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *edit = new QLineEdit(&window);
        layout->addWidget(edit);
        auto *shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+K")), &window);
        QSignalSpy activated(shortcut, &QShortcut::activated);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();

        QTest::keyClick(edit, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(activated.count(), 1);

        int seen = 0;
        {
            LocalEventMonitor monitor({QEvent::KeyPress}, [&](QObject *, QEvent *event) {
                if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_K)
                    ++seen;
                return EventMonitorVerdict::swallow();
            });
            monitor.start();
            QTest::keyClick(edit, Qt::Key_K, Qt::ControlModifier);
            QCOMPARE(seen, 1);
            QCOMPARE(activated.count(), 1);
        }
        QTest::keyClick(edit, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(activated.count(), 2);
    }
};

QTEST_MAIN(TestEventMonitors)
#include "tst_eventmonitors.moc"
