#include "picturebox.h"

#include <QPainter>

PictureBox::PictureBox(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
}

void PictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    fitToPicture();
    redrawSurface();
    update();
}

void PictureBox::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    fitToPicture();
}

void PictureBox::setAutoRedraw(bool autoRedraw)
{
    m_autoRedraw = autoRedraw;
    redrawSurface();
}

void PictureBox::fitToPicture()
{
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.size() + QSize(2 * frameWidth(), 2 * frameWidth()));
}

void PictureBox::redrawSurface()
{
    if (!m_autoRedraw) {
        m_surface = QImage();
        return;
    }
    const QSize client = contentsRect().size();
    m_surface = QImage(client.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    if (m_surface.isNull())
        return;
    m_surface.fill(palette().color(backgroundRole()));
    QPainter p(&m_surface);
    p.drawImage(0, 0, m_picture);
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (m_autoRedraw)
        redrawSurface();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.drawImage(contentsRect().topLeft(), m_autoRedraw ? m_surface : m_picture);
}
