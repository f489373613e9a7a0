#include "KeyboardShortcuts/ResourceBundle.h"
#include "support/TestTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace KeyboardShortcuts;

namespace {

const QString bundleName = QString::fromLatin1(ResourceBundle::bundleName);

bool makeBundle(const QString &parent)
{
    return QDir(parent).mkpath(bundleName);
}

} // namespace

class TestResourceBundle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidateOrder();
    void missingEnvironmentDirectoryAddsOnlyItself();
    void emptyInputsSkipped();
    void firstHoldingCandidateWins();
    void frameworksInListingOrder();
    void applicationResourcesHoldTheBundle();
    void texts_data();
    void texts();
    void missingKeyShowsTheKey();
    void nothingFoundEndsTheProgram();
};

void TestResourceBundle::candidateOrder()
{
    QTemporaryDir environment;
    QVERIFY(environment.isValid());
    QVERIFY(QDir(environment.path()).mkpath(QStringLiteral("b.framework")));
    QVERIFY(QDir(environment.path()).mkpath(QStringLiteral("a.framework")));
    QVERIFY(QDir(environment.path()).mkpath(QStringLiteral("other")));

    ResourceBundle::SearchInputs inputs;
    inputs.applicationResources = QStringLiteral(":/");
    inputs.moduleResources = QStringLiteral("/opt/halvex/share/halvex");
    inputs.applicationDirectory = QStringLiteral("/opt/halvex/bin");
    inputs.environmentPath = environment.path();
    const QStringList expected {
        QStringLiteral(":/"),
        QStringLiteral("/opt/halvex/share/halvex"),
        QStringLiteral("/opt/halvex/bin"),
        environment.path(),
        environment.path() + QStringLiteral("/a.framework"),
        environment.path() + QStringLiteral("/b.framework"),
        QStringLiteral("/opt/halvex/share/halvex/.."),
    };
    QCOMPARE(ResourceBundle::candidateDirectories(inputs), expected);
}

void TestResourceBundle::missingEnvironmentDirectoryAddsOnlyItself()
{
    ResourceBundle::SearchInputs inputs;
    inputs.applicationResources = QStringLiteral(":/");
    inputs.environmentPath = QStringLiteral("/nonexistent/halvex-test");
    QCOMPARE(ResourceBundle::candidateDirectories(inputs),
             (QStringList {QStringLiteral(":/"), QStringLiteral("/nonexistent/halvex-test")}));
}

void TestResourceBundle::emptyInputsSkipped()
{
    QCOMPARE(ResourceBundle::candidateDirectories({}), QStringList());
    QVERIFY(!ResourceBundle::find({}));
}

void TestResourceBundle::firstHoldingCandidateWins()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QTemporaryDir empty;
    QVERIFY(makeBundle(first.path()));
    QVERIFY(makeBundle(second.path()));
    QCOMPARE(ResourceBundle::find({empty.path(), first.path(), second.path()}),
             std::optional<QString>(first.path() + QLatin1Char('/') + bundleName));
    QCOMPARE(ResourceBundle::find({empty.path(), second.path(), first.path()}),
             std::optional<QString>(second.path() + QLatin1Char('/') + bundleName));
    // A plain file of that name is no bundle.
    QFile file(QDir(empty.path()).filePath(bundleName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!ResourceBundle::find({empty.path()}));
}

void TestResourceBundle::frameworksInListingOrder()
{
    QTemporaryDir environment;
    const QString a = environment.path() + QStringLiteral("/A.framework");
    const QString z = environment.path() + QStringLiteral("/Z.framework");
    QVERIFY(makeBundle(z));
    QVERIFY(makeBundle(a));
    ResourceBundle::SearchInputs inputs;
    inputs.applicationDirectory = QStringLiteral("/nonexistent/bin");
    inputs.environmentPath = environment.path();
    QCOMPARE(ResourceBundle::find(ResourceBundle::candidateDirectories(inputs)),
             std::optional<QString>(a + QLatin1Char('/') + bundleName));
    // The environment directory itself comes before its frameworks.
    QVERIFY(makeBundle(environment.path()));
    QCOMPARE(ResourceBundle::find(ResourceBundle::candidateDirectories(inputs)),
             std::optional<QString>(environment.path() + QLatin1Char('/') + bundleName));
}

