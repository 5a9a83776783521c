#pragma once

#include <QtGlobal>

// The two ends of a connection a server cannot make through Qt, one file per system.
namespace SocketEnds {
// Ends the sending side: the peer reads the end of the stream (TCP's FIN).
void shutdownWrite(qintptr socket);
// Makes the next close reset the connection (TCP's RST) instead of ending it.
void resetOnClose(qintptr socket);
} // namespace SocketEnds
