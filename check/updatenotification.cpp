#include "updatenotification.h"

#include "services.h"
#include "taskbaricon.h"

#include <QDir>
#include <QListWidget>
#include <QWidget>

UpdateNotification::UpdateNotification(Services& services, Targets targets)
    : m_services(services), m_targets(targets)
{
}

void UpdateNotification::logUpdate()
{
    const QDateTime now = m_services.clock->now();
    m_targets.log->addItem(QStringLiteral("Update found at %1 %2")
                               .arg(Clock::dateText(now.date()), Clock::timeText(now.time())));
}

QString UpdateNotification::soundPath() const
{
    const QString sep = QDir::separator();
    return m_services.programDir + sep + QStringLiteral("Sounds") + sep + *m_targets.soundFile;
}

void UpdateNotification::announceUpdate()
{
    m_services.sound->play(soundPath());
    m_targets.trayIcon->letFlash(True);
    if (*m_targets.showPopup == 1)
        m_targets.popup->show();
}
