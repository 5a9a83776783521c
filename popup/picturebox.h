#pragma once

#include <QFrame>
#include <QImage>

// A picture holder: a child control with a 2-pixel frame on each side that holds one
// picture, drawn unscaled at the top-left corner of its client area.
class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The picture; a null image is an empty picture.
    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

    // On: the holder's outer size follows its picture plus its frame.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);

    // On: the holder keeps its image on an off-screen drawing surface (surface()).
    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool autoRedraw);

    // The drawing surface while AutoRedraw is on: the client area's pixels, the
    // picture over the holder's background colour. Null while AutoRedraw is off.
    const QImage& surface() const { return m_surface; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToPicture();
    void redrawSurface();

    QImage m_picture;
    QImage m_surface;
    bool m_autoSize = false;
    bool m_autoRedraw = false;
};
