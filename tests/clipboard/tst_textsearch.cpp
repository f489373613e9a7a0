#include "clipboard/TextSearch.h"

#include <QRandomGenerator>
#include <QTest>

// The search behind the quick-paste filter: the byte search against a plain
// reference on texts built to hit its vector blocks, tails and fallback, and
// the search form's folding.
class TestTextSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findAgreesWithPlainSearch_data();
    void findAgreesWithPlainSearch();
    void findOnRandomTexts();
    void searchForm_data();
    void searchForm();
};

void TestTextSearch::findAgreesWithPlainSearch_data()
{
    QTest::addColumn<QByteArray>("haystack");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<qsizetype>("from");

    const QByteArray log = QByteArray("2024-05-01 12:00:00 INFO request served in 12 ms\n").repeated(2000);
    QTest::newRow("empty needle") << log << QByteArray() << qsizetype(17);
    QTest::newRow("present only at the very end")
        << QByteArray(log + "invoice") << QByteArray("invoice") << qsizetype(0);
    // Every second position is a near-match that fails only at its end: the
    // vector scan's candidates keep failing and the search hands over to the
    // two-way search.
    const QByteArray nearMatches = QByteArray("zq").repeated(150000);
    const QByteArray lateNeedle = QByteArray("zq").repeated(100) + "zz";
    QTest::newRow("near-matches, no match") << nearMatches << lateNeedle << qsizetype(0);
    QTest::newRow("near-matches, match at the end")
        << QByteArray(nearMatches + lateNeedle) << lateNeedle << qsizetype(3);
}

void TestTextSearch::findAgreesWithPlainSearch()
{
    QFETCH(QByteArray, haystack);
    QFETCH(QByteArray, needle);
    QFETCH(qsizetype, from);
    const qsizetype expected = from > haystack.size() ? -1 : QByteArrayView(haystack).indexOf(needle, from);
    QCOMPARE(TextSearch::find(haystack, needle, from), expected);
}

void TestTextSearch::findOnRandomTexts()
{
    // A small alphabet makes matches and near-matches frequent at every
    // offset of the 16- and 32-byte blocks.
    QRandomGenerator random(20240501);
    for (int round = 0; round < 3000; ++round) {
        const int length = random.bounded(0, 200);
        QByteArray haystack(length, Qt::Uninitialized);
        for (char &c : haystack)
            c = char('a' + random.bounded(3));
        QByteArray needle(random.bounded(1, 7), Qt::Uninitialized);
        for (char &c : needle)
            c = char('a' + random.bounded(3));
        const qsizetype from = random.bounded(0, length + 2);
        const qsizetype expected = from > length ? -1 : QByteArrayView(haystack).indexOf(needle, from);
        QVERIFY2(TextSearch::find(haystack, needle, from) == expected,
                 qPrintable(QStringLiteral("\"%1\" in \"%2\" from %3")
                                .arg(QString::fromLatin1(needle), QString::fromLatin1(haystack))
                                .arg(from)));
    }
}

void TestTextSearch::searchForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("found");

    QTest::newRow("ASCII capitals") << u"Invoice 42 PAID"_qs << u"paid"_qs << true;
    QTest::newRow("accented capitals") << u"\u00c4RGER \u00dcBER"_qs << u"\u00e4rger \u00fc"_qs << true;
    QTest::newRow("Kelvin sign is a k") << u"\u212aelvin"_qs << u"kel"_qs << true;
    QTest::newRow("composed text, decomposed search") << u"caf\u00e9 au lait"_qs << u"cafe\u0301"_qs << true;
    QTest::newRow("simple folding: sharp s stays") << u"STRASSE"_qs << u"stra\u00dfe"_qs << false;
    QTest::newRow("outside the BMP") << u"x\U00010400y"_qs << u"\U00010428"_qs << true;
    QTest::newRow("accent is not optional") << u"resume"_qs << u"r\u00e9sum\u00e9"_qs << false;
}

void TestTextSearch::searchForm()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, found);
    const QByteArray form = TextSearch::searchForm(text);
    // The UTF-8 path (ASCII shortcut included) gives the same form.
    QCOMPARE(TextSearch::searchFormOfUtf8(text.toUtf8()), form);
    QCOMPARE(TextSearch::find(form, TextSearch::searchForm(search)) >= 0, found);
}

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
