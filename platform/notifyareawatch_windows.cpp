#include "notifyareawatch.h"

// Windows has one notification area, the shell's: Qt puts the icon back by itself when
// the shell comes back (its "TaskbarCreated" message), so the poll alone follows it, and
// no fresh start is ever needed.

void QtNotifyAreaWatch::watchForLateHost() {}

void QtNotifyAreaWatch::checkStatusNotifierHost() {}

QString QtNotifyAreaWatch::restart(const QStringList&)
{
    return QStringLiteral("a fresh start is not needed on this system");
}
