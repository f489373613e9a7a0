#include "views/SymbolIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int iconSize = 32;

template<typename Draw> QIcon drawnIcon(const QString &themeName, const QColor &color, Draw draw)
{
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    QPixmap pixmap(iconSize, iconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, color);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

namespace SymbolIcons {

QIcon paperclip(const QColor &color)
{
    return drawnIcon(QStringLiteral("mail-attachment"), color, [](QPainter &p, const QColor &c) {
        // Two nested U-turns of wire, slanted like a clip lying on paper.
        p.translate(16, 16);
        p.rotate(40);
        p.translate(-16, -16);
        QPainterPath path;
        path.moveTo(13, 24);
        path.lineTo(13, 8);
        path.arcTo(13, 3, 10, 10, 180, -180);
        path.lineTo(23, 25);
        path.arcTo(9, 19, 14, 12, 0, -180);
        path.lineTo(9, 10);
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    });
}

QIcon magnifyingGlass(const QColor &color)
{
    return drawnIcon(QStringLiteral("edit-find"), color, [](QPainter &p, const QColor &c) {
        p.setPen(QPen(c, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(5, 5, 16, 16));
        p.drawLine(QPointF(19, 19), QPointF(27, 27));
    });
}

QIcon clearField(const QColor &color)
{
    return drawnIcon(QStringLiteral("edit-clear"), color, [](QPainter &p, const QColor &c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        // The cross is cut out of the filled circle.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    });
}

QPixmap returnMark(const QColor &color, int size, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(color, qMax(1.2, s / 9), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // A line coming down on the right and turning left into an arrow head.
    QPainterPath path;
    path.moveTo(s * 0.82, s * 0.18);
    path.lineTo(s * 0.82, s * 0.62);
    path.lineTo(s * 0.18, s * 0.62);
    p.drawPath(path);
    QPainterPath head;
    head.moveTo(s * 0.40, s * 0.40);
    head.lineTo(s * 0.18, s * 0.62);
    head.lineTo(s * 0.40, s * 0.84);
    p.drawPath(head);
    return pixmap;
}

} // namespace SymbolIcons
