#include "tlssocket.h"

// Qt's Schannel backend answers the server's close alert by closing the connection itself,
// which brings `disconnected` at once, and reports the close only after it. A connection
// closed or reset without the alert is reported first, then `disconnected` follows. (Under
// Wine both come in that second order: there a reply is whole by its announced length or
// its last chunk, where the check completes without waiting for the end.)

const bool QtTlsSocket::kLoneCloseReportIsAlert = false;

bool QtTlsSocket::alertCame(int closeReports)
{
    return closeReports == 0;
}
