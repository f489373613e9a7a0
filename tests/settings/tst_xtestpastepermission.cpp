#include "settings/x11/XTestPastePermission.h"
#include "support/TestTools.h"
#include "x11/XcbConnection.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

class TestXTestPastePermission : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The session's server is started with XTEST.
    void grantedWhereXTestAnswers()
    {
        XTestPastePermission permission;
        QVERIFY(permission.isGranted());
        QVERIFY(permission.request());
    }

    void missingWithoutXTest()
    {
        QString display;
        for (int n = 200; n < 300 && display.isEmpty(); ++n) {
            if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
                && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                display = QStringLiteral(":%1").arg(n);
        }
        QVERIFY(!display.isEmpty());
        auto server = startTool(QStringLiteral("Xvfb"),
                                {display, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                 QStringLiteral("-extension"), QStringLiteral("XTEST")});
        QVERIFY(server->state() == QProcess::Running);
        QDeadlineTimer deadline(10000);
        bool up = false;
        while (!up && !deadline.hasExpired()) {
            up = XcbConnection(display.toLatin1()).isValid();
            if (!up)
                QTest::qWait(50);
        }
        QVERIFY2(up, "the second X server did not start");

        XTestPastePermission permission(display.toLatin1());
        QVERIFY(!permission.isGranted());
        QVERIFY(!permission.request());
        QVERIFY(permission.missingExplanation().contains(QStringLiteral("XTEST")));
    }

    void missingWithoutServer()
    {
        XTestPastePermission permission(":999");
        QVERIFY(!permission.isGranted());
    }
};

QTEST_GUILESS_MAIN(TestXTestPastePermission)
#include "tst_xtestpastepermission.moc"
