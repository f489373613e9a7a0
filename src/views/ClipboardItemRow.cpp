#include "views/ClipboardItemRow.h"

#include "views/ColorStringParser.h"
#include "views/ViewColors.h"

#include <QEasingCurve>
#include <QEnterEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {

constexpr int textPixelSize = 13;
// The height of a one-line row's content: one line of text fits with room,
// and a row of the list is 40 high as the window's height rule expects.
constexpr int minimumContentHeight = 20;
constexpr int contentSpacing = 6; // between the text and the swatch
constexpr qreal stripeAlpha = 0.06;
constexpr qreal hoverAlpha = 0.12;
constexpr qreal swatchRadius = 4;
constexpr qreal swatchStrokeAlpha = 0.3;

// Line breaks as the text layout understands them.
QString withLineSeparators(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == u'\v' || c == u'\f')
            c = QChar::LineSeparator;
    }
    return text;
}

QString withoutTrailingSeparator(QString line)
{
    while (!line.isEmpty() && line.back() == QChar::LineSeparator)
        line.chop(1);
    return line;
}

} // namespace

ClipboardItemRow::ClipboardItemRow(const ClipboardItem &item, int index, std::function<void()> action,
                                   QWidget *parent)
    : QAbstractButton(parent)
    , m_item(item)
    , m_index(index)
{
    QFont rowFont = font();
    rowFont.setPixelSize(textPixelSize);
    rowFont.setWeight(QFont::Normal);
    setFont(rowFont);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    if (const std::optional<ClipboardText> &text = m_item.textContent()) {
        // Prepared once per entry: trailing white space gone, already short.
        const QString &shown = text->displayText();
        m_textCut = text->isDisplayTextCut() || shown.size() > maxDisplayedCharacters;
        m_displayText = withLineSeparators(shown.left(maxDisplayedCharacters));
        // A colour is short: a text that did not fit the display text is none.
        if (!text->isDisplayTextCut())
            m_swatch = parseColorString(shown);
        setAccessibleName(shown.left(200));
    } else if (const std::optional<ClipboardImage> &image = m_item.imageContent();
               image && !image->isNull()) {
        // Small already: a copied screenshot can be 4K, its thumbnail is not.
        m_thumbnail = QPixmap::fromImage(image->thumbnail());
        m_imageSize = image->size();
        setAccessibleName(tr("Image"));
    }

    m_hoverFade.setDuration(hoverFadeMs);
    m_hoverFade.setEasingCurve(QEasingCurve::InOutQuad);
    m_hoverFade.setStartValue(0.0);
    m_hoverFade.setEndValue(1.0);
    connect(&m_hoverFade, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));

    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void ClipboardItemRow::setIndex(int index)
{
    if (m_index == index)
        return;
    m_index = index;
    update();
}

QColor ClipboardItemRow::backgroundColor() const
{
    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = ViewColors::secondary(palette());
    const QColor rest
        = m_index % 2 == 0 ? ViewColors::withAlpha(secondary, stripeAlpha) : QColor(Qt::transparent);
    const QColor hover = ViewColors::withAlpha(primary, hoverAlpha);
    const qreal t = m_hoverFade.currentValue().toReal();
    if (t <= 0)
        return rest;
    if (t >= 1)
        return hover;
    // Blend the premultiplied colours, as a cross-fade of the two layers looks.
    auto mix = [t](float a, float b) { return a + float(t) * (b - a); };
    const float restA = rest.alphaF(), hoverA = hover.alphaF();
    const float alpha = mix(restA, hoverA);
    if (alpha <= 0)
        return QColor(Qt::transparent);
    QColor out;
    out.setRgbF(mix(rest.redF() * restA, hover.redF() * hoverA) / alpha,
                mix(rest.greenF() * restA, hover.greenF() * hoverA) / alpha,
                mix(rest.blueF() * restA, hover.blueF() * hoverA) / alpha, alpha);
    return out;
}

