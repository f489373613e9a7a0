#include "views/ColorStringParser.h"

#include <QList>
#include <QRegularExpression>
#include <QStringView>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Blanks that separate components: white space other than line breaks.
bool isBlank(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x85:
    case 0x2028:
    case 0x2029:
        return false;
    default:
        return c.isSpace();
    }
}

QString trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.sliced(begin, end - begin).toString();
}

QStringList splitAtBlanks(const QString &s)
{
    QStringList pieces;
    QString current;
    for (QChar c : s) {
        if (isBlank(c)) {
            if (!current.isEmpty())
                pieces.append(std::exchange(current, {}));
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        pieces.append(current);
    return pieces;
}

// The whole string as a decimal number in the C locale: an optional sign,
// digits with an optional fraction (".5" and "5." too), an optional exponent.
// No surrounding blanks. Infinities, NaN and hexadecimal are refused, and so
// is anything that overflows: a colour component must be a finite number.
std::optional<double> readNumber(QStringView s)
{
    if (s.isEmpty() || s.size() > 64)
        return std::nullopt;
    QByteArray ascii;
    ascii.reserve(s.size());
    for (QChar c : s) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        ascii.append(char(c.unicode()));
    }
    qsizetype i = 0;
    const qsizetype n = ascii.size();
    if (ascii[i] == '+' || ascii[i] == '-')
        ++i;
    const qsizetype numberStart = i;
    qsizetype digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(ascii[i]))) {
        ++i;
        ++digits;
    }
    if (i < n && ascii[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(ascii[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (ascii[i] == 'e' || ascii[i] == 'E')) {
        ++i;
        if (i < n && (ascii[i] == '+' || ascii[i] == '-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(ascii[i]))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    double value = 0;
    const char *first = ascii.constData() + numberStart;
    const char *last = ascii.constData() + n;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return ascii[0] == '-' ? -value : value;
}

// Colour components as given, without clamping the channels (Qt keeps values
// outside 0...1 as extended sRGB). Opacity is clamped to 0...1: QColor has no
// representation for anything else.
QColor rgbColor(double red, double green, double blue, double opacity)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(std::clamp(opacity, 0.0, 1.0)));
}

// The text between the first "(" and the last ")" after a known prefix.
std::optional<QString> parenthesised(const QString &s)
{
    const qsizetype open = s.indexOf(u'(');
    const qsizetype close = s.lastIndexOf(u')');
    if (open < 0 || close < 0 || close < open)
        return std::nullopt;
    return s.mid(open + 1, close - open - 1);
}

// The pieces of a functional notation: "/" removed, "," as a blank.
QStringList functionalPieces(const QString &inner)
{
    QString s = inner;
    s.remove(u'/');
    s.replace(u',', u' ');
    return splitAtBlanks(s);
}

// A number that may carry a "%" sign; reports whether it did.
std::optional<double> readPercentable(QString piece, bool *hadPercent)
{
    *hadPercent = piece.contains(u'%');
    piece.remove(u'%');
    return readNumber(piece);
}

double fourthOpacity(const QStringList &pieces)
{
    if (pieces.size() < 4)
        return 1;
    bool percent = false;
    const std::optional<double> value = readPercentable(pieces.at(3), &percent);
    if (!value)
        return 1;
    return percent ? *value / 100 : *value;
}

std::optional<QColor> parseHex(const QString &s)
{
    static const QRegularExpression pattern(QStringLiteral("^#?([0-9a-f]{3}|[0-9a-f]{6}|[0-9a-f]{8})$"));
    const QRegularExpressionMatch match = pattern.match(s);
    if (!match.hasMatch())
        return std::nullopt;
    QString digits = match.captured(1);
    if (digits.size() == 3)
        digits = QString(digits[0]) + digits[0] + digits[1] + digits[1] + digits[2] + digits[2];
    if (digits.size() == 6)
        digits += QStringLiteral("ff");
    const quint32 v = digits.toUInt(nullptr, 16);
    return rgbColor(((v >> 24) & 255) / 255.0, ((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0,
                    (v & 255) / 255.0);
}

// The comma- or space-separated arguments of name(...) or namea(...), when
// there are at least three.
std::optional<QStringList> functionArguments(const QString &s, QLatin1String name)
{
    if (!s.startsWith(name + QLatin1Char('(')) && !s.startsWith(name + QLatin1String("a(")))
        return std::nullopt;
    const std::optional<QString> inner = parenthesised(s);
    if (!inner)
        return std::nullopt;
    QStringList pieces = functionalPieces(*inner);
    if (pieces.size() < 3)
        return std::nullopt;
    return pieces;
}

std::optional<QColor> parseRgbFunction(const QString &s)
{
    const std::optional<QStringList> arguments = functionArguments(s, QLatin1String("rgb"));
    if (!arguments)
        return std::nullopt;
    const QStringList &pieces = *arguments;
    double channels[3];
    for (int i = 0; i < 3; ++i) {
        bool percent = false;
        const std::optional<double> value = readPercentable(pieces.at(i), &percent);
        if (!value)
            return std::nullopt;
        channels[i] = *value / (percent ? 100.0 : 255.0);
    }
    return rgbColor(channels[0], channels[1], channels[2], fourthOpacity(pieces));
}

std::optional<QColor> parseHslFunction(const QString &s)
{
    const std::optional<QStringList> arguments = functionArguments(s, QLatin1String("hsl"));
    if (!arguments)
        return std::nullopt;
    const QStringList &pieces = *arguments;
    QString huePiece = pieces.at(0);
    huePiece.remove(QLatin1String("deg"));
    const std::optional<double> hue = readNumber(huePiece);
    bool ignored = false;
    const std::optional<double> saturation = readPercentable(pieces.at(1), &ignored);
    const std::optional<double> lightness = readPercentable(pieces.at(2), &ignored);
    if (!hue || !saturation || !lightness)
        return std::nullopt;

    const double s1 = *saturation / 100;
    const double l1 = *lightness / 100;
    const double brightness = l1 + s1 * std::min(l1, 1 - l1);
    const double hsbSaturation = brightness == 0 ? 0 : 2 * (1 - l1 / brightness);
    // QColor accepts hue, saturation and brightness only within 0...1: the
    // hue turns around the circle, the others are clamped.
    double h = std::fmod(*hue / 360, 1.0);
    if (h < 0)
        h += 1;
    return QColor::fromHsvF(float(h), float(std::clamp(hsbSaturation, 0.0, 1.0)),
                            float(std::clamp(brightness, 0.0, 1.0)),
                            float(std::clamp(fourthOpacity(pieces), 0.0, 1.0)));
}

std::optional<QColor> parseCommaList(const QString &s)
{
    QStringList pieces;
    for (const QString &piece : s.split(u',')) {
        QString trimmed = trimBlanks(piece);
        if (!trimmed.isEmpty())
            pieces.append(std::move(trimmed));
    }
    if (pieces.size() != 3 && pieces.size() != 4)
        return std::nullopt;
    double values[4] = {0, 0, 0, 1};
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const std::optional<double> value = readNumber(pieces.at(i));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    for (int i = 0; i < 3; ++i) {
        if (values[i] < 0 || values[i] > 255)
            return std::nullopt;
    }
    return rgbColor(values[0] / 255, values[1] / 255, values[2] / 255, values[3]);
}

std::optional<QColor> parseInitializer(const QString &s)
{
    if (!s.startsWith(QLatin1String("color(red:")) && !s.startsWith(QLatin1String("uicolor(red:")))
        return std::nullopt;
    const qsizetype open = s.indexOf(u'(');
    const qsizetype close = s.lastIndexOf(u')');
    const QString inner = close > open ? s.mid(open + 1, close - open - 1) : s.mid(open + 1);
    if (inner.isEmpty())
        return std::nullopt;

    std::optional<double> red, green, blue;
    double opacity = 1;
    for (const QString &piece : inner.split(u',')) {
        const QStringList parts = trimBlanks(piece).split(u':');
        if (parts.size() != 2)
            continue;
        const QString name = trimBlanks(parts.at(0));
        const std::optional<double> value = readNumber(trimBlanks(parts.at(1)));
        if (!value)
            continue;
        if (name == QLatin1String("red"))
            red = value;
        else if (name == QLatin1String("green"))
            green = value;
        else if (name == QLatin1String("blue"))
            blue = value;
        else if (name == QLatin1String("alpha") || name == QLatin1String("opacity"))
            opacity = *value;
    }
    if (!red || !green || !blue)
        return std::nullopt;
    double r = *red, g = *green, b = *blue;
    if (std::max({r, g, b}) > 1) {
        r /= 255;
        g /= 255;
        b /= 255;
    }
    return rgbColor(r, g, b, opacity);
}

} // namespace

std::optional<QColor> parseColorString(const QString &text)
{
    const QString s = text.trimmed().toLower();
    for (auto grammar : {parseHex, parseRgbFunction, parseHslFunction, parseCommaList}) {
        if (std::optional<QColor> color = grammar(s))
            return color;
    }
    return parseInitializer(s);
}
