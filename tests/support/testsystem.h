#pragma once

#include <QString>
#include <QTest>
#include <QtGlobal>

// What the tests need of the system beyond Qt, one file per system.
namespace TestSystem {
// Ends the sending side of a connection: the peer reads the end of the stream (TCP's FIN).
void shutdownWrite(qintptr socket);
// Makes the next close reset the connection (TCP's RST) instead of ending it.
void resetOnClose(qintptr socket);
// Whether this Windows program runs under Wine, not on Windows (never on other systems).
// Wine reports a connection reset while no read is waiting as an orderly close, which
// Windows does not: the tests of that skip there.
bool underWine();
// The path by the system's short (8.3) names where it has them, else the path itself.
QString shortPath(const QString& path);
} // namespace TestSystem

// Skips a test of a connection reset where Wine cannot show one (see underWine).
#define ORVELL_SKIP_RESET_UNDER_WINE()                                                             \
    do {                                                                                           \
        if (TestSystem::underWine())                                                               \
            QSKIP("Wine reports a reset while no read waits as an orderly close; Windows "         \
                  "reports WSAECONNRESET");                                                        \
    } while (false)

// Skips a test whose loopback server speaks TLS, under Wine: Wine's Schannel cannot serve
// TLS from a certificate and key in files. https is tested there end to end, against a
// server on the Linux side.
#define ORVELL_SKIP_TLS_SERVER_UNDER_WINE(certificate)                                             \
    do {                                                                                           \
        if (!QString(certificate).isEmpty() && TestSystem::underWine())                            \
            QSKIP("Wine's Schannel cannot serve TLS from files; https is tested end to end");      \
    } while (false)
