#pragma once

// Screen units: window and control sizes are given in twips (1/1440 inch); the
// screen's factors turn them into pixels (15 twips a pixel at 96 dots per inch).
namespace Twips {
double perPixelX();
double perPixelY();
// Rounds to the nearest whole number, a half to the even neighbour (2.5 gives 2,
// 3.5 gives 4), as the conversion of a size to a whole number of pixels does.
int roundHalfEven(double value);
} // namespace Twips