void TestResourceBundle::applicationResourcesHoldTheBundle()
{
    // The application's resources come first and carry the bundle, so the
    // environment is not needed.
    QTemporaryDir environment;
    QVERIFY(makeBundle(environment.path()));
    ResourceBundle::SearchInputs inputs = ResourceBundle::processSearchInputs();
    inputs.environmentPath = environment.path();
    QCOMPARE(ResourceBundle::find(ResourceBundle::candidateDirectories(inputs)),
             std::optional<QString>(QStringLiteral(":/") + bundleName));
    QCOMPARE(ResourceBundle::shared().path(), QStringLiteral(":/") + bundleName);
}

void TestResourceBundle::texts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("text");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale french(QLocale::French, QLocale::France);
    QTest::newRow("en record") << english << QByteArray("record_shortcut")
                               << QStringLiteral("Record Shortcut");
    QTest::newRow("en space") << english << QByteArray("space_key") << QStringLiteral("space");
    QTest::newRow("en force") << english << QByteArray("force_use_shortcut") << QStringLiteral("Use Anyway");
    QTest::newRow("de record") << german << QByteArray("record_shortcut")
                               << QStringLiteral("Kurzbefehl aufnehmen");
    QTest::newRow("de space") << german << QByteArray("space_key") << QStringLiteral("leertaste");
    QTest::newRow("fr falls back to en") << french << QByteArray("ok") << QStringLiteral("OK");
}

void TestResourceBundle::texts()
{
    QFETCH(QLocale, locale);
    QFETCH(QByteArray, key);
    QFETCH(QString, text);
    const ResourceBundle bundle(QStringLiteral(":/") + bundleName, locale);
    QCOMPARE(bundle.localized(key.constData()), text);
}

void TestResourceBundle::missingKeyShowsTheKey()
{
    const char *keys[] = {"record_shortcut",
                          "press_shortcut",
                          "space_key",
                          "keyboard_shortcut_used_by_menu_item",
                          "keyboard_shortcut_disallowed",
                          "keyboard_shortcut_used_by_system",
                          "keyboard_shortcuts_can_be_changed",
                          "ok",
                          "force_use_shortcut"};
    for (const QLocale &locale : {QLocale(QLocale::English), QLocale(QLocale::German)}) {
        const ResourceBundle bundle(QStringLiteral(":/") + bundleName, locale);
        for (const char *key : keys)
            QVERIFY2(bundle.localized(key) != QString::fromLatin1(key), key);
        QVERIFY(bundle.localized("keyboard_shortcut_used_by_menu_item").contains(QStringLiteral("%1")));
        QCOMPARE(bundle.localized("no_such_key"), QStringLiteral("no_such_key"));
    }
}

void TestResourceBundle::nothingFoundEndsTheProgram()
{
    QTemporaryDir empty;
    QTemporaryDir holding;
    QVERIFY(makeBundle(holding.path()));

    const ToolResult found
        = runTool(testHelperPath(QStringLiteral("bundle_probe")), {empty.path(), holding.path()});
    QCOMPARE(found.exitCode, 0);
    QCOMPARE(found.standardOutput.trimmed(), (holding.path() + QLatin1Char('/') + bundleName).toUtf8());

    const ToolResult missing = runTool(testHelperPath(QStringLiteral("bundle_probe")), {empty.path()});
    QVERIFY(missing.exitCode != 0);
    QVERIFY2(
        missing.standardError.contains("unable to find bundle named KeyboardShortcuts_KeyboardShortcuts"),
        missing.standardError.constData());
}

QTEST_GUILESS_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
