#include "clipboard/ClipboardItem.h"
#include "support/PngBytes.h"

#include <QBuffer>
#include <QColorSpace>
#include <QTest>

// The history's entries and their prepared content: equality (quick and
// exact), the display text, the thumbnail and the stored image bytes.
class TestClipboardItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void equality_data();
    void equality();
    void preparedText_data();
    void preparedText();
    void thumbnailFitsTheLargestRow_data();
    void thumbnailFitsTheLargestRow();
    void mislabelledImageStoredAsPng();
};

// Checks a == b both ways, and that the quick comparison, when it decides,
// decides the same.
static void compareBothWays(const ClipboardItem &x, const ClipboardItem &y, bool equal)
{
    QCOMPARE(x == y, equal);
    QCOMPARE(y == x, equal);
    if (const std::optional<bool> quick = ClipboardItem::quickCompare(x, y))
        QCOMPARE(*quick, equal);
}

static QImage filled(QSize size, QColor colour, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

void TestClipboardItem::equality_data()
{
    QTest::addColumn<ClipboardItem>("a");
    QTest::addColumn<ClipboardItem>("b");
    QTest::addColumn<bool>("equal");
    // Only contents whose hashes match but whose bytes differ need decoding.
    QTest::addColumn<bool>("needsDecoding");

    const auto texts = [](const char *name, const QString &a, const QString &b, bool equal) {
        QTest::newRow(name) << ClipboardItem::fromText(a) << ClipboardItem::fromText(b) << equal
                            << (equal && a != b);
    };
    texts("trailing blank", u"hello"_qs, u"hello "_qs, false);
    // Compatibility equivalents are different texts.
    texts("ligature fi", u"\ufb01"_qs, u"fi"_qs, false);
    texts("combining order", u"a\u0323\u0307"_qs, u"a\u0307\u0323"_qs, true);
    texts("prefix plus combining mark", u"e"_qs, u"e\u0301"_qs, false);
    texts("same accented start, different end", u"\u00e9t\u00e91"_qs, u"e\u0301te\u03012"_qs, false);
    texts("equivalent after a long equal prefix", QString(9000, u'a') + u"\u00e9"_qs,
          QString(9000, u'a') + u"e\u0301"_qs, true);
    texts("differ only in the last of a million characters", QString(1 << 20, u'x') + u'1',
          QString(1 << 20, u'x') + u'2', false);
    texts("empty vs blank", QString(), u" "_qs, false);

    const QImage red = filled({4, 3}, Qt::red);
    QImage redWithDot = red.copy();
    redWithDot.setPixel(3, 2, qRgb(255, 0, 1));
    QImage redInDisplayP3 = red.copy();
    redInDisplayP3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const ClipboardItem redItem = ClipboardItem::fromImage(red);
    ClipboardItem redWithWords = ClipboardItem::fromImage(red);
    redWithWords.setExtractedText(u"Words"_qs);
    const ClipboardItem text = ClipboardItem::fromText(u"x"_qs);
    // An item holding both compares by its text when the other has text.
    const ClipboardItem both(QUuid::createUuid(), ClipboardText::fromString(u"x"_qs),
                             ClipboardImage::fromImage(filled({1, 1}, Qt::white)));

    QTest::newRow("distinct pictures, same pixels")
        << redItem << ClipboardItem::fromImage(red.copy()) << true << false;
    QTest::newRow("recognised text ignored") << redItem << redWithWords << true << false;
    QTest::newRow("one pixel differs") << redItem << ClipboardItem::fromImage(redWithDot) << false << false;
    QTest::newRow("different size") << redItem << ClipboardItem::fromImage(filled({3, 4}, Qt::red)) << false
                                    << false;
    QTest::newRow("different format, same look")
        << redItem << ClipboardItem::fromImage(filled({4, 3}, Qt::red, QImage::Format_RGB32)) << false
        << false;
    QTest::newRow("different colour space")
        << redItem << ClipboardItem::fromImage(redInDisplayP3) << false << false;
    QTest::newRow("both encode to nothing")
        << ClipboardItem::fromImage(QImage()) << ClipboardItem::fromImage(QImage()) << true << false;
    QTest::newRow("only one encodes to nothing")
        << redItem << ClipboardItem::fromImage(QImage()) << false << false;
    QTest::newRow("text vs image") << text << ClipboardItem::fromImage(filled({1, 1}, Qt::white)) << false
                                   << false;
    QTest::newRow("text and image vs text") << both << text << true << false;
    QTest::newRow("text and image vs another image") << both << redItem << false << false;

    // A screenshot-sized picture whose owners compress it differently: the
    // bytes differ, the pixels do not.
    QImage shot(1920, 1080, QImage::Format_RGB32);
    shot.fill(QColor(30, 60, 90));
    for (int x = 0; x < shot.width(); x += 7)
        shot.setPixel(x, x % shot.height(), qRgb(x % 256, 200, 17));
    const QByteArray ownersPng = pngBytes(shot, 0);
    QTest::newRow("owner's PNG vs our own encoding")
        << ClipboardItem(QUuid::createUuid(), std::nullopt,
                         ClipboardImage::fromPng(ownersPng, QImage::fromData(ownersPng, "PNG")))
        << ClipboardItem::fromImage(shot) << true << true;
}

void TestClipboardItem::equality()
{
    QFETCH(ClipboardItem, a);
    QFETCH(ClipboardItem, b);
    QFETCH(bool, equal);
    QFETCH(bool, needsDecoding);
    compareBothWays(a, b, equal);
    QCOMPARE(!ClipboardItem::quickCompare(a, b).has_value(), needsDecoding);
}

// The prepared text, from the owner's bytes or from a string: what readers
// see (invalid bytes decoded as Qt does) and what the list shows.
void TestClipboardItem::preparedText_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("cut");
    QTest::newRow("leading and inner kept") << QByteArray("  a  \n\n  b\r\n") << u"  a  \n\n  b"_qs << false;
    QTest::newRow("multi-byte blanks") << u"x\u00a0\u2003\u3000"_qs.toUtf8() << u"x"_qs << false;
    QTest::newRow("only blanks") << u" \n\t\u2028"_qs.toUtf8() << QString() << false;
    const QByteArray invalid("a\xff\xfe"
                             "b\xed\xa0\x80z\xe2\x98");
    QTest::newRow("invalid and cut sequences") << invalid << QString::fromUtf8(invalid) << false;
    QTest::newRow("inner NUL") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3) << false;

    const qsizetype max = ClipboardText::maxDisplayLength;
    QTest::newRow("longest, then blanks")
        << QString(QString(max, u'a') + QString(100000, u' ')).toUtf8() << QString(max, u'a') << false;
    QTest::newRow("one more is cut") << QByteArray(max + 1, 'a') << QString(max, u'a') << true;
    QTest::newRow("not inside a surrogate pair")
        << QString(QString(max - 1, u'a') + u"\U0001F600tail"_qs).toUtf8() << QString(max - 1, u'a') << true;
    QTest::newRow("three-byte characters")
        << QString(2 * max, QChar(0x20ac)).toUtf8() << QString(max, QChar(0x20ac)) << true;
}

