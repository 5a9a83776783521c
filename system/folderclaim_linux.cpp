#include "folderclaim.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <signal.h>

QString QtFolderClaim::identity(const QString& programDir)
{
    // The same directory reached through a link or with a trailing separator is the
    // same directory.
    const QFileInfo info(programDir);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

Result<QtFolderClaim::Hold> QtFolderClaim::hold(QLocalServer& server)
{
    // A name in the abstract namespace: binding it is atomic, and it goes with its holder.
    server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (server.listen(m_name))
        return Hold::Taken;
    if (server.serverError() == QAbstractSocket::AddressInUseError)
        return Hold::InUse;
    // Qt keeps the system's words for the failure, not its number.
    return SystemError{0, server.errorString()};
}

void QtFolderClaim::release() {}

void QtFolderClaim::prepare(QLocalSocket& socket) const
{
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
}

bool QtFolderClaim::held() const
{
    // Binding the name is the hold, and the holder listens from that moment on: a name
    // that takes no connection is free.
    return false;
}

bool QtFolderClaim::processEnded(qint64 pid, int ms)
{
    // A process that has ended but was not yet waited for by its parent (a zombie, state
    // Z in its stat line) holds nothing any more.
    const auto gone = [pid] {
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            return true;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
    };
    const QDeadlineTimer deadline(ms);
    while (!gone()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}
