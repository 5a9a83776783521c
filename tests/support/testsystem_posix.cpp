#include "testsystem.h"

#include <sys/socket.h>

void TestSystem::shutdownWrite(qintptr socket)
{
    ::shutdown(int(socket), SHUT_WR);
}

void TestSystem::resetOnClose(qintptr socket)
{
    // Linger on with a zero timeout: closing sends RST instead of FIN.
    const linger abortive{1, 0};
    ::setsockopt(int(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}

bool TestSystem::underWine()
{
    return false;
}

QString TestSystem::shortPath(const QString& path)
{
    return path;
}
