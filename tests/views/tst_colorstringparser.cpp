#include "views/ColorStringParser.h"

#include <QDebug>
#include <QTest>

#include <cmath>

// Expected colours as sRGB components; hsl() results are compared through
// their RGB conversion.
struct Rgba
{
    double r, g, b, a;
};
Q_DECLARE_METATYPE(Rgba)

class TestColorStringParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colours_data();
    void colours();
    void notColours_data();
    void notColours();
};

static Rgba rgba(double r, double g, double b, double a = 1)
{
    return {r, g, b, a};
}

void TestColorStringParser::colours_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<Rgba>("expected");

    const Rgba white = rgba(1, 1, 1);
    const Rgba red = rgba(1, 0, 0);
    const Rgba halfRed = rgba(1, 0, 0, 0.5);
    const Rgba orange = rgba(1, 128 / 255.0, 0);

    QTest::newRow("#FFF") << QStringLiteral("#FFF") << white;
    QTest::newRow("fff + line break") << QStringLiteral("fff\n") << white;
    QTest::newRow("blanks around hex") << QStringLiteral("  #FfFfFf\t") << white;
    QTest::newRow("#ff000080") << QStringLiteral("#ff000080") << rgba(1, 0, 0, 128 / 255.0);
    QTest::newRow("#123") << QStringLiteral("#123") << rgba(0x11 / 255.0, 0x22 / 255.0, 0x33 / 255.0);

    QTest::newRow("RGB(255, 0, 0)") << QStringLiteral("RGB(255, 0, 0)") << red;
    QTest::newRow("rgb percent") << QStringLiteral("rgb(100%, 0%, 0%)") << red;
    QTest::newRow("rgb tab separated") << QStringLiteral("rgb(255\t0\t0)") << red;
    QTest::newRow("rgb trailing text ignored") << QStringLiteral("rgb(255,0,0) is red") << red;
    QTest::newRow("rgba 0.5") << QStringLiteral("rgba(255, 0, 0, 0.5)") << halfRed;
    QTest::newRow("rgba 50%") << QStringLiteral("rgba(255,0,0,50%)") << halfRed;
    QTest::newRow("rgb slash") << QStringLiteral("rgb(255 0 0 / 0.5)") << halfRed;
    QTest::newRow("rgba bad opacity is opaque") << QStringLiteral("rgba(255, 0, 0, half)") << red;
    QTest::newRow("rgba fifth piece ignored") << QStringLiteral("rgba(255, 0, 0, 0.5, 7)") << halfRed;
    QTest::newRow("rgb 300 unclamped") << QStringLiteral("rgb(300, 0, 0)") << rgba(300 / 255.0, 0, 0);
    QTest::newRow("rgb exponent and .5") << QStringLiteral("rgb(2.55e2, .0, 0.)") << red;

    QTest::newRow("hsl commas") << QStringLiteral("hsl(120, 100%, 50%)") << rgba(0, 1, 0);
    QTest::newRow("hsl deg") << QStringLiteral("hsl(120deg 100% 50%)") << rgba(0, 1, 0);
    QTest::newRow("hsl black") << QStringLiteral("hsl(0, 0%, 0%)") << rgba(0, 0, 0);
    QTest::newRow("hsla opacity") << QStringLiteral("hsla(240, 100%, 50%, 0.25)") << rgba(0, 0, 1, 0.25);
    QTest::newRow("hsl 480deg turns around") << QStringLiteral("hsl(480, 100%, 50%)") << rgba(0, 1, 0);

    QTest::newRow("255, 128, 0") << QStringLiteral("255, 128, 0") << orange;
    QTest::newRow("1, 0.5, 0") << QStringLiteral("1, 0.5, 0") << rgba(1 / 255.0, 0.5 / 255.0, 0);
    QTest::newRow("255, 0, 0, 0.5") << QStringLiteral("255, 0, 0, 0.5") << halfRed;
    QTest::newRow("empty pieces dropped") << QStringLiteral("255,,0,0") << red;

    QTest::newRow("UIColor 0...1") << QStringLiteral("UIColor(red: 1, green: 0.5, blue: 0, alpha: 1)")
                                   << rgba(1, 0.5, 0);
    QTest::newRow("Color 0...255") << QStringLiteral("Color(red: 255, green: 128, blue: 0)") << orange;
    QTest::newRow("Color no closing parenthesis") << QStringLiteral("color(red: 1, green: 0, blue: 0") << red;
    QTest::newRow("Color opacity, later wins")
        << QStringLiteral("Color(red: 1, green: 0, blue: 0, opacity: 0.2, alpha: 0.5)") << halfRed;
    QTest::newRow("Color unknown names skipped")
        << QStringLiteral("Color(red: 1, hue: 3, green: 0, blue: 0, red: x)") << red;
}

