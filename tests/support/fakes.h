#pragma once

// Test doubles for the program's services: they record what the code asked of the
// desktop and answer as a test scripts them.

#include "desktopnotifier.h"
#include "notifyarea.h"
#include "picture.h"
#include "qtservices.h"
#include "runtimeerror.h"
#include "services.h"

#include <QDateTime>
#include <QList>
#include <QSslConfiguration>
#include <QStringList>
#include <QTemporaryDir>

// Records every notification-area call with a copy of its record.
class RecordingNotifyArea : public NotifyArea
{
public:
    struct Call
    {
        NotifyMessage message;
        NotifyIconData data;
    };

    void notify(NotifyMessage message, const NotifyIconData& data) override
    {
        calls.append({message, data});
    }
    bool isAvailable() const override { return available; }
    void offerMenu(QMenu* menu) override { offeredMenu = menu; }
    bool canPopUpMenu() const override { return popUpMenu; }
    void showMessage(const QString& title, const QString& text) override
    {
        shownMessages.append({title, text});
    }

    // Sends a mouse report as the notification area would.
    void sendMouse(int message) { reportMouse(message); }
    // A click on the icon's message.
    void sendMessageClick() { reportMessageClick(); }

    QList<NotifyMessage> messages() const;
    int count(NotifyMessage message) const;

    QList<Call> calls;
    bool available = true;
    QMenu* offeredMenu = nullptr;
    QList<std::pair<QString, QString>> shownMessages; // title, text
    // False: a desktop where a menu cannot pop up by itself (Wayland).
    bool popUpMenu = true;
};

// Keeps the notices posted and counts the closes; a test chooses an action as the user
// would on the desktop's notification.
class RecordingDesktopNotifier : public DesktopNotifier
{
public:
    void post(const DesktopNotice& notice) override { posted.append(notice); }
    void close() override { ++closes; }
    void choose(Action action) { reportAction(action); }

    QList<DesktopNotice> posted;
    int closes = 0;
};

// Message boxes are answered at once and remembered.
class ScriptedMessageBox : public MessageBoxService
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
        QString title;
    };
    void show(const QString& text, Icon icon, const QString& title) override
    {
        shown.append({text, icon, title});
    }
    QList<Shown> shown;
};

// A clock that stands still until the test moves it.
class FakeClock : public Clock
{
public:
    QDateTime now() const override { return current; }
    // Dates and times in the U.S. form unless a test chooses a region.
    QLocale locale() const override { return regional; }
    QLocale regional = QLocale::c();
    // 10:30:00 AM matches no mark of the schedule, so a window left ticking in a test
    // never starts a check by itself.
    QDateTime current{QDate(2026, 12, 8), QTime(10, 30, 0)};
};

class RecordingUrlOpener : public UrlOpener
{
public:
    void open(const QString& address) override { opened.append(address); }
    QStringList opened;
};

class RecordingSoundPlayer : public SoundPlayer
{
public:
    void play(const QString& path) override { played.append(path); }
    QStringList played;
};

// Shapes windows as the program does (so QWidget::mask() holds the shape) and keeps
// the rectangles of every call.
class RecordingWindowShape : public QtWindowShape
{
public:
    void SetWindowRgn(QWidget& window, const QList<QRect>& rects) override
    {
        calls.append(rects);
        QtWindowShape::SetWindowRgn(window, rects);
    }
    QList<QList<QRect>> calls;
};

// A full set of fakes with a fresh temporary program directory. https checks trust the
// test CA of the loopback server, and nothing else.
class TestServices
{
public:
    TestServices();

    Services& services() { return m_services; }
    QString programDir() const { return m_services.programDir; }
    // Another program directory (one the test made, a small file system...).
    void setProgramDir(const QString& dir) { m_services.programDir = dir; }
    // A file in the program directory: its path; writes it (stops the test if it
    // cannot), or reads it.
    QString path(const QString& name) const { return programDir() + QLatin1Char('/') + name; }
    QString writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

    RecordingNotifyArea notifyArea;
    ScriptedMessageBox messageBox;
    FakeClock clock;
    RecordingUrlOpener urlOpener;
    RecordingSoundPlayer sound;
    RecordingWindowShape windowShape;
    RecordingDesktopNotifier desktopNotifier;

private:
    QTemporaryDir m_dir;
    QSslConfiguration m_tls;
    Services m_services;
};

// Files a test relies on. Writing stops the test program with the reason when it
// fails; reading gives the content, or a "<cannot read ...>" text that no comparison
// takes for a file's bytes.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A solid-colour icon and a bitmap, for the controls' picture properties.
Picture makeTestIcon(QRgb colour);
Picture makeTestBitmap();

// The number of the run-time error a call raises, 0 when it raises none.
template <typename F> int runtimeErrorOf(F f)
{
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}
