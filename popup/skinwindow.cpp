#include "skinwindow.h"

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
