#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

class NotifyArea;
class QImage;
class QSslConfiguration;
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

// The time of day and the date, and their texts as the program shows them.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // "1:09:59 PM": hour without a leading zero, two-digit minutes and seconds, a
    // space and AM or PM, always in this U.S. English form whatever the locale.
    static QString timeText(const QTime& time);
    // "12/7/2026": month/day/year without leading zeros.
    static QString dateText(const QDate& date);

    // The regional settings dates and times are shown in: the system's (LC_ALL,
    // LC_TIME, LANG), unless a clock says otherwise.
    virtual QLocale locale() const { return QLocale::system(); }
    // The locale's short date with a four-digit year: "12/28/2026" (en_US),
    // "28/12/2026" (en_GB), "28.12.2026" (de_DE). The C locale gives dateText's form.
    static QString shortDateText(const QDate& date, const QLocale& locale);
    // The locale's long time without a time zone name: "1:09:55 PM" (en_US),
    // "13:09:55" (en_GB, de_DE). The C locale gives timeText's form.
    static QString longTimeText(const QTime& time, const QLocale& locale);
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

// Everything the program reaches outside itself, handed to the windows that need it.
// Tests put fakes in; the program puts in the Qt-backed services (QtServices).
struct Services
{
    MessageBoxService* messageBox = nullptr;
    Clock* clock = nullptr;
    UrlOpener* urlOpener = nullptr;
    SoundPlayer* sound = nullptr;
    WindowShape* windowShape = nullptr;
    // The notification area of the main window's tray icon.
    NotifyArea* notifyArea = nullptr;
    // The program's directory, without a trailing separator.
    QString programDir;
    // The TLS settings of https checks: which certificates are trusted. Null: the
    // system's trust store. Only code can set it (tests trust their own CA this way);
    // nothing a user or the environment sets can weaken the verification.
    const QSslConfiguration* tlsConfiguration = nullptr;
};
