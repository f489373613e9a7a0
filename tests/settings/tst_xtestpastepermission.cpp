#include "settings/x11/XTestPastePermission.h"
#include "support/TestTools.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readDisplay(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray number = file.readLine().trimmed();
    return number.isEmpty() ? QByteArray() : ':' + number;
}

} // namespace

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
        // A second server without XTEST. It picks a free display number and
        // writes it down once it accepts connections; it is stopped with
        // SIGTERM so that it removes its lock file.
        QTemporaryDir dir;
        const QString displayFile = dir.filePath(u"display"_qs);
        auto server = startTool(
            u"sh"_qs,
            {u"-c"_qs, u"exec Xvfb -displayfd 3 -nolisten tcp -extension XTEST 3>\"$0\""_qs, displayFile});
        const auto stop = qScopeGuard([&] {
            server->terminate();
            server->waitForFinished(5000);
        });
        QByteArray display;
        QTRY_VERIFY_WITH_TIMEOUT(!(display = readDisplay(displayFile)).isEmpty(), 10000);

        XTestPastePermission permission(display);
        QVERIFY(!permission.isGranted());
        QVERIFY(!permission.request());
        QVERIFY(permission.missingExplanation().contains(u"XTEST"_qs));
    }

    void missingWithoutServer()
    {
        XTestPastePermission permission(":999");
        QVERIFY(!permission.isGranted());
    }
};

QTEST_GUILESS_MAIN(TestXTestPastePermission)
#include "tst_xtestpastepermission.moc"
