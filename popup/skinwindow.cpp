#include "skinwindow.h"

#include <QChildEvent>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>

SkinWindow::SkinWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void SkinWindow::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void SkinWindow::setDensePictures(const QList<QImage>& pictures, std::int32_t key,
                                  const QColor& under)
{
    const QRgb keyRgb = qRgb(key & 0xFF, key >> 8 & 0xFF, key >> 16 & 0xFF);
    m_dense.clear();
    for (const QImage& picture : pictures) {
        if (picture.isNull())
            continue; // the picture itself, enlarged, serves that scale
        // The key becomes transparent, so that no scaling can blend it into the card.
        QImage dense = picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < dense.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(dense.scanLine(y));
            for (int x = 0; x < dense.width(); ++x)
                if (line[x] == keyRgb)
                    line[x] = 0;
        }
        m_dense.append(dense.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    std::sort(m_dense.begin(), m_dense.end(), [](const QImage& a, const QImage& b) {
        return a.devicePixelRatio() < b.devicePixelRatio();
    });
    m_under = under;
    update();
}

const QImage* SkinWindow::densePicture(qreal ratio) const
{
    if (ratio <= 1.0 || m_dense.isEmpty())
        return nullptr;
    for (const QImage& dense : m_dense)
        if (dense.devicePixelRatio() >= ratio - 0.001)
            return &dense;
    return &m_dense.last();
}

void SkinWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!mask().isEmpty())
        p.setClipRegion(mask());
    // The ratio of the surface painted on: the window's backing store, or whatever
    // the window is rendered into.
    const qreal ratio = p.paintEngine()->paintDevice()->devicePixelRatioF();
    const QImage* dense = densePicture(ratio);
    if (!dense) {
        p.fillRect(rect(), palette().color(QPalette::Window));
        if (!m_picture.isNull())
            p.drawImage(0, 0, m_picture);
        return;
    }
    p.fillRect(rect(), m_under);
    // Drawn for this ratio: pixel for pixel. Otherwise smoothly scaled, which blends
    // only with transparency and the colour beneath.
    if (qAbs(dense->devicePixelRatio() - ratio) > 0.001)
        p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QPointF(0, 0), *dense);
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
