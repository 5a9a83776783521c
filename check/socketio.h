#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>

class QHostAddress;

// The system's calls on the socket of one connection, one file per system (POSIX
// descriptors, Winsock sockets). Every socket is non-blocking: the caller waits for it
// with QSocketNotifier.
namespace SocketIo {

using Handle = qintptr;
constexpr Handle kNoHandle = -1;

// Starts connecting to `address`: the socket, or kNoHandle with `error` set. `localPort`
// 0 lets the system pick the local port. The socket turns writable once the connection
// is up or has failed; connectResult then tells which.
Handle startConnect(const QHostAddress& address, std::uint16_t port, std::uint16_t localPort,
                    int& error);
// 0 once the connection is up, else the error that ended the attempt.
int connectResult(Handle socket);

// What receive and send return besides a count of bytes.
constexpr qint64 kWouldBlock = -1;
constexpr qint64 kFailed = -2; // `error` says why

// Up to `size` bytes: their count, 0 at the peer's orderly close, kWouldBlock or kFailed.
// A connection reset by the peer is a failure, never a close.
qint64 receive(Handle socket, char* data, qint64 size, int& error);
// Sends what it can at once: the count, kWouldBlock or kFailed.
qint64 send(Handle socket, const char* data, qint64 size, int& error);
void close(Handle socket);

// The number by which Winsock knows a well-known failure (10061 connection refused,
// 10054 reset by the peer, 10060 timed out, 10051 network unreachable, 10065 host
// unreachable), or the system's own error number for any other.
int number(int error);
// The system's words for an error.
QString errorText(int error);

} // namespace SocketIo
