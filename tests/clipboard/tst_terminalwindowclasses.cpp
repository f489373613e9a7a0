#include "clipboard/TerminalWindowClasses.h"

#include <QTest>

class TerminalWindowClassesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void classifies_data();
    void classifies();
};

void TerminalWindowClassesTest::classifies_data()
{
    QTest::addColumn<QByteArray>("instanceName"); // empty: className is a Wayland app_id
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<bool>("terminal");

    QTest::newRow("xterm") << QByteArray("xterm") << QByteArray("XTerm") << true;
    QTest::newRow("class name only") << QByteArray("myshell") << QByteArray("XTerm") << true;
    // Whole names only: these merely contain a terminal's name.
    QTest::newRow("contains st") << QByteArray("steam") << QByteArray("Steam") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
    QTest::newRow("app_id gnome-terminal") << QByteArray() << QByteArray("org.gnome.Terminal") << true;
    QTest::newRow("app_id featherpad") << QByteArray() << QByteArray("featherpad") << false;
}

void TerminalWindowClassesTest::classifies()
{
    QFETCH(QByteArray, instanceName);
    QFETCH(QByteArray, className);
    QFETCH(bool, terminal);
    if (instanceName.isEmpty())
        QCOMPARE(TerminalWindowClasses::isTerminalAppId(className), terminal);
    QCOMPARE(TerminalWindowClasses::isTerminal(instanceName, className), terminal);
}

QTEST_APPLESS_MAIN(TerminalWindowClassesTest)
#include "tst_terminalwindowclasses.moc"
