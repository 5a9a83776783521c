#include "loopbackserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

LoopbackServer::LoopbackServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::onNewConnection);
}

LoopbackServer::~LoopbackServer() = default;

QString LoopbackServer::hostName() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

quint16 LoopbackServer::closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}

void LoopbackServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const int n = connections++;
        requests.append(QByteArray());
        const Script script = scripts.isEmpty() ? Script{} : scripts.value(n, scripts.last());
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (!socket->property("closedByServer").toBool())
                ++disconnectedByClient;
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, n, script] {
            const bool complete = requests[n].contains("\r\n\r\n");
            requests[n] += socket->readAll();
            if (!complete && requests[n].contains("\r\n\r\n"))
                sendNext(socket, script, 0);
        });
    }
}

void LoopbackServer::sendNext(QTcpSocket* socket, const Script& script, int index)
{
    if (index < script.pieces.size()) {
        socket->write(script.pieces[index]);
        socket->flush();
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(script.pieceDelayMs, this, [this, guard, script, index] {
            if (guard)
                sendNext(guard, script, index + 1);
        });
        return;
    }
    socket->setProperty("closedByServer", script.end != Script::End::Hold);
    switch (script.end) {
    case Script::End::Close:
        socket->disconnectFromHost();
        break;
    case Script::End::Hold:
        break;
    case Script::End::Reset: {
        // A zero linger time makes the close send a reset.
        const linger l{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &l, sizeof l);
        socket->abort();
        break;
    }
    }
}
