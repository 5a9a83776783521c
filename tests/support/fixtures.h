#pragma once

// Fixtures of the test kit: a main window loaded as at start-up, and the tray icon
// control on a recording notification area.

#include "fakes.h"
#include "form1.h"
#include "pagecheck.h"
#include "taskbaricon.h"

#include <QSignalSpy>
#include <memory>

// A main window loaded from a config.ini of its own, with a fake for every service and
// a clock that reaches no mark of the schedule: checks start only when a test says so.
class LoadedMainWindow
{
public:
    explicit LoadedMainWindow(const QString& url = QStringLiteral("http://watched.example/"),
                              int showPopup = 0, const QString& programDir = QString());

    // A check started now, and its end. When none comes in time the test fails.
    CheckOutcome check(int timeoutMs = 20000);
    // The end of the next check, however it was started.
    CheckOutcome waitForCheck(int timeoutMs = 20000);

    void setSnapshot(const QByteArray& bytes) const
    {
        t.writeFile(QStringLiteral("data.orvl"), bytes);
    }
    QByteArray snapshot() const { return t.readFile(QStringLiteral("data.orvl")); }
    bool tmpExists() const;
    int logLines() const;
    bool flashing() const { return form->TaskBarIcon1->Flash().isNonZero(); }
    QString caption() const { return form->windowTitle(); }

    TestServices t;
    std::unique_ptr<Form1> form;

private:
    std::unique_ptr<QSignalSpy> m_ends;
    qsizetype m_seen = 0;
};

// The tray icon control on a notification area that records every call; its
// properties initialised as for a new instance unless told otherwise.
template <typename Area = RecordingNotifyArea> class TrayIconFixture
{
public:
    explicit TrayIconFixture(bool initProperties = true) : icon(area)
    {
        if (initProperties)
            icon.InitProperties();
    }
    // Base and flash icon assigned, the icon registered, the calls so far forgotten.
    void registerIcon()
    {
        icon.letBaseIcon(base);
        icon.letFlashIcon(flash);
        icon.letEnabled(True);
        area.calls.clear();
    }

    Area area;
    TaskBarIcon icon;
    Picture base = makeTestIcon(qRgb(0, 0, 255));
    Picture flash = makeTestIcon(qRgb(255, 128, 0));
};
