#pragma once

// The process's memory figures, for the benchmarks (Linux: /proc/self).

#include <QByteArray>
#include <QFile>

namespace BenchSupport {

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

// The peak resident memory (VmHWM) from here on starts again from the current one.
inline void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

} // namespace BenchSupport
