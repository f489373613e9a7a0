#include "fakes/FakeLoginItem.h"
#include "settings/LaunchAtLogin.h"
#include "support/StdoutCapture.h"

#include <QTest>

class TestLaunchAtLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void update_data()
    {
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<bool>("requested");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("enabledAfter");
        QTest::addColumn<QByteArray>("output");

        const QStringList none;
        const QStringList reg {u"register"_qs};
        const QStringList unreg {u"unregister"_qs};
        const QByteArray failLine = "Failed to update launch at login: disk on fire\n";
        QTest::newRow("on, not enabled: registers") << false << true << false << reg << true << QByteArray();
        QTest::newRow("on, already enabled: nothing")
            << true << true << false << none << true << QByteArray();
        QTest::newRow("off, enabled: unregisters")
            << true << false << false << unreg << false << QByteArray();
        QTest::newRow("off, not enabled: unregisters anyway")
            << false << false << false << unreg << false << QByteArray();
        QTest::newRow("register fails: one line") << false << true << true << reg << false << failLine;
        QTest::newRow("unregister fails: one line") << true << false << true << unreg << true << failLine;
        QTest::newRow("on, already enabled, failing item: not called")
            << true << true << true << none << true << QByteArray();
    }

    void update()
    {
        QFETCH(bool, enabledBefore);
        QFETCH(bool, requested);
        QFETCH(bool, fails);
        QFETCH(QStringList, calls);
        QFETCH(bool, enabledAfter);
        QFETCH(QByteArray, output);

        FakeLoginItem item;
        item.enabled = enabledBefore;
        if (fails)
            item.failure = u"disk on fire"_qs;
        bool succeeded = false;
        QByteArray printed;
        {
            StdoutCapture capture;
            succeeded = updateLaunchAtLogin(item, requested);
            printed = capture.text();
        }
        QCOMPARE(item.calls, calls);
        QCOMPARE(item.enabled, enabledAfter);
        QCOMPARE(printed, output);
        QCOMPARE(succeeded, output.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLaunchAtLogin)
#include "tst_launchatlogin.moc"
