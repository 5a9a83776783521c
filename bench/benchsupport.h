#pragma once

// Small pieces shared by the benchmarks.

#include "services.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>

namespace BenchSupport {

// A clock that never reaches a mark of the schedule: only the benchmark starts checks.
class NoMarkClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate::currentDate(), QTime(10, 0, 0)); }
};

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
inline qint64 statusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace BenchSupport
