#pragma once

#include <cstdint>

class PictureBox;
class SkinWindow;
class WindowShape;

// Shapes a frameless window to its background picture: the picture held by `pic`
// becomes the window's background, the window takes the holder's size less 100
// twips each way, and every pixel of the key colour `TransColor` (0x00BBGGRR) is cut
// out of the window, so the desktop shows through. A key below 1 is replaced by the
// colour of the picture's top-left pixel, and the caller's variable receives it.
//
// The shape is the union of one-pixel-high rectangles, one per maximal horizontal run
// of non-key pixels in each row of the holder's scan size (its size in pixels, frame
// included; positions beyond the picture read as WindowShape::kInvalidColour and so
// count as opaque). Leaves the window shown, the holder empty with auto-size and
// auto-redraw on.
void SkinForm(SkinWindow& frm, PictureBox& pic, std::int32_t& TransColor, WindowShape& shape);
