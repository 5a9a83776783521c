#pragma once

#include <QImage>
#include <QList>
#include <QWidget>
#include <cstdint>

// A top-level window with a background picture, drawn unscaled at its top-left
// corner over the window's background colour.
//
// On a screen of higher pixel density (a device pixel ratio above 1) it paints, where
// it has them, the same picture drawn for that density instead of the picture's
// pixels enlarged: the one whose scale equals the ratio, or else the next larger one
// (the largest above them all), scaled smoothly to fit. Their pixels of the key colour
// are never painted. Under them, the window's whole mask is filled with the card's
// colour: the mask stays in the window's own pixels, and where its rows, rounded to the
// screen's pixels, reach beyond the denser picture's outline, that colour shows, never
// the key.
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

    // The picture drawn for denser screens, each with its scale as its device pixel
    // ratio; `key` is their key colour (0x00BBGGRR), `under` the colour painted under
    // them.
    void setDensePictures(const QList<QImage>& pictures, std::int32_t key, const QColor& under);

    // Cuts each child control to the part of the window's mask it covers: nothing of it
    // is seen or takes the mouse where the window is cut away. No mask: no cut.
    void fitChildrenToMask();

protected:
    void paintEvent(QPaintEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToMask(QWidget& child) const;
    // The denser picture to paint at that device pixel ratio; null: the picture itself.
    const QImage* densePicture(qreal ratio) const;

    QImage m_picture;
    QList<QImage> m_dense; // by rising scale, key pixels transparent
    QColor m_under;
};
