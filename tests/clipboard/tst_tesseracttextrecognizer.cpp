#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "support/EditDistance.h"

#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

namespace {

// Lines drawn top to bottom, left-aligned, in DejaVu Sans.
QImage renderLines(const QStringList &lines, QColor ink, QColor paper,
                   QImage::Format format = QImage::Format_RGB32)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    QImage image(22 * 30, 44 * (int(lines.size()) + 1), format);
    image.fill(paper);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(ink);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(22, 44 * (i + 1), lines.at(i));
    return image;
}

} // namespace

class TesseractTextRecognizerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recognisesLinesInReadingOrderOnSeveralThreads();
    void yieldsNothing_data();
    void yieldsNothing();
};

// Each image's own lines, joined by single spaces, ignoring case, with at most
// one wrong character per line, while three recognitions run at once.
void TesseractTextRecognizerTest::recognisesLinesInReadingOrderOnSeveralThreads()
{
    const QStringList lines1 = {u"The quick brown fox jumps"_qs, u"over the lazy dog at 10:45"_qs};
    const QStringList lines2 = {u"Second image lists ports 8080"_qs, u"then 443 and 22"_qs};
    const QStringList lines3 = {u"Third image holds a title"_qs, u"under a heading"_qs};
    const QList<std::pair<QStringList, QImage>> cases = {
        {lines1, renderLines(lines1, Qt::black, Qt::white)},
        {lines2, renderLines(lines2, QColor(230, 230, 230), QColor(30, 30, 40))},
        // Black text on a transparent background must not turn into black on black.
        {lines3, renderLines(lines3, Qt::black, Qt::transparent, QImage::Format_ARGB32_Premultiplied)},
    };
    TesseractTextRecognizer recognizer;
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    const QList<std::optional<QString>> results
        = QtConcurrent::blockingMapped(&pool, cases, [&recognizer](const std::pair<QStringList, QImage> &c) {
              return recognizer.recognize(c.second);
          });
    for (int i = 0; i < cases.size(); ++i) {
        QVERIFY2(results.at(i).has_value(), "no text recognised");
        const QString expected = cases.at(i).first.join(QLatin1Char(' ')).toLower();
        const QString actual = results.at(i)->toLower();
        QVERIFY2(actual.count(QLatin1Char(' ')) == expected.count(QLatin1Char(' '))
                     && editDistance(actual, expected) <= cases.at(i).first.size(),
                 qPrintable(u"got \"%1\", expected \"%2\""_qs.arg(actual, expected)));
    }
}

void TesseractTextRecognizerTest::yieldsNothing_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("pack"); // the language pack; "installed": Debian's
    QTest::addColumn<bool>("warns"); // once, that the pack cannot be loaded
    QImage gradient(640, 480, QImage::Format_RGB32);
    QPainter painter(&gradient);
    QLinearGradient fill(0, 0, 640, 480);
    fill.setColorAt(0, QColor(40, 90, 200));
    fill.setColorAt(1, QColor(240, 200, 120));
    painter.fillRect(gradient.rect(), fill);
    painter.end();
    QImage thin(2, 500, QImage::Format_RGB32);
    thin.fill(Qt::black);
    const QImage words = renderLines({u"Some words"_qs}, Qt::black, Qt::white);
    QTest::newRow("no text") << gradient << QByteArray("installed") << false;
    // Too small: never handed to the engine, which would say it
    // cannot start.
    QTest::newRow("2x500") << thin << QByteArray() << false;
    QTest::newRow("missing pack") << words << QByteArray() << true;
    QTest::newRow("garbage pack") << words << QByteArray(4096, 'x') << true;
}

void TesseractTextRecognizerTest::yieldsNothing()
{
    QFETCH(QImage, image);
    QFETCH(QByteArray, pack);
    QFETCH(bool, warns);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!pack.isEmpty() && pack != "installed") {
        QFile file(dir.filePath(QStringLiteral("eng.traineddata")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pack);
    }
    TesseractTextRecognizer recognizer(pack == "installed" ? QByteArray() : QFile::encodeName(dir.path()));
    if (warns) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("cannot load the Tesseract language pack")));
        QCOMPARE(recognizer.recognize(image), std::nullopt);
    }
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    const std::optional<QString> result = recognizer.recognize(image);
    QVERIFY2(!result.has_value(), qPrintable(result.value_or(QString())));
}

QTEST_MAIN(TesseractTextRecognizerTest)
#include "tst_tesseracttextrecognizer.moc"
