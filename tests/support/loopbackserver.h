#pragma once

// A scripted HTTP server on 127.0.0.1 with an ephemeral port. Each connection reads
// the request up to its blank line, then gets the reply of its script, piece by
// piece, and is closed (or held open, or reset).

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    struct Script
    {
        QList<QByteArray> pieces; // sent in order, each in its own write
        int pieceDelayMs = 0;     // time between pieces
        enum class End
        {
            Close,
            Hold,
            Reset
        } end = End::Close;
    };

    LoopbackServer();
    ~LoopbackServer() override;

    quint16 port() const { return m_server.serverPort(); }
    // "127.0.0.1:PORT"
    QString hostName() const;
    // The script for connection n (0-based); connections beyond the list use the last.
    QList<Script> scripts;
    // Every request as received, one per connection.
    QList<QByteArray> requests;
    int connections = 0;
    int disconnectedByClient = 0;

    // A port nobody listens on: this server's own after it stopped.
    static quint16 closedPort();

private:
    void onNewConnection();
    void sendNext(QTcpSocket* socket, const Script& script, int index);

    QTcpServer m_server;
};
