#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
double dpi(bool horizontal)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double d = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return d > 0 ? d : 96.0;
}
} // namespace

double Twips::perPixelX()
{
    return 1440.0 / dpi(true);
}

double Twips::perPixelY()
{
    return 1440.0 / dpi(false);
}

int Twips::roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double diff = value - down;
    if (diff < 0.5)
        return int(down);
    if (diff > 0.5)
        return int(down) + 1;
    return std::fmod(down, 2.0) == 0.0 ? int(down) : int(down) + 1;
}
