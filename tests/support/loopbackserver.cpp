#include "loopbackserver.h"

#include "testsystem.h"

#include <QFile>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

// Never more than this much waits in the server's own send buffers: a generated body
// of any size costs the server no memory.
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kHighWater = 256 * 1024;

QByteArray readTestFile(const QString& name)
{
    QFile f(LoopbackServer::certificateDir() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("loopback server: cannot read %s: %s", qPrintable(f.fileName()),
               qPrintable(f.errorString()));
    return f.readAll();
}

// Hands over every accepted connection as its descriptor, so it can become a TLS socket.
class DescriptorServer : public QTcpServer
{
public:
    std::function<void(qintptr)> onIncoming;

protected:
    void incomingConnection(qintptr descriptor) override { onIncoming(descriptor); }
};

} // namespace

// One connection, served by its script.
class LoopbackSession : public QObject
{
public:
    LoopbackSession(LoopbackServer& owner, qintptr descriptor, LoopbackServer::Script script,
                    const QSslConfiguration* tls)
        : m_owner(owner), m_script(std::move(script))
    {
        using Handshake = LoopbackServer::Script::Handshake;
        if (m_script.fillUnit.isEmpty())
            m_script.fillUnit = "x";
        const qint64 unit = m_script.fillUnit.size();
        m_block = m_script.fillUnit.repeated(int((kChunk + unit) / unit + 1));
        m_handshakeOnly = tls && m_script.handshake != Handshake::Complete;
        if (tls && !m_handshakeOnly) {
            auto* ssl = new QSslSocket(this);
            m_ssl = ssl;
            m_socket = ssl;
            ssl->setSslConfiguration(*tls);
            ssl->setSocketDescriptor(descriptor);
            connect(ssl, &QSslSocket::encryptedBytesWritten, this, &LoopbackSession::written);
            ssl->startServerEncryption();
        } else {
            m_socket = new QTcpSocket(this);
            m_socket->setSocketDescriptor(descriptor);
        }
        connect(m_socket, &QTcpSocket::readyRead, this, &LoopbackSession::readRequest);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &LoopbackSession::written);
        connect(m_socket, &QTcpSocket::disconnected, this, &LoopbackSession::gone);
    }

private:
    qint64 pending() const
    {
        return m_socket->bytesToWrite() + (m_ssl ? m_ssl->encryptedBytesToWrite() : 0);
    }

    bool stepped() const { return m_script.pieceBytes > 0 || m_script.pieceIntervalMs > 0; }

    void written()
    {
        if (m_sentAll)
            finishLater();
        else if (!stepped())
            pump();
    }

    // From a stack of its own: the TLS layer does not take a flush from inside its signals.
    void finishLater() { QTimer::singleShot(0, this, &LoopbackSession::finishWhenFlushed); }

    void readRequest()
    {
        const QByteArray data = m_socket->readAll();
        if (m_handshakeOnly) {
            if (m_script.handshake == LoopbackServer::Script::Handshake::Stall)
                return;
            // The client's hello has come: refuse it, or just go.
            m_ended = true;
            if (m_script.handshake == LoopbackServer::Script::Handshake::Refuse)
                m_socket->write(QByteArray::fromHex("15030300020228"));
            m_socket->disconnectFromHost();
            return;
        }
        if (m_started)
            return;
        // A request of any length: its blank line is looked for across the pieces.
        const qsizetype from = qMax<qsizetype>(0, m_request.size() - 3);
        m_request += data;
        if (m_request.indexOf("\r\n\r\n", from) < 0)
            return;
        m_started = true;
        m_owner.recordRequest(m_request);
        if (m_script.answer)
            pump();
    }

    // The next bytes of the reply, at most `limit` of them.
    QByteArray next(qint64 limit)
    {
        while (m_piece < m_script.pieces.size()) {
            const QByteArray& piece = m_script.pieces[m_piece];
            if (m_pieceSent < piece.size()) {
                const QByteArray part = piece.mid(m_pieceSent, limit);
                m_pieceSent += part.size();
                return part;
            }
            ++m_piece;
            m_pieceSent = 0;
        }
        qint64 n = qMin(limit, kChunk);
        if (m_script.fillBytes >= 0)
            n = qMin(n, m_script.fillBytes - m_fillSent);
        if (n <= 0) {
            const QByteArray part = m_script.after.mid(m_afterSent, limit);
            m_afterSent += part.size();
            return part;
        }
        const qint64 phase = m_fillSent % m_script.fillUnit.size();
        m_fillSent += n;
        return m_block.mid(phase, n);
    }

    bool everythingSent() const
    {
        const bool piecesSent =
            m_piece >= m_script.pieces.size() ||
            (m_piece == m_script.pieces.size() - 1 && m_pieceSent >= m_script.pieces.last().size());
        return piecesSent && m_script.fillBytes >= 0 && m_fillSent >= m_script.fillBytes &&
               m_afterSent >= m_script.after.size();
    }

    void pump()
    {
        // A silent script never answers, whatever the TLS layer's own writes report.
        if (!m_started || m_sentAll || m_gone || !m_script.answer)
            return;
        if (!stepped()) {
            while (pending() < kHighWater && !everythingSent())
                send(next(kChunk));
        } else {
            send(next(m_script.pieceBytes > 0 ? m_script.pieceBytes : kChunk));
            if (!everythingSent()) {
                QTimer::singleShot(m_script.pieceIntervalMs, this, &LoopbackSession::pump);
                return;
            }
        }
        if (everythingSent()) {
            m_sentAll = true;
            finishLater();
        }
    }

    void send(const QByteArray& bytes)
    {
        if (bytes.isEmpty() || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        m_socket->write(bytes);
        m_owner.m_bytesSent += bytes.size();
    }

    void finishWhenFlushed()
    {
        using End = LoopbackServer::Script::End;
        if (m_ended || m_gone)
            return;
        // Over TLS, encrypted bytes may wait inside the TLS layer yet: out with them.
        if (m_ssl)
            m_ssl->flush();
        if (pending() > 0)
            return;
        m_ended = true;
        const qintptr fd = m_socket->socketDescriptor();
        switch (m_script.end) {
        case End::Close:
            m_socket->disconnectFromHost();
            break;
        case End::CloseWithoutAlert:
            if (m_ssl)
                TestSystem::shutdownWrite(fd); // the TCP connection ends; TLS never said so
            else
                m_socket->disconnectFromHost();
            break;
        case End::Reset: {
            TestSystem::resetOnClose(fd);
            m_socket->abort();
            if (!m_ssl)
                gone();
            break;
        }
        case End::Hold:
            m_ended = false; // the client ends it
            break;
        }
    }

    void gone()
    {
        if (m_gone)
            return;
        m_gone = true;
        if (!m_ended)
            ++m_owner.m_closedByClient;
        --m_owner.m_open;
        deleteLater();
    }

    LoopbackServer& m_owner;
    QTcpSocket* m_socket = nullptr;
    QSslSocket* m_ssl = nullptr;
    LoopbackServer::Script m_script;
    QByteArray m_block;
    QByteArray m_request;
    qsizetype m_piece = 0;
    qint64 m_pieceSent = 0;
    qint64 m_fillSent = 0;
    qint64 m_afterSent = 0;
    bool m_handshakeOnly = false;
    bool m_started = false;
    bool m_sentAll = false;
    bool m_ended = false;
    bool m_gone = false;
};

