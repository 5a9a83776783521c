#pragma once

// Include after the system's socket headers (sys/socket.h and netinet/in.h, or winsock2.h
// and ws2tcpip.h): both systems lay these addresses out alike.
#include <QHostAddress>
#include <cstdint>
#include <cstring>

// The addresses a connection starts with: where it goes, and where it leaves from when a
// local port is asked for (any local address, of the same family).
struct SocketAddresses
{
    SocketAddresses(const QHostAddress& address, std::uint16_t port, std::uint16_t localPort)
    {
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
        local.ss_family = target.ss_family;
        // The port lies at the same place in both families.
        reinterpret_cast<sockaddr_in*>(&local)->sin_port = htons(localPort);
    }

    sockaddr* targetAddress() { return reinterpret_cast<sockaddr*>(&target); }
    sockaddr* localAddress() { return reinterpret_cast<sockaddr*>(&local); }

    sockaddr_storage target{};
    sockaddr_storage local{};
    int length = 0; // of either
};
