#pragma once

#include <QImage>
#include <QWidget>

// A top-level window with a background picture, drawn unscaled at its top-left
// corner over the window's background colour.
//
// The window is translucent and paints nothing outside its mask: where the window
// system cuts a window to its mask (the X shape), that changes nothing; where the mask
// only cuts the window's input (Wayland, some compositors), what it cuts away is fully
// transparent and the desktop shows through there all the same.
class SkinWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};