// Lives in the server's thread: owns the listening socket and the sessions.
class LoopbackServerWorker : public QObject
{
public:
    explicit LoopbackServerWorker(LoopbackServer& owner) : m_owner(owner) {}

    void listen(quint16 port)
    {
        if (m_owner.isTls()) {
            m_tls = QSslConfiguration::defaultConfiguration();
            m_tls.setLocalCertificate(
                QSslCertificate(readTestFile(m_owner.m_certificate + ".pem")));
            m_tls.setPrivateKey(QSslKey(readTestFile(QStringLiteral("server.key")), QSsl::Ec));
            m_tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        }
        m_server = new DescriptorServer;
        m_server->setParent(this);
        m_server->onIncoming = [this](qintptr descriptor) {
            ++m_owner.m_connections;
            ++m_owner.m_open;
            auto* session = new LoopbackSession(m_owner, descriptor, m_owner.nextScript(),
                                                m_owner.isTls() ? &m_tls : nullptr);
            session->setParent(this);
        };
        if (m_server->listen(QHostAddress::LocalHost, port))
            m_owner.m_port = m_server->serverPort();
        else
            m_owner.m_listenError = m_server->errorString();
    }

    void stop()
    {
        // The sessions still open are children of this worker and go with it.
        delete m_server;
        m_server = nullptr;
    }

private:
    LoopbackServer& m_owner;
    DescriptorServer* m_server = nullptr;
    QSslConfiguration m_tls;
};

LoopbackServer::Script LoopbackServer::Script::sent(QList<QByteArray> pieces, int intervalMs,
                                                    End end)
{
    Script s;
    s.pieces = std::move(pieces);
    s.pieceIntervalMs = intervalMs;
    s.end = end;
    return s;
}

LoopbackServer::Script LoopbackServer::Script::reply(const QByteArray& body)
{
    Script s;
    s.pieces = {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + body};
    return s;
}

LoopbackServer::Script LoopbackServer::Script::replyWithLength(const QByteArray& body,
                                                               qint64 length)
{
    Script s;
    s.pieces = {"HTTP/1.1 200 OK\r\nContent-Length: " +
                QByteArray::number(length < 0 ? body.size() : length) +
                "\r\nConnection: close\r\n\r\n" + body};
    return s;
}

LoopbackServer::Script LoopbackServer::Script::answered(const QByteArray& status,
                                                        const QByteArray& body)
{
    Script s;
    s.pieces = {"HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" +
                body};
    return s;
}

