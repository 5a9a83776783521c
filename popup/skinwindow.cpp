#include "skinwindow.h"

#include <QPainter>

SkinWindow::SkinWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setAutoFillBackground(true);
}

void SkinWindow::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void SkinWindow::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
}
