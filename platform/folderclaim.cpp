#include "folderclaim.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// What a later start sends and the holder answers.
constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";

#ifdef Q_OS_LINUX
constexpr bool kAbstractNames = true;
#else
constexpr bool kAbstractNames = false;
#endif

} // namespace

QtFolderClaim::QtFolderClaim(const QString& programDir, QObject* parent)
    : QObject(parent), m_name(socketName(programDir))
{
}

QtFolderClaim::~QtFolderClaim() = default;

QString QtFolderClaim::socketName(const QString& programDir)
{
    // The same directory reached through a link or with a trailing separator is the
    // same directory.
    const QFileInfo info(programDir);
    const QString canonical = info.canonicalFilePath();
    const QString dir = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QByteArray hash = QCryptographicHash::hash(dir.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("orvell-") + QString::fromLatin1(hash.toHex().left(40));
}

FolderClaim::Result QtFolderClaim::claim()
{
    // A holder that is ending at this very moment lets go of the name between our
    // tries: a few rounds settle it.
    for (int round = 0; round < 3; ++round) {
        auto* server = new QLocalServer(this);
        if (kAbstractNames)
            server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        if (server->listen(m_name)) {
            m_server = server;
            connect(m_server, &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                    connect(socket, &QLocalSocket::readyRead, this,
                            [this, socket] { serve(socket); });
                    serve(socket);
                }
            });
            return Result::Claimed;
        }
        const bool inUse = server->serverError() == QAbstractSocket::AddressInUseError;
        m_error = server->errorString();
        delete server;
        if (!inUse)
            return Result::NotClaimed;

        QLocalSocket other;
        if (kAbstractNames)
            other.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        other.connectToServer(m_name);
        if (!other.waitForConnected(kAnswerMs)) {
            // A socket file left by a holder that crashed (abstract names never stay).
            if (!kAbstractNames)
                QLocalServer::removeServer(m_name);
            continue;
        }
        other.write(kShowRequest);
        other.waitForBytesWritten(kAnswerMs);
        while (!other.canReadLine() && other.waitForReadyRead(kAnswerMs)) {
        }
        if (other.canReadLine() && other.readLine() == kShownAnswer)
            return Result::OtherShown;
        if (other.state() == QLocalSocket::ConnectedState)
            return Result::OtherSilent;
        // The holder ended without answering: the name may be free now.
    }
    m_error = QStringLiteral("the directory's name stayed taken");
    return Result::NotClaimed;
}

void QtFolderClaim::setShowHandler(ShowHandler handler)
{
    m_showHandler = std::move(handler);
    const QList<QLocalSocket*> waiting = std::exchange(m_waiting, {});
    for (QLocalSocket* socket : waiting)
        serve(socket);
}

void QtFolderClaim::serve(QLocalSocket* socket)
{
    if (!socket->canReadLine())
        return;
    if (!m_showHandler) {
        if (!m_waiting.contains(socket)) {
            m_waiting.append(socket);
            connect(socket, &QObject::destroyed, this,
                    [this, socket] { m_waiting.removeAll(socket); });
        }
        return;
    }
    while (socket->canReadLine()) {
        if (socket->readLine() != kShowRequest)
            continue; // nothing else is asked of the holder
        m_showHandler();
        socket->write(kShownAnswer);
        socket->flush();
    }
}
