#pragma once

#include "result.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

class QHostInfo;
class QTimer;
class SystemConnection;

// What the socket reports, in the order it happens. The socket calls them on the
// user-interface thread; each one runs to its end before the next.
class HttpSocketEvents
{
public:
    virtual ~HttpSocketEvents() = default;
    // The connection is up.
    virtual void wscHTTP_Connect() = 0;
    // Data is waiting; GetData takes it.
    virtual void wscHTTP_DataArrival(std::int64_t bytesTotal) = 0;
    // The server has closed the connection: the normal end of a reply.
    virtual void wscHTTP_Close() = 0;
    // The connection ended without the server's word that the reply is complete (a TLS
    // connection closed or reset without its close alert): the reply is whole only if
    // its own length says so.
    virtual void wscHTTP_CloseUnconfirmed(const QString& description) = 0;
    // The connection failed after Connect returned (host not found, refused, reset).
    // `number` says what failed, as Winsock numbers its failures (QtHttpSocket::Failure:
    // refused, reset, host not found...), QtTlsSocket::kCertificateRefused for a
    // certificate that did not pass verification, else the system's own error number.
    virtual void wscHTTP_Error(int number, const QString& description) = 0;
    // The connection is up at its transport (TCP, before any TLS handshake), or bytes came
    // over it (a handshake's too): a check counts the time without an answer from here.
    virtual void wscHTTP_Heard() {}
};

// The client connection of one fetch (`wscHTTP`; plain TCP, or TLS). Connect returns at once; its
// outcome and everything after it arrive as events. Close ends any connection and reports nothing
// more of it.
class HttpSocket
{
public:
    virtual ~HttpSocket() = default;

    void setListener(HttpSocketEvents* listener) { m_listener = listener; }

    virtual void Close() = 0;
    // 0: the system picks the local port.
    virtual void setLocalPort(std::uint16_t port) = 0;
    // Starts connecting. Raises RuntimeError at once when the request cannot even be
    // made (an empty or malformed host name, port 0).
    virtual void Connect(const QString& remoteHost, std::uint16_t remotePort) = 0;
    // Sends the bytes as they are, in one piece.
    virtual void SendData(const QByteArray& data) = 0;
    // Moves all waiting data into `data` (which keeps its capacity between calls).
    virtual void GetData(QByteArray& data) = 0;

    // How long each address of the host may take to accept the connection before the next
    // is tried, from the next Connect on; once none is left, the connection fails as timed
    // out (QtHttpSocket::TimedOut).
    static constexpr int kConnectTimeoutMs = 20000;
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    int connectTimeout() const { return m_connectTimeoutMs; }

protected:
    HttpSocketEvents* listener() const { return m_listener; }

private:
    HttpSocketEvents* m_listener = nullptr;
    int m_connectTimeoutMs = kConnectTimeoutMs;
};

// The socket on Qt and the system's own socket calls. Qt looks a host name up; the
// program then connects to its addresses in turn (each for at most connectTimeout(), so
// that an address whose packets are dropped does not cost the one that works), and reads and writes
// the connection itself (SystemConnection): Qt's sockets report a connection reset by the server as
// an orderly close on some systems, and a reply cut off by a reset must not pass for a complete
// page. Reading straight into the caller's buffer also spares a copy of every byte of a large page.
class QtHttpSocket : public QObject, public HttpSocket
{
    Q_OBJECT
public:
    explicit QtHttpSocket(QObject* parent = nullptr);
    ~QtHttpSocket() override;

    void Close() override;
    void setLocalPort(std::uint16_t port) override { m_localPort = port; }
    void Connect(const QString& remoteHost, std::uint16_t remotePort) override;
    void SendData(const QByteArray& data) override;
    void GetData(QByteArray& data) override;

    // Whether `host` can be asked for at all: a host name of letters, digits, dots,
    // hyphens and underscores, or an IPv4 or bracketed IPv6 address.
    static bool isValidHost(const QString& host);
    // Raises the RuntimeError of a connect request that cannot even be made.
    static void checkTarget(const QString& host, std::uint16_t port);

    // Error numbers of the requests rejected at once.
    enum Number
    {
        InvalidHost = 10049,
        InvalidPort = 10022
    };
    // The numbers of failures after Connect has returned, as Winsock knows them; any
    // other failure comes with the system's own number.
    enum Failure
    {
        ConnectionReset = 10054,
        ConnectionRefused = 10061,
        TimedOut = 10060,
        NetworkUnreachable = 10051,
        HostUnreachable = 10065,
        HostNotFound = 11001
    };
    // The error number of a failure on an established connection.
    static constexpr int kConnectionError = ConnectionReset;
    // The words for a failure, the same on every system.
    static QString describe(int number, const QString& systemText);
    // The number of a failure Qt's sockets report.
    static int numberOf(QAbstractSocket::SocketError error);

    // The most one read takes from the connection.
    static constexpr qsizetype kChunkBytes = 1024 * 1024;

private:
    void onLookedUp(const QHostInfo& info);
    // Connects to the next address of the host; fails with the last error when none is left.
    void connectNext();
    void onConnected(const Result<void>& outcome);
    void onReadable();
    void onWritable();
    // Ends the connection with the failure's number and the system's words for it.
    void failConnection(int number, const QString& systemText);
    void closeConnection();
    void onConnectTimeout();

    QList<QHostAddress> m_addresses; // still to try, in the order the lookup gave
    std::uint16_t m_port = 0;
    int m_lookupId = -1;
    int m_lastNumber = 0;
    QString m_lastText;
    SystemConnection* m_connection = nullptr;
    QTimer* m_connectTimer = nullptr; // runs while an address is being connected to
    bool m_up = false;                // connected, and not ended since
    QByteArray m_unsent;
    QByteArray m_received; // handed over by GetData
    std::uint16_t m_localPort = 0;
};
