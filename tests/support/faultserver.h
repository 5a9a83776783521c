#pragma once

// A loopback HTTP server that misbehaves on purpose, for fault-injection tests and
// benchmarks. It listens on 127.0.0.1 with an ephemeral port and serves every
// connection from a thread of its own, so that a client that blocks its event loop
// cannot hold the server back, and the server's pace is its script's alone.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QThread>
#include <memory>

class FaultServerWorker;

class FaultServer
{
public:
    // How the server answers each connection accepted after setScript().
    struct Script
    {
        // How the connection ends once everything is sent.
        enum class End
        {
            Close, // an orderly close (FIN): the normal end of a reply
            Reset, // an abortive close (RST)
            Hold,  // stays open until the client closes it
        };

        QByteArray head;      // sent first, as soon as the request has arrived
        qint64 fillBytes = 0; // then this many bytes repeating fillUnit; -1: endless
        QByteArray fillUnit = "x";
        int pieceBytes = 0;      // 0: as fast as the socket takes it; else bytes per piece
        int pieceIntervalMs = 0; // pause between pieces
        End end = End::Close;
        bool answer = true; // false: accept, read the request and never send anything

        // A complete reply: a short header, the body, then an orderly close.
        static Script reply(const QByteArray& body);
        // A header, then `bodyBytes` of generated body without holding it anywhere.
        static Script generated(qint64 bodyBytes, char fill = 'x');
    };

    FaultServer();
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>/<path>"
    QByteArray url(const QByteArray& path = "page") const;

    void setScript(const Script& script);
    // Connection n (counted from this call on) gets scripts[n % scripts.size()].
    void setScripts(const QList<Script>& scripts);

    // Counters, safe to read from any thread.
    int accepted() const;
    int requests() const;
    // Connections the client closed or lost before the script ended them.
    int closedByClient() const;
    int openConnections() const;
    qint64 bytesSent() const;
    QByteArray lastRequest() const;

private:
    friend class FaultServerWorker;
    friend class FaultSession;
    Script nextScript();

    mutable QMutex m_mutex;
    QList<Script> m_scripts{Script()};
    qsizetype m_nextScript = 0;
    int m_accepted = 0;
    int m_requests = 0;
    int m_closedByClient = 0;
    int m_open = 0;
    qint64 m_bytesSent = 0;
    QByteArray m_lastRequest;

    quint16 m_port = 0;
    QThread m_thread;
    FaultServerWorker* m_worker = nullptr;
};
