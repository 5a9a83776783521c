#pragma once

#include "clock.h"
#include "systemservices.h"

#include <QList>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

class DesktopNotifier;
class NotifyArea;
class QImage;
class QWidget;

// Modal message boxes with the application's title and a single OK button.
class MessageBoxService
{
public:
    enum class Icon
    {
        Information,
        Exclamation,
        Critical
    };
    virtual ~MessageBoxService() = default;
    virtual void show(const QString& text, Icon icon, const QString& title) = 0;
};

// Opens a web address in the user's browser. The result is not examined.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QString& address) = 0;
};

// Plays a wave file in the background: returns at once; silent when the file is
// missing or cannot be played.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& path) = 0;
};

// The window system's part of shaping a window: reading the pixels of a picture
// holder's drawing surface, and cutting a top-level window to a set of rectangles.
// Colours are 0x00BBGGRR values (red in the low byte).
class WindowShape
{
public:
    // What a position outside the surface reads as; it never equals a colour.
    static constexpr std::int32_t kInvalidColour = -1; // 0xFFFFFFFF
    virtual ~WindowShape() = default;
    // The colour of pixel (x, y) of the surface; kInvalidColour outside it.
    virtual std::int32_t GetPixel(const QImage& surface, int x, int y) const = 0;
    // From now on only the union of the rectangles (window coordinates, each one
    // pixel high) is shown and takes the mouse. No rectangles: nothing is.
    virtual void SetWindowRgn(QWidget& window, const QList<QRect>& rects) = 0;
};

// Everything the program reaches outside itself, handed to the windows that need it: the
// system's services (the clock, the program's folder, the TLS settings) and the desktop's.
// Tests put fakes in; the program puts in the Qt-backed services (QtServices).
struct Services : SystemServices
{
    MessageBoxService* messageBox = nullptr;
    UrlOpener* urlOpener = nullptr;
    SoundPlayer* sound = nullptr;
    WindowShape* windowShape = nullptr;
    // The notification area of the main window's tray icon.
    NotifyArea* notifyArea = nullptr;
    // The desktop's own notifications (its list that waits for the user); may be null.
    DesktopNotifier* desktopNotifier = nullptr;
};
