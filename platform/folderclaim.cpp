#include "folderclaim.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// What a later start sends and the holder answers.
constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";

} // namespace

QtFolderClaim::QtFolderClaim(const QString& programDir, QObject* parent)
    : QObject(parent), m_name(socketName(programDir))
{
}

QtFolderClaim::~QtFolderClaim()
{
    delete m_server;
    release();
}

QString QtFolderClaim::socketName(const QString& programDir)
{
    const QByteArray hash =
        QCryptographicHash::hash(identity(programDir).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("orvell-") + QString::fromLatin1(hash.toHex().left(40));
}

FolderClaim::Result QtFolderClaim::claim()
{
    // A holder that is ending at this very moment lets go of the name between our
    // tries: a few rounds settle it.
    for (int round = 0; round < 3; ++round) {
        auto* server = new QLocalServer(this);
        const Hold held = hold(*server);
        if (held == Hold::Taken) {
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
        delete server;
        if (held == Hold::Failed)
            return Result::NotClaimed;

        QLocalSocket other;
        prepare(other);
        other.connectToServer(m_name);
        if (!other.waitForConnected(kAnswerMs))
            continue; // the holder may have just ended
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
