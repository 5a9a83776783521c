#include "notifyareawatch.h"

#include <qt_windows.h>

// Windows has one notification area, the shell's: Qt puts the icon back by itself when
// the shell comes back (its "TaskbarCreated" message), so the poll alone follows it, and
// no fresh start is ever needed.

void QtNotifyAreaWatch::watchForLateHost() {}

void QtNotifyAreaWatch::checkStatusNotifierHost() {}

SystemError QtNotifyAreaWatch::restart(const QStringList&)
{
    return {ERROR_NOT_SUPPORTED, QStringLiteral("a fresh start is not needed on this system")};
}
