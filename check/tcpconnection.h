#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

// One outgoing TCP connection, driven by the event loop, that tells the two ways a
// server can end it apart: an orderly close (everything the server sent has arrived)
// and a reset or any other failure (what arrived may be cut anywhere). QTcpSocket
// reports both as RemoteHostClosedError and drops the data still queued behind a
// reset, so a reply cut by a reset would look complete; this class keeps the
// difference. Nothing here ever blocks: name lookup, connect, send and receive all
// return at once and report through the signals.
class TcpConnection : public QObject
{
    Q_OBJECT
public:
    enum class State { Unconnected, Resolving, Connecting, Connected, Closed };

    // Codes of failed() that are no system error number.
    static constexpr int HostNotFound = -1;

    explicit TcpConnection(QObject* parent = nullptr);
    ~TcpConnection() override;

    // Starts the name lookup and connect and returns; an earlier connection is dropped.
    // The host is a name or a numeric address; each address found is tried in turn.
    void connectToHost(const QString& host, quint16 port);
    // Queues bytes to send; they go out as the connection takes them.
    void write(const QByteArray& bytes);
    // Everything received and not taken yet.
    QByteArray readAll();
    qint64 bytesAvailable() const { return m_in.size(); }
    // Drops the connection at once; no signal follows.
    void abort();

    State state() const { return m_state; }
    // The socket's descriptor while there is one, else -1.
    int descriptor() const { return m_fd; }

Q_SIGNALS:
    void connected();
    void readyRead();
    // The server closed the connection in order; everything it sent has been read.
    void closed();
    // The connection could not be made or broke: a system error number (ECONNRESET,
    // ECONNREFUSED, ...) or HostNotFound, and a description for the user.
    void failed(int code, const QString& description);

private:
    void tryNextAddress();
    void onWritable();
    void onReadable();
    void flush();
    void fail(int code, const QString& description);
    void closeSocket();

    struct Pending;
    std::unique_ptr<Pending> m_pending;
    State m_state = State::Unconnected;
    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_in;
    QByteArray m_out;
    int m_lookupId = -1;
    quint64 m_generation = 0;
};
