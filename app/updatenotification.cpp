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

QDateTime UpdateNotification::logUpdate()
{
    const Clock& clock = *m_services.clock;
    const QDateTime now = clock.now();
    const QLocale locale = clock.locale();
    m_targets.log->addItem(QStringLiteral("Update found at %1 %2")
                               .arg(Clock::shortDateText(now.date(), locale),
                                    Clock::longTimeText(now.time(), locale)));
    return now;
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
