#include "socketio.h"

#include <QHostAddress>
#include <qt_windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

// Winsock is started once for the whole program; the system ends it with the process.
bool started()
{
    static const bool ok = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

} // namespace

SocketIo::Handle SocketIo::startConnect(const QHostAddress& address, std::uint16_t port,
                                        std::uint16_t localPort, int& error)
{
    if (!started()) {
        error = WSASYSNOTREADY;
        return kNoHandle;
    }
    sockaddr_storage target{};
    int length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&target);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&target);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in4;
    }
    // Not inherited by programs started later (the shell's "Open" of a link).
    const SOCKET s = WSASocketW(target.ss_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return kNoHandle;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    sockaddr_storage local{};
    local.ss_family = target.ss_family;
    reinterpret_cast<sockaddr_in*>(&local)->sin_port = htons(localPort); // same place in both
    if ((localPort != 0 && ::bind(s, reinterpret_cast<sockaddr*>(&local), length) != 0) ||
        (::connect(s, reinterpret_cast<sockaddr*>(&target), length) != 0 &&
         WSAGetLastError() != WSAEWOULDBLOCK)) {
        error = WSAGetLastError();
        closesocket(s);
        return kNoHandle;
    }
    return Handle(s);
}

int SocketIo::connectResult(Handle socket)
{
    int error = 0;
    int size = sizeof error;
    if (getsockopt(SOCKET(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) !=
        0)
        return WSAGetLastError();
    if (error != 0)
        return error;
    // Only a connection that is up has a peer.
    sockaddr_storage peer{};
    int peerSize = sizeof peer;
    if (getpeername(SOCKET(socket), reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
        return WSAGetLastError() == WSAENOTCONN ? WSAECONNREFUSED : WSAGetLastError();
    return 0;
}

qint64 SocketIo::receive(Handle socket, char* data, qint64 size, int& error)
{
    const int n = recv(SOCKET(socket), data, int(qMin<qint64>(size, 1 << 30)), 0);
    if (n >= 0)
        return n;
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK)
        return kWouldBlock;
    error = err;
    return kFailed;
}

qint64 SocketIo::send(Handle socket, const char* data, qint64 size, int& error)
{
    const int n = ::send(SOCKET(socket), data, int(qMin<qint64>(size, 1 << 30)), 0);
    if (n >= 0)
        return n;
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK)
        return kWouldBlock;
    error = err;
    return kFailed;
}

void SocketIo::close(Handle socket)
{
    closesocket(SOCKET(socket));
}

int SocketIo::number(int error)
{
    return error; // Winsock's own numbers
}

QString SocketIo::errorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString result = n > 0 ? QString::fromWCharArray(text, int(n)).trimmed()
                           : QStringLiteral("socket error %1").arg(error);
    LocalFree(text);
    if (result.endsWith(QLatin1Char('.')))
        result.chop(1);
    return result;
}
