#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

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

    // Starts connecting to `address` (`localPort` 0: the system picks it). False, with
    // `error` set, when the attempt cannot even start; else `connected` follows.
    bool start(const QHostAddress& address, std::uint16_t port, std::uint16_t localPort,
               int& error);
    // Ends the connection at once; nothing is reported after it.
    void close();

    // What receive and send return besides a count of bytes.
    static constexpr qint64 kWouldBlock = -1;
    static constexpr qint64 kFailed = -2; // `error` says why

    // Up to `size` bytes: their count, 0 at the peer's orderly close, kWouldBlock (then
    // `readable` follows) or kFailed.
    qint64 receive(char* data, qint64 size, int& error);
    // What can be sent at once: the count, kWouldBlock (then `writable` follows) or kFailed.
    qint64 send(const char* data, qint64 size, int& error);

    // The number by which Winsock knows a well-known failure (10061 connection refused,
    // 10054 reset by the peer, 10060 timed out, 10051 network unreachable, 10065 host
    // unreachable), or the system's own error number for any other.
    static int number(int error);
    // The system's words for an error.
    static QString errorText(int error);

Q_SIGNALS:
    // The attempt has ended: 0 when the connection is up, else the error.
    void connected(int error);
    void readable();
    void writable();

private:
    struct System;
    std::unique_ptr<System> d;
};
