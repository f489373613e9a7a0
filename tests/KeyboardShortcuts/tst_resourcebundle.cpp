#include "KeyboardShortcuts/ResourceBundle.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

const QString bundleName = QString::fromLatin1(ResourceBundle::bundleName);

} // namespace

class TestResourceBundle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void whereTheBundleIsFound_data()
    {
        // Places, relative to an installation root: bin/ (the executable),
        // share/halvex (its data), env/ (PACKAGE_RESOURCE_BUNDLE_PATH) and a
        // framework inside it.
        QTest::addColumn<QStringList>("holding");
        QTest::addColumn<QString>("found"); // empty: none
        const QString module = QStringLiteral("share/halvex");
        const QString environment = QStringLiteral("env");
        const QString framework = QStringLiteral("env/Kit.framework");
        QTest::newRow("framework in the environment") << QStringList {framework} << framework;
        QTest::newRow("installed data comes first") << QStringList {environment, module} << module;
        QTest::newRow("last resort: above the installed data")
            << QStringList {QStringLiteral("share")} << QStringLiteral("share");
        QTest::newRow("none") << QStringList {} << QString();
    }

    void whereTheBundleIsFound()
    {
        QFETCH(QStringList, holding);
        QFETCH(QString, found);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        for (const QString &place :
             {QStringLiteral("bin"), QStringLiteral("share/halvex"), QStringLiteral("env")})
            QVERIFY(dir.mkpath(place));
        for (const QString &place : holding)
            QVERIFY(dir.mkpath(place + u'/' + bundleName));
        // A plain file of that name is no bundle.
        QFile file(dir.filePath(QStringLiteral("bin/") + bundleName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        ResourceBundle::SearchInputs inputs;
        inputs.moduleResources = dir.filePath(QStringLiteral("share/halvex"));
        inputs.applicationDirectory = dir.filePath(QStringLiteral("bin"));
        inputs.environmentPath = dir.filePath(QStringLiteral("env"));
        const std::optional<QString> bundle
            = ResourceBundle::find(ResourceBundle::candidateDirectories(inputs));
        QCOMPARE(bundle.has_value(), !found.isEmpty());
        if (bundle)
            QCOMPARE(QDir::cleanPath(*bundle), dir.filePath(found + u'/' + bundleName));
    }

    // The application's own resources hold the bundle and come before the
    // environment.
    void applicationResourcesHoldTheBundle()
    {
        QTemporaryDir environment;
        QVERIFY(QDir(environment.path()).mkpath(bundleName));
        ResourceBundle::SearchInputs inputs = ResourceBundle::processSearchInputs();
        inputs.environmentPath = environment.path();
        QCOMPARE(ResourceBundle::find(ResourceBundle::candidateDirectories(inputs)),
                 std::optional<QString>(QStringLiteral(":/") + bundleName));
        QCOMPARE(ResourceBundle::shared().path(), QStringLiteral(":/") + bundleName);
    }

    // Every text the recorder shows exists in each language; French falls
    // back to English; a key the bundle lacks shows as itself.
    void texts_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("record");
        QTest::newRow("en") << QLocale(QLocale::English, QLocale::UnitedStates) << u"Record Shortcut"_qs;
        QTest::newRow("de") << QLocale(QLocale::German, QLocale::Germany) << u"Kurzbefehl aufnehmen"_qs;
        QTest::newRow("fr falls back to en")
            << QLocale(QLocale::French, QLocale::France) << u"Record Shortcut"_qs;
    }

    void texts()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, record);
        const ResourceBundle bundle(QStringLiteral(":/") + bundleName, locale);
        QCOMPARE(bundle.localized("record_shortcut"), record);
        for (const char *key : {"press_shortcut", "space_key", "keyboard_shortcut_used_by_menu_item",
                                "keyboard_shortcut_disallowed", "keyboard_shortcut_used_by_system",
                                "keyboard_shortcuts_can_be_changed", "ok", "force_use_shortcut"})
            QVERIFY2(bundle.localized(key) != QString::fromLatin1(key), key);
        QVERIFY(bundle.localized("keyboard_shortcut_used_by_menu_item").contains(QStringLiteral("%1")));
        QCOMPARE(bundle.localized("no_such_key"), QStringLiteral("no_such_key"));
    }
};

QTEST_GUILESS_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
