#include "clipboard/tesseract/TesseractTextRecognizer.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

namespace {

// Lines drawn top to bottom, left-aligned, in DejaVu Sans.
QImage renderLines(const QStringList &lines, int pixelSize, QColor ink, QColor paper,
                   QImage::Format format = QImage::Format_RGB32)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    const int lineHeight = pixelSize * 2;
    QImage image(pixelSize * 30, lineHeight * (int(lines.size()) + 1), format);
    image.fill(paper);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(ink);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(pixelSize, lineHeight * (i + 1), lines.at(i));
    return image;
}

int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The recognised text matches the lines joined by single spaces, ignoring
// case, with at most one wrong character per line.
void verifyLines(const std::optional<QString> &result, const QStringList &lines)
{
    QVERIFY2(result.has_value(), "no text recognised");
    const QString expected = lines.join(QLatin1Char(' ')).toLower();
    const QString actual = result->toLower();
    QCOMPARE(actual.count(QLatin1Char(' ')), expected.count(QLatin1Char(' ')));
    QVERIFY2(editDistance(actual, expected) <= lines.size(),
             qPrintable(QStringLiteral("got \"%1\", expected \"%2\"").arg(actual, expected)));
}

const QStringList threeLines = {
    QStringLiteral("The quick brown fox jumps"),
    QStringLiteral("over the lazy dog at 10:45"),
    QStringLiteral("Clipboard history, page 3"),
};

} // namespace

class TesseractTextRecognizerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recognisesLinesInReadingOrder_data();
    void recognisesLinesInReadingOrder();
    void imagesWithoutTextYieldNothing_data();
    void imagesWithoutTextYieldNothing();
    void unusableImagesYieldNothingWithoutTheEngine_data();
    void unusableImagesYieldNothingWithoutTheEngine();
    void missingOrBrokenLanguagePackYieldsNothingAndSaysSoOnce_data();
    void missingOrBrokenLanguagePackYieldsNothingAndSaysSoOnce();
    void recognisesOnSeveralThreadsAtOnce();
};

void TesseractTextRecognizerTest::recognisesLinesInReadingOrder_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("dark on light") << renderLines(threeLines, 22, Qt::black, Qt::white);
    QTest::newRow("light on dark") << renderLines(threeLines, 22, QColor(230, 230, 230), QColor(30, 30, 40));
    QTest::newRow("coloured") << renderLines(threeLines, 18, QColor(20, 60, 160), QColor(250, 240, 200));
    // Black text on a transparent background must not turn into black on black.
    QTest::newRow("transparent background")
        << renderLines(threeLines, 22, Qt::black, Qt::transparent, QImage::Format_ARGB32_Premultiplied);
}

void TesseractTextRecognizerTest::recognisesLinesInReadingOrder()
{
    QFETCH(QImage, image);
    TesseractTextRecognizer recognizer;
    verifyLines(recognizer.recognize(image), threeLines);
}

void TesseractTextRecognizerTest::imagesWithoutTextYieldNothing_data()
{
    QTest::addColumn<QImage>("image");
    QImage white(800, 400, QImage::Format_RGB32);
    white.fill(Qt::white);
    QTest::newRow("white") << white;

    QImage gradient(640, 480, QImage::Format_RGB32);
    {
        QPainter painter(&gradient);
        QLinearGradient fill(0, 0, 640, 480);
        fill.setColorAt(0, QColor(40, 90, 200));
        fill.setColorAt(1, QColor(240, 200, 120));
        painter.fillRect(gradient.rect(), fill);
    }
    QTest::newRow("gradient") << gradient;
}

void TesseractTextRecognizerTest::imagesWithoutTextYieldNothing()
{
    QFETCH(QImage, image);
    TesseractTextRecognizer recognizer;
    const std::optional<QString> result = recognizer.recognize(image);
    QVERIFY2(!result.has_value(), qPrintable(result.value_or(QString())));
}

void TesseractTextRecognizerTest::unusableImagesYieldNothingWithoutTheEngine_data()
{
    QTest::addColumn<QImage>("image");
    QImage onePixel(1, 1, QImage::Format_RGB32);
    onePixel.fill(Qt::black);
    QTest::newRow("1x1") << onePixel;
    QImage thin(2, 500, QImage::Format_RGB32);
    thin.fill(Qt::black);
    QTest::newRow("2x500") << thin;
    QTest::newRow("null") << QImage();
    QImage valid = renderLines(threeLines, 20, Qt::black, Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    valid.save(&buffer, "PNG");
    png.truncate(png.size() / 3);
    png[20] = '\xff';
    QTest::newRow("corrupt png") << QImage::fromData(png, "PNG");
}

void TesseractTextRecognizerTest::unusableImagesYieldNothingWithoutTheEngine()
{
    QFETCH(QImage, image);
    // A recogniser whose engine cannot start would log on first use: no log
    // line means the engine was never asked.
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    TesseractTextRecognizer recognizer(QFile::encodeName(empty.path()));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QCOMPARE(recognizer.recognize(image), std::nullopt);
}

void TesseractTextRecognizerTest::missingOrBrokenLanguagePackYieldsNothingAndSaysSoOnce_data()
{
    QTest::addColumn<QByteArray>("packContent"); // empty: no pack file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("garbage") << QByteArray(4096, 'x');
    QTest::newRow("truncated") << QByteArray("\n");
}

void TesseractTextRecognizerTest::missingOrBrokenLanguagePackYieldsNothingAndSaysSoOnce()
{
    QFETCH(QByteArray, packContent);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!packContent.isEmpty()) {
        QFile pack(dir.filePath(QStringLiteral("eng.traineddata")));
        QVERIFY(pack.open(QIODevice::WriteOnly));
        pack.write(packContent);
    }
    TesseractTextRecognizer recognizer(QFile::encodeName(dir.path()));
    const QImage image = renderLines(threeLines, 22, Qt::black, Qt::white);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("cannot load the Tesseract language pack")));
    QCOMPARE(recognizer.recognize(image), std::nullopt);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QCOMPARE(recognizer.recognize(image), std::nullopt);
}

void TesseractTextRecognizerTest::recognisesOnSeveralThreadsAtOnce()
{
    const QList<QStringList> texts = {
        {QStringLiteral("First image speaks of apples"), QStringLiteral("and of pears")},
        {QStringLiteral("Second image lists ports 8080"), QStringLiteral("then 443 and 22")},
        {QStringLiteral("Third image holds a title"), QStringLiteral("under a heading")},
        {QStringLiteral("Fourth image closes the set"), QStringLiteral("with a footer")},
    };
    TesseractTextRecognizer recognizer;
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    const QList<std::optional<QString>> results
        = QtConcurrent::blockingMapped(&pool, texts, [&recognizer](const QStringList &lines) {
              return recognizer.recognize(renderLines(lines, 22, Qt::black, Qt::white));
          });
    QCOMPARE(results.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        verifyLines(results.at(i), texts.at(i));
}

QTEST_MAIN(TesseractTextRecognizerTest)
#include "tst_tesseracttextrecognizer.moc"
