#include "statusnotifier.h"

#include <QDBusConnection>
#include <QDBusInterface>

bool StatusNotifier::hostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                 QStringLiteral("/StatusNotifierWatcher"),
                                 QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
