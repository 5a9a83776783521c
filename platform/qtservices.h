#pragma once

#include "desktopnotifier.h"
#include "notifyarea.h"
#include "services.h"
#include "soundplayer.h"

#include <QObject>
#include <QPointer>

class QSystemTrayIcon;

// The notification area on Qt: one QSystemTrayIcon per icon owner. The record's icon
// handle chooses the icon, its tip the tooltip; Qt's activations come back as the
// shell's mouse messages.
//
// Qt reaches one of two kinds of tray, chosen once when the icon is made: a
// StatusNotifierItem host over D-Bus, when the session bus has a watcher with a host
// registered, or else an X11 system tray that embeds the icon's window. A host over
// D-Bus draws the icon's menu itself, so the offered menu is exported to it; an
// embedding tray gets none, since Qt would pop it up on a right click next to the
// owner's own.
class QtNotifyArea : public QObject, public NotifyArea
{
    Q_OBJECT
public:
    enum class TrayKind
    {
        None,
        Embedded,
        StatusNotifier
    };

    explicit QtNotifyArea(QObject* parent = nullptr);
    ~QtNotifyArea() override;

    void notify(NotifyMessage message, const NotifyIconData& data) override;
    bool isAvailable() const override;
    void offerMenu(QMenu* menu) override;
    // Not on Wayland: there a menu without a parent window cannot be placed, and Qt
    // would show it as a window of its own that compositors may stretch.
    bool canPopUpMenu() const override;
    void showMessage(const QString& title, const QString& text) override;

    TrayKind trayKind() const { return m_kind; }

    // The icon's place on the screen (empty while it is not shown).
    QRect geometry() const;

private:
    void apply(const NotifyIconData& data);

    QSystemTrayIcon* m_tray = nullptr;
    TrayKind m_kind = TrayKind::None;
};

// Shows a QMessageBox. On a platform without a screen to show it on (offscreen,
// minimal) nobody could answer it, so the message goes to standard error instead.
class QtMessageBox : public MessageBoxService
{
public:
    void show(const QString& text, Icon icon, const QString& title) override;
};

// Opens addresses with QDesktopServices (xdg-open on Linux).
class DesktopUrlOpener : public UrlOpener
{
public:
    void open(const QString& address) override;
};

// Reads pixels from the QImage and sets the window's mask, made at once from all the
// rectangles.
class QtWindowShape : public WindowShape
{
public:
    std::int32_t GetPixel(const QImage& surface, int x, int y) const override;
    void SetWindowRgn(QWidget& window, const QList<QRect>& rects) override;
};

// The Qt-backed services of the running program, owned in one place.
class QtServices
{
public:
    QtServices();
    ~QtServices();
    QtServices(const QtServices&) = delete;
    QtServices& operator=(const QtServices&) = delete;

    Services& services() { return m_services; }
    QtNotifyArea& notifyArea() { return *m_notifyArea; }
    // After the event loop: lets calls to the notification service that are still out
    // (the close of the last notification at "Exit") leave, for at most `maxMs`.
    void settleDesktopNotifier(int maxMs = 1000);

private:
    QtMessageBox m_messageBox;
    SystemClock m_clock;
    DesktopUrlOpener m_urlOpener;
    SystemSoundPlayer m_sound;
    QtWindowShape m_windowShape;
    QtNotifyArea* m_notifyArea;
    std::unique_ptr<SystemDesktopNotifier> m_desktopNotifier;
    Services m_services;
};
