#include "skinwindow.h"

#include <QChildEvent>
#include <QPainter>

SkinWindow::SkinWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void SkinWindow::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void SkinWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!mask().isEmpty())
        p.setClipRegion(mask());
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_picture.isNull())
        p.drawImage(0, 0, m_picture);
}

void SkinWindow::fitChildrenToMask()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        fitToMask(*child);
}

void SkinWindow::fitToMask(QWidget& child) const
{
    if (child.isWindow())
        return;
    if (mask().isEmpty()) {
        child.clearMask();
        return;
    }
    const QRegion part = (mask() & child.geometry()).translated(-child.pos());
    // An empty mask would show all of the child: a pixel outside it shows none.
    child.setMask(part.isEmpty() ? QRegion(-1, -1, 1, 1) : part);
}

void SkinWindow::childEvent(QChildEvent* event)
{
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    QWidget::childEvent(event);
}

bool SkinWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
        watched->parent() == this)
        fitToMask(*static_cast<QWidget*>(watched));
    return QWidget::eventFilter(watched, event);
}
