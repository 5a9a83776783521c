#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

// The pictures built into the program, in every size and scale they are drawn in
// (tools/artwork draws them all; nothing is drawn at run time, so every system shows
// the same pixels).
namespace Artwork {

// The sizes trays ask for an icon in: panels of 16 to 32 pixels, at ordinary and at
// doubled screen scales.
inline constexpr int kTrayIconSizes[] = {16, 20, 22, 24, 32, 44, 48, 64};

// A window icon, "orvell" (the main window's, the tray's base icon) or "popup" (the
// popup's, the tray's flash icon), with a picture of its own at each of kTrayIconSizes:
// a tray takes the one that fits its slot instead of scaling the 32 x 32 one.
QIcon windowIcon(const QString& name);

// The popup card's picture, ":/popup/background.png", drawn for denser screens: at the
// scales 1.25, 1.5 and 2, each image with its scale as its device pixel ratio.
QList<QImage> densePopupPictures();

} // namespace Artwork
