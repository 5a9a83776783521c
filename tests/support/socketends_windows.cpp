#include "socketends.h"

#include <winsock2.h>

void SocketEnds::shutdownWrite(qintptr socket)
{
    ::shutdown(SOCKET(socket), SD_SEND);
}

void SocketEnds::resetOnClose(qintptr socket)
{
    // Linger on with a zero timeout: closing sends RST instead of FIN.
    const linger abortive{1, 0};
    ::setsockopt(SOCKET(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                 sizeof abortive);
}
