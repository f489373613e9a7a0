#include "clipboard/ClipboardReadRules.h"
#include "support/TestTools.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QtEndian>

#include <optional>

using namespace ClipboardReadRules;

namespace {

constexpr qsizetype cap = 64 * 1024 * 1024;

constexpr TargetAtoms atoms {.utf8String = 300, .textPlainUtf8 = 301, .passwordHint = 302, .imagePng = 303};

// A valid BMP whose header claims other dimensions than its pixels have
// (the size is checked whatever the format).
QByteArray bmpClaiming(int width, int height)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(1, 1, QImage::Format_RGB32).save(&buffer, "BMP");
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    return bytes;
}

} // namespace

class TestClipboardReadRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void targetsInOrder_data();
    void targetsInOrder();
    void images_data();
    void images();
    void texts_data();
    void texts();
};

void TestClipboardReadRules::targetsInOrder_data()
{
    QTest::addColumn<QList<uint32_t>>("offered");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QList<uint32_t>>("images");
    QTest::addColumn<QList<uint32_t>>("texts");
    QTest::newRow("PNG first, then other decodable images; texts in their order")
        << QList<uint32_t> {31, 400, 300, 303, 401, 301}
        << QList<QByteArray> {"STRING",    "image/bmp",       "UTF8_STRING",
                              "image/png", "image/x-unknown", "text/plain"}
        << QList<uint32_t> {303, 400} << QList<uint32_t> {300, 301, 31};
    QTest::newRow("an empty reply") << QList<uint32_t> {} << QList<QByteArray> {} << QList<uint32_t> {}
                                    << QList<uint32_t> {};
    QTest::newRow("names missing") << QList<uint32_t> {400, 303} << QList<QByteArray> {}
                                   << QList<uint32_t> {303} << QList<uint32_t> {};
}

void TestClipboardReadRules::targetsInOrder()
{
    QFETCH(QList<uint32_t>, offered);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QList<uint32_t>, images);
    QFETCH(QList<uint32_t>, texts);
    // The TARGETS reply as the owner sends it, atoms in host order; a stray
    // tail shorter than an atom is ignored.
    QByteArray reply(reinterpret_cast<const char *>(offered.constData()),
                     offered.size() * qsizetype(sizeof(uint32_t)));
    reply.append("\x01\x02\x03", 3);
    const QList<uint32_t> targets = offeredTargets(reply, atoms);
    QCOMPARE(targets, offered);
    QList<uint32_t> imageTargets;
    for (const ImageCandidate &candidate : imageCandidates(targets, names, atoms, {"image/png", "image/bmp"}))
        imageTargets << candidate.target;
    QCOMPARE(imageTargets, images);
    QCOMPARE(textCandidates(targets, atoms), texts);
    // An owner without TARGETS is asked for text.
    QCOMPARE(textCandidates(offeredTargets(std::nullopt, atoms), atoms), (QList<uint32_t> {300, 31}));
}

void TestClipboardReadRules::images_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("decoded"); // invalid: nothing
    QTest::addColumn<bool>("tooLarge");
    QTest::newRow("12000x12000 header: refused before decoding")
        << bmpClaiming(12000, 12000) << QSize() << true;
    QTest::newRow("exactly at the cap: decoding is tried")
        << bmpClaiming(4096, 4096) << QSize(4096, 4096) << false; // header fits; pixels missing
    QTest::newRow("truncated") << filledPng({64, 64}, Qt::red).left(60) << QSize() << false;
    QTest::newRow("empty") << QByteArray() << QSize() << false;
}

void TestClipboardReadRules::images()
{
    QFETCH(QByteArray, data);
    QFETCH(QSize, decoded);
    QFETCH(bool, tooLarge);
    const DecodedImage image = decodeImage(data, "image/png", cap);
    QCOMPARE(image.tooLarge, tooLarge);
    QCOMPARE(image.image.has_value(), decoded.isValid());
    if (image.image)
        QCOMPARE(image.image->size(), decoded);
}

void TestClipboardReadRules::texts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("latin1");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 with a NUL terminator")
        << QByteArray("caf\xc3\xa9\0\0", 7) << false << QStringLiteral("café");
    QTest::newRow("invalid UTF-8") << QByteArray("a\xff"
                                                 "b")
                                   << false << QStringLiteral("a\uFFFDb");
    QTest::newRow("STRING is Latin-1") << QByteArray("caf\xe9") << true << QStringLiteral("café");
    QTest::newRow("inner NUL kept") << QByteArray("a\0b", 3) << false << QString::fromUtf16(u"a\0b", 3);
}

void TestClipboardReadRules::texts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, latin1);
    QFETCH(QString, text);
    QCOMPARE(decodeText(bytes, latin1), text);
}

QTEST_GUILESS_MAIN(TestClipboardReadRules)
#include "tst_clipboardreadrules.moc"
