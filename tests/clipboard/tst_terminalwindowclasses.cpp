#include "clipboard/TerminalWindowClasses.h"

#include <QTest>

class TerminalWindowClassesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void classifiesWmClass_data();
    void classifiesWmClass();
    void classifiesAppId_data();
    void classifiesAppId();
};

void TerminalWindowClassesTest::classifiesWmClass_data()
{
    QTest::addColumn<QByteArray>("instanceName");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<bool>("terminal");

    // WM_CLASS pairs as the programs set them.
    QTest::newRow("xterm") << QByteArray("xterm") << QByteArray("XTerm") << true;
    QTest::newRow("urxvt") << QByteArray("urxvt") << QByteArray("URxvt") << true;
    QTest::newRow("gnome-terminal") << QByteArray("gnome-terminal-server") << QByteArray("Gnome-terminal")
                                    << true;
    QTest::newRow("konsole") << QByteArray("konsole") << QByteArray("konsole") << true;
    QTest::newRow("xfce4-terminal") << QByteArray("xfce4-terminal") << QByteArray("Xfce4-terminal") << true;
    QTest::newRow("kitty") << QByteArray("kitty") << QByteArray("kitty") << true;
    QTest::newRow("alacritty") << QByteArray("Alacritty") << QByteArray("Alacritty") << true;
    QTest::newRow("tilix") << QByteArray("tilix") << QByteArray("Tilix") << true;
    QTest::newRow("terminator") << QByteArray("terminator") << QByteArray("Terminator") << true;
    QTest::newRow("st") << QByteArray("st-256color") << QByteArray("st-256color") << true;
    QTest::newRow("wezterm") << QByteArray("org.wezfurlong.wezterm") << QByteArray("org.wezfurlong.wezterm")
                             << true;
    QTest::newRow("class name only") << QByteArray("myshell") << QByteArray("XTerm") << true;

    // Whole names only: these merely contain a terminal's name.
    QTest::newRow("firefox") << QByteArray("Navigator") << QByteArray("firefox") << false;
    QTest::newRow("gedit") << QByteArray("gedit") << QByteArray("Gedit") << false;
    QTest::newRow("contains st") << QByteArray("steam") << QByteArray("Steam") << false;
    QTest::newRow("contains term") << QByteArray("xtermcontrol") << QByteArray("Xtermcontrol") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
}

void TerminalWindowClassesTest::classifiesWmClass()
{
    QFETCH(QByteArray, instanceName);
    QFETCH(QByteArray, className);
    QFETCH(bool, terminal);
    QCOMPARE(TerminalWindowClasses::isTerminal(instanceName, className), terminal);
}

void TerminalWindowClassesTest::classifiesAppId_data()
{
    QTest::addColumn<QByteArray>("appId");
    QTest::addColumn<bool>("terminal");
    // app_ids as the programs set them on Wayland.
    QTest::newRow("foot") << QByteArray("foot") << true;
    QTest::newRow("footclient") << QByteArray("footclient") << true;
    QTest::newRow("konsole") << QByteArray("org.kde.konsole") << true;
    QTest::newRow("gnome-terminal") << QByteArray("org.gnome.Terminal") << true;
    QTest::newRow("kitty") << QByteArray("kitty") << true;
    QTest::newRow("featherpad") << QByteArray("featherpad") << false;
    QTest::newRow("halvex") << QByteArray("halvex") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TerminalWindowClassesTest::classifiesAppId()
{
    QFETCH(QByteArray, appId);
    QFETCH(bool, terminal);
    QCOMPARE(TerminalWindowClasses::isTerminalAppId(appId), terminal);
}

QTEST_APPLESS_MAIN(TerminalWindowClassesTest)
#include "tst_terminalwindowclasses.moc"
