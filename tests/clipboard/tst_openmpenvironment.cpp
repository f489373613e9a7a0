#include "support/TestTools.h"

#include <QProcess>
#include <QTest>

class OpenMpEnvironmentTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void limitsTheRuntimeBeforeItStarts_data();
    void limitsTheRuntimeBeforeItStarts();
};

void OpenMpEnvironmentTest::limitsTheRuntimeBeforeItStarts_data()
{
    QTest::addColumn<QString>("limit"); // empty: not in the environment
    QTest::addColumn<QByteArray>("expected");
    // The runtime itself reports the limit, so this shows the variable was
    // there when it loaded; the process keeps its name (what ps, pgrep and
    // killall match) and the arguments survive the restart unchanged.
    QTest::newRow("unset") << QString() << QByteArray("1|1|omp_limit_probe|-x|two words|");
    QTest::newRow("set by the user") << QStringLiteral("3")
                                     << QByteArray("3|3|omp_limit_probe|-x|two words|");
}

void OpenMpEnvironmentTest::limitsTheRuntimeBeforeItStarts()
{
    QFETCH(QString, limit);
    QFETCH(QByteArray, expected);
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    if (!limit.isEmpty())
        env.insert(QStringLiteral("OMP_THREAD_LIMIT"), limit);
    probe.setProcessEnvironment(env);
    probe.start(testHelperPath(QStringLiteral("omp_limit_probe")),
                {QStringLiteral("-x"), QStringLiteral("two words"), QString()});
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(probe.readAllStandardOutput().trimmed(), expected);
}

QTEST_GUILESS_MAIN(OpenMpEnvironmentTest)
#include "tst_openmpenvironment.moc"
