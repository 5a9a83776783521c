#include "httpsocket.h"

#include "runtimeerror.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX) && !defined(ORVELL_PORTABLE_SOCKET)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#define ORVELL_OWN_DESCRIPTOR 1
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // macOS: SIGPIPE is switched off on the socket instead
#endif
#endif

#ifdef ORVELL_OWN_DESCRIPTOR
namespace {

QString errorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace
#endif

QtHttpSocket::QtHttpSocket(QObject* parent) : QObject(parent) {}

QtHttpSocket::~QtHttpSocket()
{
    Close();
}

bool QtHttpSocket::isValidHost(const QString& host)
{
    if (host.isEmpty())
        return false;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        return QHostAddress(host.mid(1, host.size() - 2)).protocol() ==
               QAbstractSocket::IPv6Protocol;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

void QtHttpSocket::checkTarget(const QString& host, std::uint16_t port)
{
    if (!isValidHost(host))
        throw RuntimeError(InvalidHost,
                           QStringLiteral("The host name \"%1\" is not valid").arg(host));
    if (port == 0)
        throw RuntimeError(InvalidPort, QStringLiteral("The port 0 is not valid"));
}

void QtHttpSocket::Close()
{
    if (QTcpSocket* old = m_connecting) {
        m_connecting = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    closeDescriptor();
}

void QtHttpSocket::closeDescriptor()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
#ifdef ORVELL_OWN_DESCRIPTOR
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
    m_unsent.clear();
    m_received.resize(0);
}

void QtHttpSocket::Connect(const QString& remoteHost, std::uint16_t remotePort)
{
    checkTarget(remoteHost, remotePort);
    Close();
    QString host = remoteHost;
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
#ifdef ORVELL_OWN_DESCRIPTOR
    // An address needs no lookup: the connection is made straight away, without the
    // QTcpSocket that a host name needs for its lookup.
    if (const QHostAddress address(host); !address.isNull()) {
        connectTo(address, remotePort);
        return;
    }
#endif
    auto* socket = new QTcpSocket(this);
    m_connecting = socket;
    if (m_localPort != 0)
        socket->bind(QHostAddress::Any, m_localPort);
    connect(socket, &QTcpSocket::connected, this, &QtHttpSocket::onConnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &QtHttpSocket::onConnectError);
    socket->connectToHost(host, remotePort);
}

#ifdef ORVELL_OWN_DESCRIPTOR
void QtHttpSocket::connectTo(const QHostAddress& address, std::uint16_t port)
{
    sockaddr_storage target{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&target);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&target);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in4;
    }
    const int fd = ::socket(target.ss_family, SOCK_STREAM, 0);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_fd = fd;
        sockaddr_storage local{};
        local.ss_family = target.ss_family;
        reinterpret_cast<sockaddr_in*>(&local)->sin_port = htons(m_localPort); // same place in both
        if (m_localPort != 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&local), length) != 0)
            err = errno;
        else if (::connect(fd, reinterpret_cast<sockaddr*>(&target), length) != 0 &&
                 errno != EINPROGRESS)
            err = errno;
    }
    if (err != 0) {
        // Reported as a failure of the connection, after Connect has returned.
        closeDescriptor();
        QTimer::singleShot(0, this, [this, err] { failConnection(err); });
        return;
    }
    // Writable once the connection is up, or has failed.
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
        m_writeNotifier->setEnabled(false);
        m_writeNotifier->deleteLater(); // not while it is reporting
        m_writeNotifier = nullptr;
        if (error != 0)
            failConnection(error);
        else
            adopt(m_fd);
    });
}
#endif

void QtHttpSocket::onConnected()
{
    QTcpSocket* socket = m_connecting;
    if (!socket)
        return;
#ifndef ORVELL_OWN_DESCRIPTOR
    // Without descriptors of our own the QTcpSocket carries the connection. A reset
    // then looks like an orderly close, which is the one thing lost here.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        m_received = socket->readAll();
        if (listener() && !m_received.isEmpty())
            listener()->wscHTTP_DataArrival(m_received.size());
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != m_connecting)
            return;
        m_connecting = nullptr;
        socket->disconnect(this);
        socket->deleteLater();
        if (listener())
            listener()->wscHTTP_Close();
    });
    if (listener())
        listener()->wscHTTP_Connect();
#else
    // The descriptor is duplicated, then the QTcpSocket let go: closing its copy
    // leaves the connection open on ours.
    const int fd = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    const int err = errno;
    m_connecting = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (fd < 0) {
        if (listener())
            listener()->wscHTTP_Error(kConnectionError, errorText(err));
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    adopt(fd);
#endif
}

#ifdef ORVELL_OWN_DESCRIPTOR
void QtHttpSocket::adopt(int fd)
{
    m_fd = fd;
#ifdef SO_NOSIGPIPE
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &QtHttpSocket::onReadable);
    if (listener())
        listener()->wscHTTP_Connect();
}
#endif

void QtHttpSocket::onConnectError()
{
    QTcpSocket* socket = m_connecting;
    if (!socket)
        return;
    if (socket->error() == QAbstractSocket::RemoteHostClosedError)
        return; // the end of a reply: `disconnected` follows
    const int number = int(socket->error());
    const QString description = socket->errorString();
    Close();
    if (listener())
        listener()->wscHTTP_Error(number, description);
}

void QtHttpSocket::SendData(const QByteArray& data)
{
#ifndef ORVELL_OWN_DESCRIPTOR
    if (m_connecting && m_connecting->state() == QAbstractSocket::ConnectedState)
        m_connecting->write(data);
#else
    if (m_fd < 0)
        return;
    m_unsent += data;
    onWritable();
#endif
}

#ifdef ORVELL_OWN_DESCRIPTOR
void QtHttpSocket::onWritable()
{
    while (m_fd >= 0 && !m_unsent.isEmpty()) {
        const ssize_t n = ::send(m_fd, m_unsent.constData(), size_t(m_unsent.size()), MSG_NOSIGNAL);
        if (n > 0) {
            m_unsent.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!m_writeNotifier) {
                m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
                connect(m_writeNotifier, &QSocketNotifier::activated, this,
                        &QtHttpSocket::onWritable);
            }
            m_writeNotifier->setEnabled(true);
            return;
        } else {
            failConnection(errno);
            return;
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

#endif

void QtHttpSocket::GetData(QByteArray& data)
{
    // The buffers change hands: the caller's old one is filled by the next read.
    std::swap(data, m_received);
    m_received.resize(0);
}

#ifdef ORVELL_OWN_DESCRIPTOR
void QtHttpSocket::onReadable()
{
    const int fd = m_fd;
    // A few reads per notification, so that a fast server cannot starve the rest of
    // the program.
    for (int round = 0; round < 16 && fd >= 0 && fd == m_fd; ++round) {
        m_received.resize(kChunkBytes);
        const ssize_t n = ::recv(fd, m_received.data(), size_t(kChunkBytes), 0);
        if (n > 0) {
            m_received.resize(n);
            if (listener())
                listener()->wscHTTP_DataArrival(n);
            continue;
        }
        m_received.resize(0);
        if (n == 0) {
            // The server closed the connection: the end of the reply.
            closeDescriptor();
            if (listener())
                listener()->wscHTTP_Close();
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        failConnection(errno);
        return;
    }
}

void QtHttpSocket::failConnection(int err)
{
    closeDescriptor();
    if (listener())
        listener()->wscHTTP_Error(err == ECONNREFUSED ? int(QAbstractSocket::ConnectionRefusedError)
                                                      : kConnectionError,
                                  errorText(err));
}
#endif