int ClipboardItemRow::textWidth(int rowWidth) const
{
    int width = rowWidth - 2 * horizontalPadding;
    if (m_swatch)
        width -= swatchSize + contentSpacing;
    return qMax(1, width);
}

QSize ClipboardItemRow::thumbnailSize(int rowWidth) const
{
    if (m_thumbnail.isNull())
        return {};
    const int available = qMax(1, rowWidth - 2 * horizontalPadding);
    return m_imageSize.scaled(QSize(available, maxThumbnailHeight), Qt::KeepAspectRatio);
}

QStringList ClipboardItemRow::visibleLines(int width) const
{
    QStringList lines;
    if (m_displayText.isEmpty())
        return lines;
    QTextLayout layout(m_displayText, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    bool more = m_textCut;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxTextLines) {
            more = true;
            break;
        }
        lines.append(m_displayText.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();

    for (QString &line : lines)
        line = withoutTrailingSeparator(line);
    if (more && !lines.isEmpty()) {
        // The tail is cut: the last shown line ends with an ellipsis, shortened
        // further if the ellipsis does not fit behind it.
        const QFontMetrics metrics(font());
        QString &last = lines.last();
        last = metrics.elidedText(last + QChar(0x2026), Qt::ElideRight, width);
    }
    return lines;
}

int ClipboardItemRow::contentHeight(int width) const
{
    int height = 0;
    if (m_item.hasText()) {
        const int lineCount = int(visibleLines(textWidth(width)).size());
        height = qMax(lineCount, 1) * QFontMetrics(font()).lineSpacing();
        if (m_swatch)
            height = qMax(height, swatchSize);
    } else {
        height = thumbnailSize(width).height();
    }
    return qMax(height, minimumContentHeight);
}

int ClipboardItemRow::heightForWidth(int width) const
{
    return contentHeight(width) + 2 * verticalPadding;
}

QSize ClipboardItemRow::sizeHint() const
{
    const int width = parentWidget() ? parentWidget()->width() : 288;
    return QSize(width, heightForWidth(width));
}

QSize ClipboardItemRow::minimumSizeHint() const
{
    return QSize(2 * horizontalPadding + swatchSize, minimumContentHeight + 2 * verticalPadding);
}

void ClipboardItemRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), backgroundColor());

    const QRect content
        = rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    if (m_item.hasText()) {
        const QStringList lines = visibleLines(textWidth(width()));
        const QFontMetrics metrics(font());
        const int textHeight = int(lines.size()) * metrics.lineSpacing();
        int y = content.top() + (content.height() - textHeight) / 2 + metrics.ascent();
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        for (const QString &line : lines) {
            painter.drawText(QPoint(content.left(), y), line);
            y += metrics.lineSpacing();
        }
        if (m_swatch) {
            const QRectF swatch(content.right() + 1 - swatchSize, content.center().y() + 1 - swatchSize / 2.0,
                                swatchSize, swatchSize);
            QPainterPath shape;
            shape.addRoundedRect(swatch, swatchRadius, swatchRadius);
            painter.fillPath(shape, *m_swatch);
            painter.setPen(
                QPen(ViewColors::withAlpha(ViewColors::secondary(palette()), swatchStrokeAlpha), 1));
            painter.drawPath(shape);
        }
    } else if (!m_thumbnail.isNull()) {
        const QSize size = thumbnailSize(width());
        const QRect target(QPoint(content.left(), content.top() + (content.height() - size.height()) / 2),
                           size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, m_thumbnail);
    }
}

void ClipboardItemRow::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    // Fades from wherever the previous fade stood.
    const QVariant current = m_hoverFade.currentValue();
    m_hoverFade.stop();
    m_hoverFade.setStartValue(current.isValid() ? current : QVariant(0.0));
    m_hoverFade.setEndValue(hovered ? 1.0 : 0.0);
    m_hoverFade.start();
    Q_EMIT isHoveredChanged(hovered);
}

void ClipboardItemRow::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void ClipboardItemRow::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void ClipboardItemRow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QAbstractButton::changeEvent(event);
}
