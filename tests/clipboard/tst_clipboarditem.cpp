#include "clipboard/ClipboardItem.h"

#include <QColorSpace>
#include <QTest>

class TestClipboardItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textEquality_data();
    void textEquality();
    void imageEquality_data();
    void imageEquality();
    void textNeverEqualsImage();
    void extractedTextAndIdIgnored();
};

void TestClipboardItem::textEquality_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("equal");

    QTest::newRow("same") << QStringLiteral("hello") << QStringLiteral("hello") << true;
    QTest::newRow("trailing blank") << QStringLiteral("hello") << QStringLiteral("hello ") << false;
    QTest::newRow("case") << QStringLiteral("Hello") << QStringLiteral("hello") << false;
    QTest::newRow("precomposed vs combining")
        << QStringLiteral("caf\u00e9") << QStringLiteral("cafe\u0301") << true;
    QTest::newRow("hangul syllable vs jamo")
        << QStringLiteral("\uac00") << QStringLiteral("\u1100\u1161") << true;
    // Compatibility equivalents are different texts.
    QTest::newRow("ligature fi") << QStringLiteral("\ufb01") << QStringLiteral("fi") << false;
    QTest::newRow("combining order") << QStringLiteral("a\u0323\u0307") << QStringLiteral("a\u0307\u0323")
                                     << true;
    QTest::newRow("empty vs blank") << QString() << QStringLiteral(" ") << false;
}

void TestClipboardItem::textEquality()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, equal);
    const ClipboardItem x = ClipboardItem::fromText(a);
    const ClipboardItem y = ClipboardItem::fromText(b);
    QVERIFY(x.id() != y.id());
    QCOMPARE(x == y, equal);
    QCOMPARE(y == x, equal);
}

static QImage filled(QSize size, QColor colour, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

void TestClipboardItem::imageEquality_data()
{
    QTest::addColumn<QImage>("a");
    QTest::addColumn<QImage>("b");
    QTest::addColumn<bool>("equal");

    const QImage red = filled({4, 3}, Qt::red);
    QImage redWithDot = red.copy();
    redWithDot.setPixel(3, 2, qRgb(255, 0, 1));
    QImage redInDisplayP3 = red.copy();
    redInDisplayP3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));

    QTest::newRow("same object") << red << red << true;
    QTest::newRow("distinct objects, same pixels") << red << filled({4, 3}, Qt::red) << true;
    QTest::newRow("one pixel differs") << red << redWithDot << false;
    QTest::newRow("different size") << red << filled({3, 4}, Qt::red) << false;
    QTest::newRow("different format, same look")
        << red << filled({4, 3}, Qt::red, QImage::Format_RGB32) << false;
    QTest::newRow("different colour space") << red << redInDisplayP3 << false;
    QTest::newRow("both encode to nothing") << QImage() << QImage() << true;
    QTest::newRow("only one encodes to nothing") << red << QImage() << false;
}

void TestClipboardItem::imageEquality()
{
    QFETCH(QImage, a);
    QFETCH(QImage, b);
    QFETCH(bool, equal);
    const ClipboardItem x = ClipboardItem::fromImage(a);
    const ClipboardItem y = ClipboardItem::fromImage(b);
    QCOMPARE(x == y, equal);
    QCOMPARE(y == x, equal);
}

void TestClipboardItem::textNeverEqualsImage()
{
    const ClipboardItem text = ClipboardItem::fromText(QStringLiteral("x"));
    const ClipboardItem image = ClipboardItem::fromImage(filled({1, 1}, Qt::black));
    QVERIFY(!(text == image));
    QVERIFY(!(image == text));
    // An item holding both compares by its text when the other has text.
    const ClipboardItem both(QUuid::createUuid(), QStringLiteral("x"), filled({1, 1}, Qt::white));
    QVERIFY(both == text);
    QVERIFY(!(both == image)); // different pictures
}

void TestClipboardItem::extractedTextAndIdIgnored()
{
    const QImage picture = filled({2, 2}, Qt::blue);
    ClipboardItem a = ClipboardItem::fromImage(picture);
    const ClipboardItem b = ClipboardItem::fromImage(picture);
    a.setExtractedText(QStringLiteral("words"));
    QVERIFY(a == b);
    QCOMPARE(a.extractedText(), std::optional<QString>(QStringLiteral("words")));
    QVERIFY(!b.extractedText());
}

QTEST_GUILESS_MAIN(TestClipboardItem)
#include "tst_clipboarditem.moc"
