#include "folderclaim.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

QString QtFolderClaim::identity(const QString& programDir)
{
    // The same directory reached through a link or with a trailing separator is the
    // same directory.
    const QFileInfo info(programDir);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QtFolderClaim::Hold QtFolderClaim::hold(QLocalServer& server)
{
    // A name in the abstract namespace: binding it is atomic, and it goes with its holder.
    server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (server.listen(m_name))
        return Hold::Taken;
    m_error = server.errorString();
    return server.serverError() == QAbstractSocket::AddressInUseError ? Hold::InUse : Hold::Failed;
}

void QtFolderClaim::release() {}

void QtFolderClaim::prepare(QLocalSocket& socket) const
{
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
}
