// Winsock's headers come before anything that includes windows.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "socketaddresses.h"
#include "systemconnection.h"

#include <QHostAddress>
#include <QPointer>
#include <QWinEventNotifier>

namespace {

// Winsock is started once for the whole program; the system ends it with the process.
bool winsockStarted()
{
    static const bool ok = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

} // namespace

// The socket tells what happened through an event object: the connection's outcome, data,
// room to send, and its end with the reason (a reset is told from an orderly close there,
// even where a later recv would only see the end).
struct SystemConnection::System
{
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT event = WSA_INVALID_EVENT;
    QWinEventNotifier* notifier = nullptr;
    bool connecting = false;
    bool ended = false; // the peer has ended the connection
    int endError = 0;   // why, when it was not an orderly close
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
    if (!winsockStarted())
        return SystemError::of(WSASYSNOTREADY);
    SocketAddresses addresses(address, port, localPort);
    // Not inherited by programs started later (the shell's "Open" of a link).
    const SOCKET s = WSASocketW(addresses.target.ss_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return SystemError::of(WSAGetLastError());
    d->socket = s;
    d->event = WSACreateEvent();
    // Watched before the connect starts, so that no outcome goes unheard; this also makes
    // the socket non-blocking.
    if (d->event == WSA_INVALID_EVENT ||
        WSAEventSelect(s, d->event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        const int error = WSAGetLastError();
        close();
        return SystemError::of(error);
    }
    if ((localPort != 0 && ::bind(s, addresses.localAddress(), addresses.length) != 0) ||
        (::connect(s, addresses.targetAddress(), addresses.length) != 0 &&
         WSAGetLastError() != WSAEWOULDBLOCK)) {
        const int error = WSAGetLastError();
        close();
        return SystemError::of(error);
    }
    d->connecting = true;
    d->notifier = new QWinEventNotifier(d->event, this);
    connect(d->notifier, &QWinEventNotifier::activated, this, [this] {
        WSANETWORKEVENTS happened{};
        if (WSAEnumNetworkEvents(d->socket, d->event, &happened) != 0)
            return;
        const QPointer<SystemConnection> alive(this);
        if ((happened.lNetworkEvents & FD_CONNECT) && d->connecting) {
            d->connecting = false;
            const int error = happened.iErrorCode[FD_CONNECT_BIT];
            Q_EMIT connected(error == 0 ? Result<void>::success() : SystemError::of(error));
            if (!alive || d->socket == INVALID_SOCKET)
                return;
        }
        if (happened.lNetworkEvents & FD_CLOSE) {
            d->ended = true;
            d->endError = happened.iErrorCode[FD_CLOSE_BIT];
        }
        if (happened.lNetworkEvents & (FD_READ | FD_CLOSE)) {
            Q_EMIT readable();
            if (!alive || d->socket == INVALID_SOCKET)
                return;
        }
        if (happened.lNetworkEvents & FD_WRITE)
            Q_EMIT writable();
    });
    return Result<void>::success();
}

void SystemConnection::close()
{
    if (d->notifier) {
        // It may be reporting right now: it goes once it is done.
        d->notifier->setEnabled(false);
        d->notifier->disconnect(this);
        d->notifier->deleteLater();
        d->notifier = nullptr;
    }
    if (d->socket != INVALID_SOCKET)
        closesocket(d->socket);
    d->socket = INVALID_SOCKET;
    if (d->event != WSA_INVALID_EVENT)
        WSACloseEvent(d->event);
    d->event = WSA_INVALID_EVENT;
    d->connecting = false;
    d->ended = false;
    d->endError = 0;
}

Result<SystemConnection::Count> SystemConnection::receive(char* data, qint64 size)
{
    const int n = recv(d->socket, data, int(qMin<qint64>(size, 1 << 30)), 0);
    if (n > 0)
        return Count(n);
    if (n == 0) {
        if (d->endError == 0)
            return Count(0);
        // The end was a reset: what came is not all there is.
        return SystemError::of(d->endError);
    }
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK) {
        // Once the peer has ended the connection nothing more comes: its end is reported.
        if (!d->ended)
            return Count();
        if (d->endError == 0)
            return Count(0);
        return SystemError::of(d->endError);
    }
    return SystemError::of(err);
}

Result<SystemConnection::Count> SystemConnection::send(const char* data, qint64 size)
{
    const int n = ::send(d->socket, data, int(qMin<qint64>(size, 1 << 30)), 0);
    if (n >= 0)
        return Count(n);
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK)
        return Count(); // FD_WRITE follows
    return SystemError::of(err);
}

int SystemConnection::number(const SystemError& error)
{
    return error.number; // Winsock's own numbers
}