LoopbackServer::Script LoopbackServer::Script::generated(qint64 bodyBytes, char fill)
{
    Script s;
    const QByteArray length =
        bodyBytes >= 0 ? "Content-Length: " + QByteArray::number(bodyBytes) + "\r\n" : "";
    s.pieces = {"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n" + length + "\r\n"};
    s.fillBytes = bodyBytes;
    s.fillUnit = QByteArray(1, fill);
    return s;
}

namespace {
const QByteArray kChunkedHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Transfer-Encoding: chunked\r\n\r\n";
} // namespace

LoopbackServer::Script LoopbackServer::Script::chunked(const QByteArray& body,
                                                       const Chunking& chunking)
{
    QByteArray reply = kChunkedHeader;
    auto sizeLine = [&](qsizetype n) {
        QByteArray hex = QByteArray::number(qint64(n), 16);
        return (chunking.upperHex ? hex.toUpper() : hex) + chunking.extension + "\r\n";
    };
    for (qsizetype at = 0, i = 0; at < body.size(); ++i) {
        const qsizetype n = qMin<qsizetype>(qMax(1, chunking.sizes.value(i, chunking.sizes.last())),
                                            body.size() - at);
        reply += sizeLine(n) + body.mid(at, n) + "\r\n";
        at += n;
    }
    if (chunking.last)
        reply += sizeLine(0) + chunking.trailer + "\r\n";
    Script s;
    s.pieces = {reply};
    return s;
}

LoopbackServer::Script LoopbackServer::Script::generatedChunks(qint64 bodyBytes, int chunkBytes,
                                                               char fill)
{
    auto chunk = [fill](qint64 n) {
        return QByteArray::number(n, 16) + "\r\n" + QByteArray(n, fill) + "\r\n";
    };
    Script s;
    s.pieces = {kChunkedHeader};
    s.fillUnit = chunk(chunkBytes);
    s.fillBytes = bodyBytes / chunkBytes * s.fillUnit.size();
    s.after = (bodyBytes % chunkBytes ? chunk(bodyBytes % chunkBytes) : QByteArray()) + "0\r\n\r\n";
    return s;
}

LoopbackServer::LoopbackServer(const QString& certificate, quint16 port)
    : m_maker([](int) { return Script(); }), m_certificate(certificate)
{
    m_thread.setObjectName(QStringLiteral("loopback server"));
    m_worker = new LoopbackServerWorker(*this);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker, [this, port] { m_worker->listen(port); }, Qt::BlockingQueuedConnection);
    if (port == 0 && !isListening())
        qFatal("loopback server: cannot listen on 127.0.0.1: %s", qPrintable(m_listenError));
}

LoopbackServer::~LoopbackServer()
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

QString LoopbackServer::hostName() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LoopbackServer::url(const QString& path, const QString& host) const
{
    return QStringLiteral("%1://%2:%3/%4")
        .arg(isTls() ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(m_port)
        .arg(path);
}

void LoopbackServer::setScript(const Script& script)
{
    setScripts({script});
}

void LoopbackServer::setScripts(const QList<Script>& scripts)
{
    const QList<Script> list = scripts.isEmpty() ? QList<Script>{Script()} : scripts;
    setScriptMaker([list](int n) { return list.at(n % list.size()); });
}

void LoopbackServer::setScriptMaker(ScriptMaker maker)
{
    QMutexLocker lock(&m_mutex);
    m_maker = std::move(maker);
    m_nextConnection = 0;
}

void LoopbackServer::setRequestObserver(std::function<void(const QByteArray&)> observer)
{
    QMutexLocker lock(&m_mutex);
    m_observer = std::move(observer);
}

LoopbackServer::Script LoopbackServer::nextScript()
{
    QMutexLocker lock(&m_mutex);
    return m_maker(m_nextConnection++);
}

void LoopbackServer::recordRequest(const QByteArray& request)
{
    std::function<void(const QByteArray&)> observer;
    {
        QMutexLocker lock(&m_mutex);
        // A copy of its own size: a read buffer's spare room is not kept for every request.
        m_requests.append(QByteArray(request.constData(), request.size()));
        observer = m_observer;
    }
    if (observer)
        observer(request);
}

QList<QByteArray> LoopbackServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

quint16 LoopbackServer::closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}

QString LoopbackServer::certificateDir()
{
    return QStringLiteral(ORVELL_TEST_TLS_DIR);
}

QSslConfiguration LoopbackServer::clientTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({QSslCertificate(readTestFile(QStringLiteral("ca.pem")))});
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return tls;
}

UnansweredPort::UnansweredPort() : m_server(new QTcpServer)
{
    m_server->setListenBacklogSize(0);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        return;
    m_server->pauseAccepting();
    // A queue of one fills with the first connections; a probe then must not get through.
    for (int i = 0; i < 3; ++i) {
        auto* filler = new QTcpSocket;
        filler->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
        m_fillers.append(filler);
    }
    for (QTcpSocket* filler : m_fillers)
        filler->waitForConnected(200);
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    if (!probe.waitForConnected(300))
        m_port = m_server->serverPort();
    probe.abort();
}

UnansweredPort::~UnansweredPort()
{
    qDeleteAll(m_fillers);
    delete m_server;
}
