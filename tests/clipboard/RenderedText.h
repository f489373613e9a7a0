#pragma once

// Rendered text images and a tolerant comparison for the OCR tests.

#include "support/EditDistance.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <optional>

namespace RenderedText {

// Lines drawn top to bottom, left-aligned, in DejaVu Sans.
inline QImage renderLines(const QStringList &lines, int pixelSize, QColor ink, QColor paper,
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

// The recognised text is the lines joined by single spaces, ignoring case,
// with at most one wrong character per line.
inline void verifyLines(const std::optional<QString> &result, const QStringList &lines)
{
    QVERIFY2(result.has_value(), "no text recognised");
    const QString expected = lines.join(QLatin1Char(' ')).toLower();
    const QString actual = result->toLower();
    QVERIFY2(actual.count(QLatin1Char(' ')) == expected.count(QLatin1Char(' '))
                 && editDistance(actual, expected) <= lines.size(),
             qPrintable(QStringLiteral("got \"%1\", expected \"%2\"").arg(actual, expected)));
}

} // namespace RenderedText
