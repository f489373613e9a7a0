#include "views/ColorStringParser.h"

#include <QDebug>
#include <QTest>

#include <cmath>

// One row per notation and rule; hsl() results are compared through their
// RGB conversion.
class TestColorStringParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colours_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QColor>("expected");

        const QColor red = QColor::fromRgbF(1, 0, 0);
        const QColor halfRed = QColor::fromRgbF(1, 0, 0, 0.5);
        const QColor orange = QColor::fromRgbF(1, 128 / 255.0f, 0);
        QTest::newRow("3 digits, no hash, line break") << u"fff\n"_qs << QColor::fromRgbF(1, 1, 1);
        QTest::newRow("6 digits, blanks around") << u"  #FfFf00\t"_qs << QColor::fromRgbF(1, 1, 0);
        QTest::newRow("8 digits") << u"#ff000080"_qs << QColor::fromRgbF(1, 0, 0, 128 / 255.0f);

        QTest::newRow("RGB, tabs, trailing text") << u"RGB(255\t0\t0) is red"_qs << red;
        QTest::newRow("rgb percent") << u"rgb(100%, 0%, 0%)"_qs << red;
        QTest::newRow("rgba 50%") << u"rgba(255,0,0,50%)"_qs << halfRed;
        QTest::newRow("rgb slash") << u"rgb(255 0 0 / 0.5)"_qs << halfRed;
        QTest::newRow("rgba bad opacity is opaque") << u"rgba(255, 0, 0, half)"_qs << red;
        QTest::newRow("rgba fifth piece ignored") << u"rgba(255, 0, 0, 0.5, 7)"_qs << halfRed;
        QTest::newRow("rgb 300 unclamped") << u"rgb(300, 0, 0)"_qs << QColor::fromRgbF(300 / 255.0f, 0, 0);
        QTest::newRow("rgb exponent and .5") << u"rgb(2.55e2, .0, 0.)"_qs << red;

        QTest::newRow("hsl deg, turns around") << u"hsl(480deg 100% 50%)"_qs << QColor::fromRgbF(0, 1, 0);
        QTest::newRow("hsla commas") << u"hsla(240, 100%, 50%, 0.25)"_qs << QColor::fromRgbF(0, 0, 1, 0.25);

        QTest::newRow("numbers, empty pieces dropped")
            << u"255,,128, 0, 0.5"_qs << QColor::fromRgbF(1, 128 / 255.0f, 0, 0.5);
        QTest::newRow("small numbers are still 0...255")
            << u"1, 0.5, 0"_qs << QColor::fromRgbF(1 / 255.0f, 0.5f / 255, 0);

        QTest::newRow("UIColor 0...1")
            << u"UIColor(red: 1, green: 0.5, blue: 0, alpha: 1)"_qs << QColor::fromRgbF(1, 0.5, 0);
        QTest::newRow("Color 0...255") << u"Color(red: 255, green: 128, blue: 0)"_qs << orange;
        QTest::newRow("color unknown names skipped, no closing parenthesis")
            << u"color(red: 1, hue: 3, green: 0, blue: 0, red: x"_qs << red;
        QTest::newRow("Color opacity, later wins")
            << u"Color(red: 1, green: 0, blue: 0, opacity: 0.2, alpha: 0.5)"_qs << halfRed;
    }

    void colours()
    {
        QFETCH(QString, input);
        QFETCH(QColor, expected);
        const std::optional<QColor> colour = parseColorString(input);
        QVERIFY2(colour && colour->isValid(), qPrintable(input));
        // Extended sRGB is stored in half floats.
        const auto near = [](float a, float b) { return std::abs(a - b) < 2e-3; };
        QVERIFY2(near(colour->redF(), expected.redF()) && near(colour->greenF(), expected.greenF())
                     && near(colour->blueF(), expected.blueF()) && near(colour->alphaF(), expected.alphaF()),
                 qPrintable(QDebug::toString(*colour)));
    }

    void notColours_data()
    {
        QTest::addColumn<QString>("input");
        for (const QString &input : {
                 u"#ffff"_qs,
                 u"#ggg"_qs,
                 u"rgb(255, 0)"_qs,
                 u"rgb(255, 0, 0"_qs,
                 u"rgb(1e999, 0, 0)"_qs,
                 u"rgb(0x10, 0, 0)"_qs,
                 u"hsl(green, 100%, 50%)"_qs,
                 u"256, 0, 0"_qs,
                 u"-1, 0, 0"_qs,
                 u"255, 0, 0, 1, 1"_qs,
                 u"255, 0, 0, x"_qs,
                 u"25 5, 0, 0"_qs,
                 u"Color(red: 1, green: 0)"_qs,
                 u"Color(1, 0, 0)"_qs,
                 u"red"_qs,
                 u",,,,"_qs,
                 u"\u0661, 2, 3"_qs,
                 QString::fromUtf16(u"#ff\0fff", 7),
             })
            QTest::newRow(qPrintable(input)) << input;
        QTest::newRow("long garbage") << QString(100000, u'(') + QString(100000, u',');
    }

    void notColours()
    {
        QFETCH(QString, input);
        const std::optional<QColor> colour = parseColorString(input);
        QVERIFY2(!colour, colour ? qPrintable(colour->name(QColor::HexArgb)) : "");
    }
};

QTEST_GUILESS_MAIN(TestColorStringParser)
#include "tst_colorstringparser.moc"
