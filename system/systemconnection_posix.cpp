#include "systemconnection.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// After the socket headers.
#include "socketaddresses.h"

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0 // macOS: SIGPIPE is switched off on the socket instead
#endif

struct SystemConnection::System
{
    int fd = -1;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
    bool connecting = false;
};

SystemConnection::SystemConnection(QObject* parent) : QObject(parent), d(std::make_unique<System>())
{
}

SystemConnection::~SystemConnection()
{
    close();
}

Result<void> SystemConnection::start(const QHostAddress& address, std::uint16_t port,
                                     std::uint16_t localPort)
{
    close();
    SocketAddresses addresses(address, port, localPort);
    const int fd =
        ::socket(addresses.target.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return SystemError::of(errno);
#ifdef SO_NOSIGPIPE
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    if ((localPort != 0 &&
         ::bind(fd, addresses.localAddress(), static_cast<socklen_t>(addresses.length)) != 0) ||
        (::connect(fd, addresses.targetAddress(), static_cast<socklen_t>(addresses.length)) != 0 &&
         errno != EINPROGRESS)) {
        const int error = errno;
        ::close(fd);
        return SystemError::of(error);
    }
    d->fd = fd;
    d->connecting = true;
    // Writable once the connection is up, or has failed.
    d->write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(d->write, &QSocketNotifier::activated, this, [this] {
        d->write->setEnabled(false);
        if (!d->connecting) {
            Q_EMIT writable();
            return;
        }
        d->connecting = false;
        int err = 0;
        socklen_t size = sizeof err;
        if (::getsockopt(d->fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0)
            err = errno;
        if (err == 0) {
            d->read = new QSocketNotifier(d->fd, QSocketNotifier::Read, this);
            connect(d->read, &QSocketNotifier::activated, this, &SystemConnection::readable);
        }
        Q_EMIT connected(err == 0 ? Result<void>::success() : SystemError::of(err));
    });
    return Result<void>::success();
}

void SystemConnection::close()
{
    // The notifiers may be reporting right now: they go once they are done.
    for (QSocketNotifier** n : {&d->read, &d->write}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->disconnect(this);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    if (d->fd >= 0)
        ::close(d->fd);
    d->fd = -1;
    d->connecting = false;
}

Result<SystemConnection::Count> SystemConnection::receive(char* data, qint64 size)
{
    for (;;) {
        const ssize_t n = ::recv(d->fd, data, size_t(size), 0);
        if (n >= 0)
            return Count(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Count();
        return SystemError::of(errno);
    }
}

Result<SystemConnection::Count> SystemConnection::send(const char* data, qint64 size)
{
    for (;;) {
        const ssize_t n = ::send(d->fd, data, size_t(size), MSG_NOSIGNAL);
        if (n >= 0)
            return Count(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (d->write)
                d->write->setEnabled(true);
            return Count();
        }
        return SystemError::of(errno);
    }
}

int SystemConnection::number(const SystemError& error)
{
    switch (error.number) {
    case ECONNREFUSED:
        return 10061;
    case ECONNRESET:
        return 10054;
    case ETIMEDOUT:
        return 10060;
    case ENETUNREACH:
        return 10051;
    case EHOSTUNREACH:
        return 10065;
    default:
        return error.number;
    }
}
