#include "socketends.h"

#include <sys/socket.h>

void SocketEnds::shutdownWrite(qintptr socket)
{
    ::shutdown(int(socket), SHUT_WR);
}

void SocketEnds::resetOnClose(qintptr socket)
{
    // Linger on with a zero timeout: closing sends RST instead of FIN.
    const linger abortive{1, 0};
    ::setsockopt(int(socket), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}
