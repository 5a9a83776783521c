#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

class QListWidget;
class QWidget;
class TaskBarIcon;
struct Services;

// What a detected change does for the user: a dated line in the update log, the
// configured sound, the flashing tray icon and, when configured, the popup.
// The check calls it in two pieces around replacing the snapshot.
class UpdateNotification
{
public:
    // Everything the notification acts on, owned by the main window.
    struct Targets
    {
        QListWidget* log = nullptr;      // the update log
        TaskBarIcon* trayIcon = nullptr; // the main window's tray icon
        QWidget* popup = nullptr;        // the update popup
        const std::uint8_t* showPopup = nullptr;
        const QString* soundFile = nullptr;
    };

    UpdateNotification(Services& services, Targets targets);

    // The log line: "Update found at " + date + " " + time, in the clock's regional forms.
    // Returns the time it says.
    QDateTime logUpdate();
    // The rest: the sound, the flash, and the popup when ShowPopup is exactly 1.
    void announceUpdate();

    // The sound's path: the program's directory + "/Sounds/" + the name, unchanged.
    QString soundPath() const;

private:
    Services& m_services;
    Targets m_targets;
};
