#include "tlssocket.h"

// Qt's OpenSSL backend reports the server's close alert as a close of its own, before the
// close of the TCP connection; a connection closed or reset without the alert brings only
// the latter, with `disconnected` at once.

const bool QtTlsSocket::kLoneCloseReportIsAlert = true;

bool QtTlsSocket::alertCame(int closeReports)
{
    return closeReports >= 2; // the alert's report, then the connection's
}
