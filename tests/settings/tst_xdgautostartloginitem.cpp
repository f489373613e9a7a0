#include "settings/xdg/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

} // namespace

class TestXdgAutostartLoginItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registerAndUnregister()
    {
        QTemporaryDir home;
        XdgAutostartLoginItem item(home.path(), u"/usr/bin/halvex"_qs);
        QCOMPARE(item.entryPath(), home.filePath(u"autostart/halvex.desktop"_qs));
        QCOMPARE(item.registerItem(), std::nullopt);
        QFile file(item.entryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray contents = file.readAll();
        QVERIFY(contents.startsWith("[Desktop Entry]\n"));
        QVERIFY(contents.contains("\nType=Application\n"));
        QVERIFY(contents.contains("\nExec=/usr/bin/halvex\n"));

        QCOMPARE(item.unregisterItem(), std::nullopt);
        // Removing what is not there is not an error.
        QCOMPARE(item.unregisterItem(), std::nullopt);

        // Registering replaces an entry the user hid.
        writeFile(item.entryPath(), "[Desktop Entry]\nHidden=true\n");
        QVERIFY(!item.isEnabled());
        QCOMPARE(item.registerItem(), std::nullopt);
        QVERIFY(item.isEnabled());
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Hidden = true, spaced")
            << QByteArray("[Desktop Entry]\nHidden = true\nExec=x\n") << false;
        QTest::newRow("Hidden in another group")
            << QByteArray("[Desktop Entry]\nExec=halvex\n[Desktop Action x]\nHidden=true\n") << true;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff[\n=\n", 6) << true;
    }

    void status()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        QTemporaryDir home;
        XdgAutostartLoginItem item(home.path(), u"halvex"_qs);
        writeFile(item.entryPath(), contents);
        QCOMPARE(item.isEnabled(), enabled);
    }

    // The folder cannot be created when a regular file has its name (a
    // read-only folder would not do: the tests may run as root); a non-empty
    // folder in the entry's place cannot be removed as a file.
    void blockedPaths()
    {
        QTemporaryDir home;
        writeFile(home.filePath(u"autostart"_qs), "not a folder");
        XdgAutostartLoginItem blocked(home.path(), u"halvex"_qs);
        const std::optional<QString> error = blocked.registerItem();
        QVERIFY(error);
        QVERIFY2(error->contains(home.filePath(u"autostart"_qs)), qPrintable(*error));
        QVERIFY(!blocked.isEnabled());
        QCOMPARE(blocked.unregisterItem(), std::nullopt);

        QTemporaryDir otherHome;
        XdgAutostartLoginItem folder(otherHome.path(), u"halvex"_qs);
        writeFile(folder.entryPath() + u"/inner"_qs, "x");
        QVERIFY(!folder.isEnabled());
        QVERIFY(folder.registerItem());
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QByteArray>("execLine");
        QTest::newRow("space") << u"/opt/my apps/halvex"_qs << QByteArray("Exec=\"/opt/my apps/halvex\"");
        QTest::newRow("dollar and quote") << u"/tmp/a$b\"c"_qs << QByteArray("Exec=\"/tmp/a\\\\$b\\\\\"c\"");
        QTest::newRow("percent") << u"/tmp/100%"_qs << QByteArray("Exec=\"/tmp/100%%\"");
        QTest::newRow("backslash") << u"/tmp/a\\b"_qs << QByteArray("Exec=\"/tmp/a\\\\\\\\b\"");
    }

    void execQuoting()
    {
        QFETCH(QString, executable);
        QFETCH(QByteArray, execLine);
        const QByteArray contents = XdgAutostartLoginItem::entryContents(executable);
        QVERIFY2(contents.split('\n').contains(execLine), contents.constData());
    }
};

QTEST_GUILESS_MAIN(TestXdgAutostartLoginItem)
#include "tst_xdgautostartloginitem.moc"
