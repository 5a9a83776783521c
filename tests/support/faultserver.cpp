#include "faultserver.h"

#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

namespace {

// Never more than this much waits in the server's own send buffer: a generated body
// of any size costs the server no memory.
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kHighWater = 256 * 1024;

} // namespace

// One connection, served by its script.
class FaultSession : public QObject
{
public:
    FaultSession(FaultServer& owner, QTcpSocket* socket, FaultServer::Script script)
        : m_owner(owner), m_socket(socket), m_script(std::move(script))
    {
        socket->setParent(this);
        const qint64 unit = qMax<qint64>(1, m_script.fillUnit.size());
        if (m_script.fillUnit.isEmpty())
            m_script.fillUnit = "x";
        m_block = m_script.fillUnit.repeated(int((kChunk + unit) / unit + 1));
        connect(socket, &QTcpSocket::readyRead, this, &FaultSession::readRequest);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] {
            if (m_sentAll)
                finishWhenFlushed();
            else if (m_script.pieceBytes == 0)
                pump();
        });
        connect(socket, &QTcpSocket::disconnected, this, &FaultSession::gone);
    }

private:
    void readRequest()
    {
        const QByteArray data = m_socket->readAll();
        if (m_started)
            return;
        // A request of any length: its blank line is looked for across the pieces.
        const qsizetype from = qMax<qsizetype>(0, m_request.size() - 3);
        m_request += data;
        if (m_request.indexOf("\r\n\r\n", from) < 0)
            return;
        m_started = true;
        {
            QMutexLocker lock(&m_owner.m_mutex);
            ++m_owner.m_requests;
            m_owner.m_lastRequest = m_request;
        }
        if (m_script.answer)
            pump();
    }

    // The next bytes of the reply, at most `limit` of them.
    QByteArray next(qint64 limit)
    {
        if (m_headSent < m_script.head.size()) {
            const QByteArray piece = m_script.head.mid(m_headSent, limit);
            m_headSent += piece.size();
            return piece;
        }
        qint64 n = qMin(limit, kChunk);
        if (m_script.fillBytes >= 0)
            n = qMin(n, m_script.fillBytes - m_fillSent);
        if (n <= 0)
            return {};
        const qint64 phase = m_fillSent % m_script.fillUnit.size();
        m_fillSent += n;
        return m_block.mid(phase, n);
    }

    bool everythingSent() const
    {
        return m_headSent >= m_script.head.size() && m_script.fillBytes >= 0 &&
               m_fillSent >= m_script.fillBytes;
    }

    void pump()
    {
        if (!m_started || m_sentAll || m_gone)
            return;
        if (m_script.pieceBytes == 0) {
            while (m_socket->bytesToWrite() < kHighWater && !everythingSent())
                send(next(kChunk));
        } else {
            send(next(m_script.pieceBytes));
            if (!everythingSent()) {
                QTimer::singleShot(m_script.pieceIntervalMs, this, &FaultSession::pump);
                return;
            }
        }
        if (everythingSent()) {
            m_sentAll = true;
            finishWhenFlushed();
        }
    }

    void send(const QByteArray& bytes)
    {
        if (bytes.isEmpty() || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        m_socket->write(bytes);
        QMutexLocker lock(&m_owner.m_mutex);
        m_owner.m_bytesSent += bytes.size();
    }

    void finishWhenFlushed()
    {
        if (m_ended || m_gone || m_socket->bytesToWrite() > 0)
            return;
        m_ended = true;
        switch (m_script.end) {
        case FaultServer::Script::End::Close:
            m_socket->disconnectFromHost();
            break;
        case FaultServer::Script::End::Reset: {
            // Linger on with a zero timeout: closing sends RST instead of FIN.
            const linger abortive{1, 0};
            ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                         sizeof abortive);
            m_socket->abort();
            gone();
            break;
        }
        case FaultServer::Script::End::Hold:
            m_ended = false; // the client ends it
            break;
        }
    }

    void gone()
    {
        if (m_gone)
            return;
        m_gone = true;
        {
            QMutexLocker lock(&m_owner.m_mutex);
            if (!m_ended)
                ++m_owner.m_closedByClient;
            --m_owner.m_open;
        }
        deleteLater();
    }

    FaultServer& m_owner;
    QTcpSocket* m_socket;
    FaultServer::Script m_script;
    QByteArray m_block;
    QByteArray m_request;
    qint64 m_headSent = 0;
    qint64 m_fillSent = 0;
    bool m_started = false;
    bool m_sentAll = false;
    bool m_ended = false;
    bool m_gone = false;
};

// Lives in the server's thread: owns the listening socket and the sessions.
class FaultServerWorker : public QObject
{
public:
    explicit FaultServerWorker(FaultServer& owner) : m_owner(owner) {}

    quint16 listen()
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            qFatal("fault server: cannot listen on 127.0.0.1");
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                {
                    QMutexLocker lock(&m_owner.m_mutex);
                    ++m_owner.m_accepted;
                    ++m_owner.m_open;
                }
                auto* session = new FaultSession(m_owner, socket, m_owner.nextScript());
                session->setParent(this);
            }
        });
        return m_server->serverPort();
    }

    void stop()
    {
        // The sessions still open are children of this worker and go with it.
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }

private:
    FaultServer& m_owner;
    QTcpServer* m_server = nullptr;
};

FaultServer::Script FaultServer::Script::reply(const QByteArray& body)
{
    Script s;
    s.head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + body;
    return s;
}

FaultServer::Script FaultServer::Script::generated(qint64 bodyBytes, char fill)
{
    Script s;
    s.head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
    s.fillBytes = bodyBytes;
    s.fillUnit = QByteArray(1, fill);
    return s;
}

FaultServer::FaultServer()
{
    m_thread.setObjectName(QStringLiteral("fault server"));
    m_worker = new FaultServerWorker(*this);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

FaultServer::~FaultServer()
{
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            m_worker->stop();
            delete m_worker;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QByteArray FaultServer::url(const QByteArray& path) const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port) + "/" + path;
}

void FaultServer::setScript(const Script& script)
{
    setScripts({script});
}

void FaultServer::setScripts(const QList<Script>& scripts)
{
    QMutexLocker lock(&m_mutex);
    m_scripts = scripts.isEmpty() ? QList<Script>{Script()} : scripts;
    m_nextScript = 0;
}

FaultServer::Script FaultServer::nextScript()
{
    QMutexLocker lock(&m_mutex);
    return m_scripts.at(m_nextScript++ % m_scripts.size());
}

int FaultServer::accepted() const
{
    QMutexLocker lock(&m_mutex);
    return m_accepted;
}

int FaultServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int FaultServer::closedByClient() const
{
    QMutexLocker lock(&m_mutex);
    return m_closedByClient;
}

int FaultServer::openConnections() const
{
    QMutexLocker lock(&m_mutex);
    return m_open;
}

qint64 FaultServer::bytesSent() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytesSent;
}

QByteArray FaultServer::lastRequest() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastRequest;
}