void TestClipboardItem::preparedText()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QString, shown);
    QFETCH(bool, cut);
    const QString decoded = QString::fromUtf8(utf8);
    for (const ClipboardText &text : {ClipboardText::fromUtf8(utf8), ClipboardText::fromString(decoded)}) {
        QCOMPARE(text.toString(), decoded);
        QCOMPARE(text.size(), decoded.size());
        QCOMPARE(text.displayText(), shown);
        QCOMPARE(text.isDisplayTextCut(), cut);
        QCOMPARE(text.isBlank(), decoded.trimmed().isEmpty());
    }
    // The same text arriving as bytes or as a string is the same entry.
    QCOMPARE(ClipboardText::quickCompare(ClipboardText::fromUtf8(utf8), ClipboardText::fromString(decoded)),
             std::optional<bool>(true));
}

void TestClipboardItem::thumbnailFitsTheLargestRow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("thumbnail");
    QTest::newRow("wide banner") << QSize(3000, 100) << QSize(576, 19);
    QTest::newRow("tall strip") << QSize(100, 3000) << QSize(2, 72);
    QTest::newRow("exactly the box") << QSize(576, 72) << QSize(576, 72);
}

void TestClipboardItem::thumbnailFitsTheLargestRow()
{
    QFETCH(QSize, size);
    QFETCH(QSize, thumbnail);
    const ClipboardImage image
        = ClipboardImage::fromImage(filled(size, QColor(20, 140, 60), QImage::Format_RGB32));
    QCOMPARE(image.size(), size);
    QCOMPARE(image.thumbnail().size(), thumbnail);
    QCOMPARE(image.thumbnail().pixelColor(thumbnail.width() / 2, thumbnail.height() / 2),
             QColor(20, 140, 60));
}

// Other data labelled PNG is stored as PNG.
void TestClipboardItem::mislabelledImageStoredAsPng()
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(QColor(30, 60, 90));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG");
    const QImage decoded = QImage::fromData(jpeg);
    const ClipboardImage mislabelled = ClipboardImage::fromPng(jpeg, decoded);
    QVERIFY(mislabelled.png().startsWith("\x89PNG"));
    QCOMPARE(mislabelled.decode(), decoded);
}

QTEST_GUILESS_MAIN(TestClipboardItem)
#include "tst_clipboarditem.moc"
