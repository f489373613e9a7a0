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
    // The callback's verdict decides what the widget gets: S is swallowed, A
    // replaced by B, the rest passed. A monitor not started or destroyed
    // sees nothing.
    void verdictsDecideWhatTheWidgetGets()
    {
        QLineEdit edit;
        int seen = 0;
        auto monitor
            = std::make_unique<LocalEventMonitor>(QList {QEvent::KeyPress}, [&](QObject *, QEvent *event) {
                  ++seen;
                  switch (static_cast<QKeyEvent *>(event)->key()) {
                  case Qt::Key_S:
                      return EventMonitorVerdict::swallow();
                  case Qt::Key_A:
                      return EventMonitorVerdict::replaceWith(std::make_unique<QKeyEvent>(
                          QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b")));
                  default:
                      return EventMonitorVerdict::pass();
                  }
              });
        QTest::keyClick(&edit, Qt::Key_S);
        QCOMPARE(seen, 0);
        // A second start is still one registration: one call per press, and
        // the releases it does not watch never reach it.
        monitor->start().start();
        QVERIFY(monitor->isStarted());
        QTest::keyClicks(&edit, QStringLiteral("xsay"));
        QCOMPARE(seen, 4);
        QCOMPARE(edit.text(), QStringLiteral("sxby"));

        monitor.reset();
        QTest::keyClicks(&edit, QStringLiteral("sa"));
        QCOMPARE(edit.text(), QStringLiteral("sxbysa"));
        QCOMPARE(seen, 4);

        // A press a child ignores goes on to its parent, seen once.
        KeyCountingWidget parent;
        auto *child = new QWidget(&parent);
        QObject *receiver = nullptr;
        LocalEventMonitor propagating({QEvent::KeyPress}, [&](QObject *r, QEvent *) {
            receiver = r;
            ++seen;
            return EventMonitorVerdict::pass();
        });
        propagating.start();
        QTest::keyClick(child, Qt::Key_A);
        QCOMPARE(seen, 5);
        QCOMPARE(receiver, child);
        QCOMPARE(parent.presses, 1);
    }

    void callbackMayDropItsMonitor()
    {
        QLineEdit edit;
        std::unique_ptr<LocalEventMonitor> monitor;
        int seen = 0;
        monitor = std::make_unique<LocalEventMonitor>(QList {QEvent::KeyPress}, [&](QObject *, QEvent *) {
            ++seen;
            monitor.reset(); // as the recorder does when a press ends recording
            return EventMonitorVerdict::swallow();
        });
        monitor->start();
        QTest::keyClick(&edit, Qt::Key_A);
        QVERIFY(!monitor);
        QCOMPARE(edit.text(), QString());
        QTest::keyClick(&edit, Qt::Key_B);
        QCOMPARE(seen, 1);
        QCOMPARE(edit.text(), QStringLiteral("b"));
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
