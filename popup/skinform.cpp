#include "skinform.h"

#include "picturebox.h"
#include "services.h"
#include "skinwindow.h"
#include "twips.h"

#include <QList>
#include <QRect>

void SkinForm(SkinWindow& frm, PictureBox& pic, std::int32_t& TransColor, WindowShape& shape)
{
    const double tppX = Twips::perPixelX();
    const double tppY = Twips::perPixelY();

    // The holder fits its picture; the window, hidden, takes the picture.
    pic.setAutoSize(true);
    frm.hide();
    frm.setPicture(pic.Picture());

    // The window is 100 twips narrower and shorter than the holder, and keeps that
    // size: tiling window managers and compositors float such a window at its own size
    // instead of stretching it.
    const double holderWidth = pic.width() * tppX;   // twips
    const double holderHeight = pic.height() * tppY; // twips
    frm.setFixedSize(qRound((holderWidth - 100) / tppX), qRound((holderHeight - 100) / tppY));

    // No rectangles yet; the holder's surface holds the picture's pixels.
    QList<QRect> rects;
    pic.setAutoRedraw(true);
    const QImage& surface = pic.surface();

    // The scan size, from the holder's size (its frame included).
    const int H = Twips::roundHalfEven(holderHeight / tppY);
    const int W = Twips::roundHalfEven(holderWidth / tppX);

    // A key below 1 is taken from the top-left pixel, and the caller sees it.
    if (TransColor < 1)
        TransColor = shape.GetPixel(surface, 0, 0);
    const std::int32_t key = TransColor;

    // One rectangle per maximal run of non-key pixels, row by row.
    rects.reserve(H * 2);
    for (int y = 0; y < H; ++y) {
        int x = 0;
        while (x < W) {
            while (x < W && shape.GetPixel(surface, x, y) == key)
                ++x;
            if (x >= W)
                break;
            const int x1 = x;
            while (x < W && shape.GetPixel(surface, x, y) != key)
                ++x;
            rects.append(QRect(x1, y, x - x1, 1));
        }
    }

    // The window takes its shape, the holder lets go of the picture (the
    // window keeps its own copy), and the window is shown.
    shape.SetWindowRgn(frm, rects);
    frm.fitChildrenToMask();
    pic.setPicture(QImage());
    frm.show();
}
