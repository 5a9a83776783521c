#include "tcpconnection.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One read notification takes at most this much from the socket, so that a fast
// server cannot hold the event loop, and the reader sees the reply in pieces it can
// pass on before the next ones are read.
constexpr qsizetype kReadPerNotification = 256 * 1024;
constexpr qsizetype kReadChunk = 64 * 1024;

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

struct TcpConnection::Pending
{
    QList<QHostAddress> addresses;
    quint16 port = 0;
    qsizetype next = 0;
    int lastError = 0;
};

TcpConnection::TcpConnection(QObject* parent) : QObject(parent) {}

TcpConnection::~TcpConnection()
{
    abort();
}

void TcpConnection::connectToHost(const QString& host, quint16 port)
{
    abort();
    m_pending = std::make_unique<Pending>();
    m_pending->port = port;
    const QHostAddress numeric(host);
    if (!numeric.isNull()) {
        m_pending->addresses = {numeric};
        m_state = State::Connecting;
        tryNextAddress();
        return;
    }
    m_state = State::Resolving;
    const quint64 generation = m_generation;
    m_lookupId = QHostInfo::lookupHost(host, this, [this, generation](const QHostInfo& info) {
        if (generation != m_generation || m_state != State::Resolving)
            return;
        m_lookupId = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            fail(HostNotFound, info.errorString());
            return;
        }
        m_pending->addresses = info.addresses();
        m_state = State::Connecting;
        tryNextAddress();
    });
}

void TcpConnection::tryNextAddress()
{
    closeSocket();
    while (m_pending->next < m_pending->addresses.size()) {
        const QHostAddress address = m_pending->addresses.at(m_pending->next++);
        sockaddr_storage storage{};
        socklen_t length = 0;
        int family = AF_INET;
        if (address.protocol() == QAbstractSocket::IPv6Protocol) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(m_pending->port);
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
            in6->sin6_scope_id = address.scopeId().toUInt();
            length = sizeof *in6;
            family = AF_INET6;
        } else {
            auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
            in4->sin_family = AF_INET;
            in4->sin_port = htons(m_pending->port);
            in4->sin_addr.s_addr = htonl(address.toIPv4Address());
            length = sizeof *in4;
        }
        m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) {
            m_pending->lastError = errno;
            continue;
        }
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&storage), length) == 0 ||
            errno == EINPROGRESS) {
            m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
            connect(m_writeNotifier, &QSocketNotifier::activated, this,
                    &TcpConnection::onWritable);
            return;
        }
        m_pending->lastError = errno;
        closeSocket();
    }
    const int code = m_pending->lastError ? m_pending->lastError : ECONNREFUSED;
    fail(code, systemError(code));
}

void TcpConnection::onWritable()
{
    if (m_state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0) {
            m_pending->lastError = error;
            tryNextAddress();
            return;
        }
        m_state = State::Connected;
        m_writeNotifier->setEnabled(false);
        m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, &TcpConnection::onReadable);
        const QPointer<TcpConnection> alive(this);
        const quint64 generation = m_generation;
        Q_EMIT connected();
        if (!alive || generation != m_generation)
            return;
    }
    flush();
}

void TcpConnection::write(const QByteArray& bytes)
{
    m_out += bytes;
    if (m_state == State::Connected)
        flush();
}

void TcpConnection::flush()
{
    while (!m_out.isEmpty() && m_state == State::Connected) {
        const ssize_t n = ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_NOSIGNAL);
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        const int code = n < 0 ? errno : EPIPE;
        fail(code, systemError(code));
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty() && m_state == State::Connected);
}

void TcpConnection::onReadable()
{
    if (m_state != State::Connected)
        return;
    qsizetype taken = 0;
    bool orderlyEnd = false;
    int error = 0;
    while (taken < kReadPerNotification) {
        const qsizetype before = m_in.size();
        m_in.resize(before + kReadChunk);
        const ssize_t n = ::recv(m_fd, m_in.data() + before, size_t(kReadChunk), 0);
        m_in.resize(before + qMax<ssize_t>(n, 0));
        if (n > 0) {
            taken += n;
            continue;
        }
        if (n == 0)
            orderlyEnd = true;
        else if (errno == EINTR)
            continue;
        else if (errno != EAGAIN && errno != EWOULDBLOCK)
            error = errno;
        break;
    }
    const QPointer<TcpConnection> alive(this);
    const quint64 generation = m_generation;
    if (taken > 0) {
        Q_EMIT readyRead();
        if (!alive || generation != m_generation)
            return;
    }
    if (error != 0) {
        // A reset ends the connection as a failure even when data came before it.
        fail(error, systemError(error));
    } else if (orderlyEnd) {
        closeSocket();
        m_state = State::Closed;
        Q_EMIT closed();
    }
}

QByteArray TcpConnection::readAll()
{
    return std::exchange(m_in, QByteArray());
}

void TcpConnection::fail(int code, const QString& description)
{
    closeSocket();
    m_state = State::Closed;
    m_out.clear();
    Q_EMIT failed(code, description);
}

void TcpConnection::abort()
{
    ++m_generation;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    closeSocket();
    m_pending.reset();
    m_in.clear();
    m_out.clear();
    m_state = State::Unconnected;
}

void TcpConnection::closeSocket()
{
    // The notifiers may be the very senders running now: let them go later.
    for (QSocketNotifier** n : {&m_readNotifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
