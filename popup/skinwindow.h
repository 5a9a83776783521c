#pragma once

#include <QImage>
#include <QWidget>

// A top-level window with a background picture, drawn unscaled at its top-left
// corner over the window's background colour.
//
// The window is translucent and paints nothing outside its mask: where the window
// system cuts a window to its mask (the X shape), that changes nothing; where the mask
// only cuts the window's input (Wayland, some compositors), what it cuts away is fully
// transparent and the desktop shows through there all the same. Its child controls
// are cut to the mask as well, whenever the mask is set or they move or change size.
class SkinWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

    // Cuts each child control to the part of the window's mask it covers: nothing of it
    // is seen or takes the mouse where the window is cut away. No mask: no cut.
    void fitChildrenToMask();

protected:
    void paintEvent(QPaintEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToMask(QWidget& child) const;

    QImage m_picture;
};
