#pragma once

// The test kit's web server: HTTP or HTTPS on 127.0.0.1 (an ephemeral port unless told
// otherwise), serving each connection from a thread of its own by a script: a reply as
// it should be, or one that misbehaves on purpose (cut short, reset, trickled, endless,
// never answered, held open, in chunks of any size or form, a TLS handshake refused or
// never answered). A client that blocks its event loop cannot
// hold the server back, and the server's pace is its script's alone.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QSslConfiguration>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>

class LoopbackServerWorker;
class QTcpServer;
class QTcpSocket;

class LoopbackServer
{
public:
    // How the server answers one connection.
    struct Script
    {
        // How the connection ends once everything is sent.
        enum class End
        {
            Close,             // an orderly close (over TLS: the close alert first)
            CloseWithoutAlert, // over TLS: the connection closed without the close alert
            Reset,             // an abortive close (RST)
            Hold,              // stays open until the client closes it
        };
        // How a TLS server meets the client's handshake.
        enum class Handshake
        {
            Complete,
            Refuse, // answers the client's hello with a fatal handshake-failure alert
            Drop,   // closes the connection in the middle of the handshake
            Stall,  // takes the client's hello and never answers it
        };

        QList<QByteArray> pieces; // sent first, in order, each in a write of its own
        qint64 fillBytes = 0;     // then this many bytes repeating fillUnit; -1: endless
        QByteArray fillUnit = "x";
        QByteArray after;        // then this, once the fill is sent
        int pieceBytes = 0;      // > 0: what is sent is cut into pieces of this size
        int pieceIntervalMs = 0; // > 0: a pause after each piece
        End end = End::Close;
        bool answer = true; // false: accept, read the request and never send anything
        Handshake handshake = Handshake::Complete;

        // These pieces, a pause of `intervalMs` after each, then the end.
        static Script sent(QList<QByteArray> pieces, int intervalMs = 0, End end = End::Close);
        // A complete reply: a short header, the body, then an orderly close.
        static Script reply(const QByteArray& body);
        // The same with a Content-Length field (of `length`, or the body's own): a length
        // larger than the body makes a reply cut short.
        static Script replyWithLength(const QByteArray& body, qint64 length = -1);
        // A reply with another status than "200 OK": `status` is "503 Service Unavailable".
        static Script answered(const QByteArray& status, const QByteArray& body);
        // A header, then `bodyBytes` of generated body without holding it anywhere; -1: a
        // body without end (and without a Content-Length).
        static Script generated(qint64 bodyBytes, char fill = 'x');
        // A reply whose body goes in chunks ("Transfer-Encoding: chunked"), their sizes
        // taken from `sizes` in turn, each size line in `hex` case with `extension` after
        // it; then the zero-size chunk, `trailer` fields ("Name: value\r\n"...) and the
        // empty line, unless `last` is false: then the body stops before the zero-size
        // chunk, as a reply cut short.
        struct Chunking
        {
            QList<int> sizes = {1024};
            QByteArray extension = {};
            QByteArray trailer = {};
            bool upperHex = false;
            bool last = true;
        };
        static Script chunked(const QByteArray& body, const Chunking& chunking);
        // A header, then `bodyBytes` of generated body in chunks of `chunkBytes`, without
        // holding it anywhere.
        static Script generatedChunks(qint64 bodyBytes, int chunkBytes, char fill = 'x');
    };
    using ScriptMaker = std::function<Script(int connection)>;

    // A plain HTTP server; with a certificate name ("good", "expired", "future",
    // "otherhost", "selfsigned", "untrusted": the test certificates of tests/support/tls)
    // an HTTPS server presenting it. Port 0: the system picks one.
    explicit LoopbackServer(const QString& certificate = QString(), quint16 port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Whether it listens; when not, why.
    bool isListening() const { return m_port != 0; }
    QString listenError() const { return m_listenError; }
    quint16 port() const { return m_port; }
    bool isTls() const { return !m_certificate.isEmpty(); }
    // "127.0.0.1:PORT"
    QString hostName() const;
    // "http://127.0.0.1:PORT/path", or https for a TLS server.
    QString url(const QString& path = QStringLiteral("page"),
                const QString& host = QStringLiteral("127.0.0.1")) const;

    // Connection n (counted from this call on) gets scripts[n % scripts.size()].
    void setScript(const Script& script);
    void setScripts(const QList<Script>& scripts);
    // Or the script of each connection made when it is accepted (in the server's thread).
    void setScriptMaker(ScriptMaker maker);
    // Called with each request once it is complete (in the server's thread).
    void setRequestObserver(std::function<void(const QByteArray&)> observer);

    // Counters, safe to read from any thread.
    int connections() const { return m_connections; }
    // Connections the client closed or lost before the script ended them.
    int closedByClient() const { return m_closedByClient; }
    int openConnections() const { return m_open; }
    qint64 bytesSent() const { return m_bytesSent; }
    // Complete requests (up to their blank line), one per connection that sent one.
    QList<QByteArray> requests() const;
    QByteArray lastRequest() const
    {
        const QList<QByteArray> all = requests();
        return all.isEmpty() ? QByteArray() : all.last();
    }

    // A port nobody listens on.
    static quint16 closedPort();
    // The TLS settings of a client that trusts the test CA, and nothing else.
    static QSslConfiguration clientTls();
    // The folder of the test certificates.
    static QString certificateDir();

private:
    friend class LoopbackServerWorker;
    friend class LoopbackSession;
    Script nextScript();
    void recordRequest(const QByteArray& request);

    mutable QMutex m_mutex;
    ScriptMaker m_maker;
    int m_nextConnection = 0;
    std::function<void(const QByteArray&)> m_observer;
    std::atomic<int> m_connections = 0;
    std::atomic<int> m_closedByClient = 0;
    std::atomic<int> m_open = 0;
    std::atomic<qint64> m_bytesSent = 0;
    QList<QByteArray> m_requests; // under m_mutex, as the script maker and observer

    QString m_certificate;
    quint16 m_port = 0;
    QString m_listenError;
    QThread m_thread;
    LoopbackServerWorker* m_worker = nullptr;
};

// A port on 127.0.0.1 that never takes a connection, like an address whose packets a
// firewall drops: its listening queue is kept full, and the system drops further requests.
class UnansweredPort
{
public:
    UnansweredPort();
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;
    // 0 where the system takes the connections all the same (a test then skips).
    quint16 port() const { return m_port; }

private:
    QTcpServer* m_server;
    QList<QTcpSocket*> m_fillers;
    quint16 m_port = 0;
};