static bool near(double actual, double expected)
{
    return std::abs(actual - expected) < 2e-3; // extended sRGB is stored in half floats
}

void TestColorStringParser::colours()
{
    QFETCH(QString, input);
    QFETCH(Rgba, expected);
    const std::optional<QColor> colour = parseColorString(input);
    QVERIFY2(colour && colour->isValid(), qPrintable(input));
    QVERIFY2(near(colour->redF(), expected.r) && near(colour->greenF(), expected.g)
                 && near(colour->blueF(), expected.b) && near(colour->alphaF(), expected.a),
             qPrintable(QDebug::toString(*colour)));
}

void TestColorStringParser::notColours_data()
{
    QTest::addColumn<QString>("input");

    QTest::newRow("four hex digits") << QStringLiteral("#ffff");
    QTest::newRow("two hashes") << QStringLiteral("##fff");
    QTest::newRow("not hex") << QStringLiteral("#ggg");
    QTest::newRow("rgb two values") << QStringLiteral("rgb(255, 0)");
    QTest::newRow("rgb no closing") << QStringLiteral("rgb(255, 0, 0");
    QTest::newRow("rgb closing before opening") << QStringLiteral("rgb)(");
    QTest::newRow("rgb word") << QStringLiteral("rgb(red, green, blue)");
    QTest::newRow("rgb sentence") << QStringLiteral("rgb(this is not) a colour, really, no");
    QTest::newRow("rgb infinity") << QStringLiteral("rgb(inf, 0, 0)");
    QTest::newRow("rgb nan") << QStringLiteral("rgb(nan, 0, 0)");
    QTest::newRow("rgb overflow") << QStringLiteral("rgb(1e999, 0, 0)");
    QTest::newRow("rgb hexadecimal number") << QStringLiteral("rgb(0x10, 0, 0)");
    QTest::newRow("rgb lone percent") << QStringLiteral("rgb(%, 0, 0)");
    QTest::newRow("hsl missing") << QStringLiteral("hsl(120, 100%)");
    QTest::newRow("hsl bad hue") << QStringLiteral("hsl(green, 100%, 50%)");
    QTest::newRow("256, 0, 0") << QStringLiteral("256, 0, 0");
    QTest::newRow("negative channel") << QStringLiteral("-1, 0, 0");
    QTest::newRow("five numbers") << QStringLiteral("255, 0, 0, 1, 1");
    QTest::newRow("two numbers") << QStringLiteral("255, 0");
    QTest::newRow("bad fourth") << QStringLiteral("255, 0, 0, x");
    QTest::newRow("inner blank") << QStringLiteral("25 5, 0, 0");
    QTest::newRow("blue missing") << QStringLiteral("Color(red: 1, green: 0)");
    QTest::newRow("empty initialiser") << QStringLiteral("color(red:)");
    QTest::newRow("initialiser without red label") << QStringLiteral("Color(1, 0, 0)");
    QTest::newRow("colour name red") << QStringLiteral("red");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral(" \n\t ");
    QTest::newRow("commas only") << QStringLiteral(",,,,");
    QTest::newRow("parentheses only") << QStringLiteral("rgb(((((");
    QTest::newRow("non-ASCII digits") << QStringLiteral("\u0661, 2, 3");
    QTest::newRow("sentence with commas") << QStringLiteral("Hello, world, again");
    QTest::newRow("long garbage") << QString(100000, u'(') + QString(100000, u',');
    QTest::newRow("embedded NUL") << QString::fromUtf16(u"#ff\0fff", 7);
}

void TestColorStringParser::notColours()
{
    QFETCH(QString, input);
    const std::optional<QColor> colour = parseColorString(input);
    QVERIFY2(!colour, colour ? qPrintable(colour->name(QColor::HexArgb)) : "");
}

QTEST_GUILESS_MAIN(TestColorStringParser)
#include "tst_colorstringparser.moc"
