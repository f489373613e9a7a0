#include "views/HistoryIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

#include <functional>

namespace {

// Draws into a 24 x 24 unit square scaled to the requested rectangle, so the
// glyph stays sharp at any size and device pixel ratio.
using Draw = std::function<void(QPainter &, const QColor &)>;

class DrawnIconEngine final : public QIconEngine
{
public:
    DrawnIconEngine(QColor color, Draw draw)
        : m_color(color)
        , m_draw(std::move(draw))
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.4f);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 24.0, rect.height() / 24.0);
        m_draw(*painter, color);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_color, m_draw); }

private:
    QColor m_color;
    Draw m_draw;
};

QIcon drawnIcon(const QColor &color, Draw draw)
{
    return QIcon(new DrawnIconEngine(color, std::move(draw)));
}

} // namespace

namespace HistoryIcons {

QIcon gear(const QColor &color)
{
    return drawnIcon(color, [](QPainter &p, const QColor &c) {
        // Eight teeth around a ring with a hole.
        QPainterPath gear;
        constexpr int teeth = 8;
        for (int i = 0; i < teeth; ++i) {
            QPainterPath tooth;
            tooth.addRoundedRect(QRectF(-2.2, -11, 4.4, 6), 1, 1);
            QTransform t;
            t.translate(12, 12);
            t.rotate(i * 360.0 / teeth);
            gear = gear.united(t.map(tooth));
        }
        QPainterPath ring;
        ring.addEllipse(QPointF(12, 12), 7.6, 7.6);
        gear = gear.united(ring);
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 12), 3.2, 3.2);
        p.fillPath(gear.subtracted(hole), c);
    });
}

QIcon closeCircle(const QColor &color)
{
    return drawnIcon(color, [](QPainter &p, const QColor &c) {
        QPainterPath disc;
        disc.addEllipse(QPointF(12, 12), 10.5, 10.5);
        QPainterPathStroker stroker;
        stroker.setWidth(2.4);
        stroker.setCapStyle(Qt::RoundCap);
        QPainterPath cross;
        cross.moveTo(8.2, 8.2);
        cross.lineTo(15.8, 15.8);
        cross.moveTo(15.8, 8.2);
        cross.lineTo(8.2, 15.8);
        p.fillPath(disc.subtracted(stroker.createStroke(cross)), c);
    });
}

QIcon clipboard(const QColor &color)
{
    return drawnIcon(color, [](QPainter &p, const QColor &c) {
        // A sheet behind a clipboard with its clip.
        QPen pen(c, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(8.5, 1.5, 12, 15), 2, 2);
        p.drawRoundedRect(QRectF(3.5, 5.5, 12, 17), 2, 2);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(6.5, 4, 6, 3), 1, 1);
        p.setBrush(Qt::NoBrush);
        for (double y : {11.0, 14.0, 17.0})
            p.drawLine(QPointF(6.5, y), QPointF(12.5, y));
    });
}

QIcon trash(const QColor &color)
{
    return drawnIcon(color, [](QPainter &p, const QColor &c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(3.5, 4.5, 17, 2.6), 1, 1); // lid
        p.drawRoundedRect(QRectF(9, 2, 6, 3.5), 1, 1); // handle
        QPainterPath can;
        can.moveTo(5.2, 8.3);
        can.lineTo(18.8, 8.3);
        can.lineTo(17.6, 21);
        can.quadTo(17.4, 22.5, 16, 22.5);
        can.lineTo(8, 22.5);
        can.quadTo(6.6, 22.5, 6.4, 21);
        can.closeSubpath();
        QPainterPathStroker stroker;
        stroker.setWidth(1.4);
        stroker.setCapStyle(Qt::RoundCap);
        QPainterPath grooves;
        for (double x : {9.5, 12.0, 14.5}) {
            grooves.moveTo(x, 11);
            grooves.lineTo(x, 19.5);
        }
        p.drawPath(can.subtracted(stroker.createStroke(grooves)));
    });
}

} // namespace HistoryIcons
