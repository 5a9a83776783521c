#pragma once

#include "result.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QHostAddress;

// One TCP connection to one address through the system's own socket calls, non-blocking,
// with the system's own way of saying when it can go on: one file per system (POSIX
// descriptors watched by QSocketNotifier; Winsock sockets with their event objects, which
// also say how a connection ended). A connection reset by the peer is a failure, never an
// orderly close.
class SystemConnection : public QObject
{
    Q_OBJECT
public:
    explicit SystemConnection(QObject* parent = nullptr);
    ~SystemConnection() override;

    // Starts connecting to `address` (`localPort` 0: the system picks it); `connected`
    // follows. A failure here means the attempt could not even start.
    Result<void> start(const QHostAddress& address, std::uint16_t port, std::uint16_t localPort);
    // Ends the connection at once; nothing is reported after it.
    void close();

    // A count of bytes moved, or none when the call would have had to wait (then
    // `readable` or `writable` follows): waiting is not a failure.
    using Count = std::optional<qint64>;
    // Up to `size` bytes: their count, 0 at the peer's orderly close.
    Result<Count> receive(char* data, qint64 size);
    // What can be sent at once: the count.
    Result<Count> send(const char* data, qint64 size);

    // The number by which Winsock knows a well-known failure (10061 connection refused,
    // 10054 reset by the peer, 10060 timed out, 10051 network unreachable, 10065 host
    // unreachable), or the system's own error number for any other: the check tells
    // failures apart by these on every system.
    static int number(const SystemError& error);

Q_SIGNALS:
    // The attempt has ended: the connection is up, or the error.
    void connected(const Result<void>& outcome);
    void readable();
    void writable();

private:
    struct System;
    std::unique_ptr<System> d;
};
