#include "views/QuickPasteRowDelegate.h"

#include "views/FloatingPasteView.h"
#include "views/SymbolIcons.h"
#include "views/ViewColors.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

constexpr int minimumBadgeWidth = 28;
constexpr int swatchSize = 16;
constexpr int swatchTrailingPadding = 4;
constexpr int maxThumbnailHeight = 24;
constexpr int returnMarkSize = 12;

int spacing()
{
    const int s = QApplication::style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    return s > 0 ? s : 6;
}

} // namespace

QuickPasteRowDelegate::QuickPasteRowDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

QFont QuickPasteRowDelegate::badgeFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(11);
    return font;
}

QFont QuickPasteRowDelegate::textFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    return font;
}

int QuickPasteRowDelegate::badgeWidth(const QFont &baseFont) const
{
    const QFontMetrics metrics(badgeFont(baseFont));
    return qMax(minimumBadgeWidth, metrics.horizontalAdvance(FloatingPasteView::badgeText(8)) + 2);
}

QSize QuickPasteRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), rowHeight);
}

void QuickPasteRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const int row = index.row();
    const bool selected = row == m_selectedRow;
    const QPalette &palette = option.palette;
    const QColor primary = palette.color(QPalette::Text);
    const QColor secondary = ViewColors::secondary(palette);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Background: the selection, else stripes on even rows.
    if (selected)
        painter->fillRect(option.rect, ViewColors::withAlpha(primary, 0.12));
    else if (row % 2 == 0)
        painter->fillRect(option.rect, ViewColors::withAlpha(secondary, 0.04));

    const QRect content = option.rect.adjusted(horizontalPadding, 10, -horizontalPadding, -10);
    const int gap = spacing();
    int left = content.left();
    int right = content.right() + 1;

    // Badge.
    const int badge = badgeWidth(option.font);
    painter->setFont(badgeFont(option.font));
    painter->setPen(selected ? ViewColors::withAlpha(primary, 0.8) : secondary);
    painter->drawText(QRect(left, content.top(), badge, content.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      FloatingPasteView::badgeText(row));
    left += badge + gap;

    // Return mark at the trailing edge of the selected row.
    if (selected) {
        const QPixmap mark = SymbolIcons::returnMark(ViewColors::withAlpha(primary, 0.8), returnMarkSize,
                                                     painter->device()->devicePixelRatioF());
        right -= returnMarkSize;
        painter->drawPixmap(right, content.center().y() - returnMarkSize / 2 + 1, mark);
        right -= gap;
    }

    const QString text = index.data(Qt::DisplayRole).toString();
    const QImage image = index.data(ImageRole).value<QImage>();
    if (!text.isNull()) {
        const QColor swatch = index.data(SwatchRole).value<QColor>();
        if (swatch.isValid()) {
            right -= swatchTrailingPadding + swatchSize;
            const QRectF box(right + 0.5, content.center().y() - swatchSize / 2 + 0.5, swatchSize - 1,
                             swatchSize - 1);
            QPainterPath shape;
            shape.addRoundedRect(box, 4, 4);
            painter->fillPath(shape, swatch);
            painter->setPen(QPen(ViewColors::withAlpha(secondary, 0.3), 1));
            painter->drawPath(shape);
            right -= gap;
        }
        const QFont font = textFont(option.font);
        painter->setFont(font);
        painter->setPen(primary);
        const QRect textRect(left, content.top(), qMax(0, right - left), content.height());
        const QString elided = QFontMetrics(font).elidedText(text, Qt::ElideRight, textRect.width());
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    } else if (!image.isNull()) {
        const QSize box(qMax(0, right - left), qMin(maxThumbnailHeight, option.rect.height()));
        const QSize size = image.size().scaled(box, Qt::KeepAspectRatio);
        const QRect target(left, option.rect.center().y() - size.height() / 2 + 1, size.width(),
                           size.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, image);
    }
    painter->restore();
}
