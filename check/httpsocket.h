#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

class QHostAddress;
class QSocketNotifier;
class QTcpSocket;

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
    // `number` says what failed: the QAbstractSocket::SocketError where there is one
    // (ConnectionRefusedError, HostNotFoundError...), QtTlsSocket::kCertificateRefused for a
    // certificate that did not pass verification, else QtHttpSocket::kConnectionError.
    virtual void wscHTTP_Error(int number, const QString& description) = 0;
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

protected:
    HttpSocketEvents* listener() const { return m_listener; }

private:
    HttpSocketEvents* m_listener = nullptr;
};

// The socket on Qt. QTcpSocket looks the host up and connects; once connected, the
// program takes over the connection's descriptor and reads it itself: QTcpSocket
// reports a connection reset by the server as an orderly close, and a reply cut off
// by a reset must not pass for a complete page. Reading straight into the caller's
// buffer also spares a copy of every byte of a large page.
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
    // The error number of a failure on an established connection.
    static constexpr int kConnectionError = 10054;

    // The most one read takes from the connection.
    static constexpr qsizetype kChunkBytes = 1024 * 1024;

private:
    void onConnected();
    // The connection to an address, made on a descriptor of its own (POSIX systems).
    void connectTo(const QHostAddress& address, std::uint16_t port);
    void adopt(int fd);
    void onConnectError();
    void closeDescriptor();
    // Reading and writing the connection's own descriptor (POSIX systems).
    void onReadable();
    void onWritable();
    void failConnection(int err);

    QPointer<QTcpSocket> m_connecting;
    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_unsent;
    QByteArray m_received; // handed over by GetData
    std::uint16_t m_localPort = 0;
};
