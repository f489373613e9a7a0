#include "views/FloatingPanel.h"

#include "views/ViewsLogging.h"

#include <QKeyEvent>
#include <QPainterPath>
#include <QRegion>
#include <QVBoxLayout>

namespace {
constexpr int cornerRadius = 20;
}

FloatingPanel::FloatingPanel(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("floatingPanel"));
    setWindowTitle(QStringLiteral("Halvex"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTranslucent(false);
}

void FloatingPanel::setContent(QWidget *content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    content->setParent(this);
    layout()->addWidget(content);
}

void FloatingPanel::setTranslucent(bool translucent)
{
    if (translucent == m_translucent && testAttribute(Qt::WA_TranslucentBackground) == translucent)
        return;
    m_translucent = translucent;
    // The window's pixel format is chosen when it is created: switching means
    // recreating it, which is only done while it is hidden.
    const bool wasVisible = isVisible();
    if (wasVisible)
        hide();
    if (testAttribute(Qt::WA_WState_Created) && windowHandle())
        destroy();
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    setAttribute(Qt::WA_NoSystemBackground, translucent);
    setAutoFillBackground(!translucent);
    updateShape();
    if (wasVisible)
        show();
}

void FloatingPanel::present(const QRect &screenArea)
{
    adjustSize();
    QRect frame(QPoint(), size());
    frame.moveCenter(screenArea.center());
    move(frame.topLeft());
    show();
    raise();
    qCDebug(lcViews) << "presented at" << frame;
}

bool FloatingPanel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        Q_EMIT activated();
        break;
    case QEvent::WindowDeactivate:
        Q_EMIT deactivated();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void FloatingPanel::keyPressEvent(QKeyEvent *event)
{
    // Escape reaches the panel only when no view intercepted it first.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FloatingPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateShape();
}

void FloatingPanel::updateShape()
{
    if (m_translucent) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
