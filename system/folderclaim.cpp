#include "folderclaim.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {

// What a later start sends and the holder answers, a line each. The answer to the
// request to end names the holder's process, for the asker to wait for its end.
constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";
constexpr char kExitRequest[] = "exit\n";
constexpr char kEndingAnswer[] = "ending ";

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

Result<FolderClaim::Outcome> QtFolderClaim::claim()
{
    // A holder that is ending at this very moment lets go of the name between our
    // tries: a few rounds settle it.
    for (int round = 0; round < 3; ++round) {
        auto* server = new QLocalServer(this);
        const Result<Hold> held = hold(*server);
        if (held && held.value() == Hold::Taken) {
            m_server = server;
            connect(m_server, &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                    connect(socket, &QLocalSocket::readyRead, this,
                            [this, socket] { serve(socket); });
                    serve(socket);
                }
            });
            return Outcome::Claimed;
        }
        delete server;
        if (!held)
            return held.error();

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
            return Outcome::OtherShown;
        if (other.state() == QLocalSocket::ConnectedState)
            return Outcome::OtherSilent;
        // The holder ended without answering: the name may be free now.
    }
    return SystemError{0, QStringLiteral("the directory's name stayed taken")};
}

FolderClaim::Outcome QtFolderClaim::askToExit()
{
    m_otherPid = 0;
    const QDeadlineTimer deadline(kAnswerMs);
    QLocalSocket other;
    prepare(other);
    for (;;) {
        other.connectToServer(m_name);
        if (other.waitForConnected(int(deadline.remainingTime())))
            break;
        // Nobody listens: no watcher runs there, unless one holds the name and is just
        // about to listen.
        if (!held())
            return Outcome::NoneRunning;
        if (deadline.hasExpired())
            return Outcome::OtherSilent;
        QThread::msleep(50);
    }
    other.write(kExitRequest);
    other.waitForBytesWritten(int(deadline.remainingTime()));
    while (!other.canReadLine() && other.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    if (other.canReadLine()) {
        const QByteArray answer = other.readLine();
        if (!answer.startsWith(kEndingAnswer))
            return Outcome::OtherSilent;
        m_otherPid = answer.mid(int(sizeof kEndingAnswer) - 1).trimmed().toLongLong();
        return Outcome::OtherEnding;
    }
    // A holder that goes without an answer was ending already.
    return other.state() == QLocalSocket::ConnectedState ? Outcome::OtherSilent
                                                         : Outcome::OtherEnding;
}

bool QtFolderClaim::waitForOtherToEnd(int ms)
{
    // Without its process's number the closed connection is all there is to go by.
    return m_otherPid <= 0 || processEnded(m_otherPid, ms);
}

void QtFolderClaim::setRequestHandler(RequestHandler handler)
{
    m_handler = std::move(handler);
    const QList<QLocalSocket*> waiting = std::exchange(m_waiting, {});
    for (QLocalSocket* socket : waiting)
        serve(socket);
}

void QtFolderClaim::serve(QLocalSocket* socket)
{
    if (!socket->canReadLine())
        return;
    if (!m_handler) {
        if (!m_waiting.contains(socket)) {
            m_waiting.append(socket);
            connect(socket, &QObject::destroyed, this,
                    [this, socket] { m_waiting.removeAll(socket); });
        }
        return;
    }
    while (socket->canReadLine()) {
        const QByteArray request = socket->readLine();
        if (request == kShowRequest) {
            m_handler(Request::Show);
            socket->write(kShownAnswer);
            socket->flush();
        } else if (request == kExitRequest) {
            m_handler(Request::Exit);
            socket->write(kEndingAnswer + QByteArray::number(QCoreApplication::applicationPid()) +
                          '\n');
            // The program ends next: the answer leaves before.
            socket->waitForBytesWritten(kAnswerMs);
        }
        // Nothing else is asked of the holder.
    }
}
