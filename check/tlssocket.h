#pragma once

#include "httpsocket.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

class QHostInfo;
class QSslSocket;

// The socket of an https fetch, on Qt's TLS (QSslSocket). It looks the host up, connects
// to its addresses in turn (each for at most connectTimeout()), sets up a TLS session with the host
// name as SNI, and reports the connection up only once the server's certificate has been verified
// against the trust store of its TLS settings and the host name checked: nothing is ever sent to a
// server that failed. Verification cannot be switched off here; the settings choose only which
// certificates are trusted.
//
// The end of a reply: the server's close alert, then its close, is the normal end
// (wscHTTP_Close); a connection that closes or is reset without the alert ends
// "unconfirmed" (wscHTTP_CloseUnconfirmed). Failures before the session is up are errors
// whose description says what failed in plain words.
class QtTlsSocket : public QObject, public HttpSocket
{
    Q_OBJECT
public:
    // The system's trust store.
    explicit QtTlsSocket(QObject* parent = nullptr);
    // A trust store of the caller's (tests trust their own CA this way).
    explicit QtTlsSocket(const QSslConfiguration& tls, QObject* parent = nullptr);
    ~QtTlsSocket() override;

    void Close() override;
    void setLocalPort(std::uint16_t port) override { m_localPort = port; }
    // Raises RuntimeError at once for the requests QtHttpSocket refuses at once.
    void Connect(const QString& remoteHost, std::uint16_t remotePort) override;
    void SendData(const QByteArray& data) override;
    void GetData(QByteArray& data) override;

    // The words for certificate errors: "the certificate of HOST is not trusted", ...
    static QString describe(const QList<QSslError>& errors, const QString& host);

    // The error number of a certificate that did not pass verification.
    static constexpr int kCertificateRefused = 12175;

    // The most the socket holds of a reply that has not been taken yet.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;
    // Qt's TLS hands the reply over a few KiB at a time: it is passed on in pieces of up
    // to this size, or whatever has come by the next turn of the event loop.
    static constexpr qint64 kPieceBytes = 256 * 1024;

private:
    // How this system's TLS backend reports the end of a connection, one file per system.
    // Whether a close report (RemoteHostClosedError) that `disconnected` does not follow
    // within the same turn of the event loop is the server's close alert alone:
    static const bool kLoneCloseReportIsAlert;
    // and whether `disconnected`, after this many close reports, means the alert came.
    static bool alertCame(int closeReports);

    void onLookedUp(const QHostInfo& info);
    // Connects to the next address of the host; fails with the last error when none is left.
    void connectNext();
    void onTcpConnected();
    void onConnectTimeout();
    void dropSocket();
    void onEncrypted();
    void onReadyRead();
    void deliver();
    void onError();
    void onDisconnected();
    void finish(bool confirmed);
    void fail(QString description, int number = QtHttpSocket::kConnectionError);

    QSslConfiguration m_tls;
    QPointer<QSslSocket> m_socket;
    QString m_host;
    QString m_certificateProblem; // what verification found, if it failed
    QByteArray m_pending;         // taken from Qt, not yet passed on
    QByteArray m_received;        // handed over by GetData
    QTimer m_deliverTimer;
    QTimer m_connectTimer;           // runs while an address is being connected to
    QList<QHostAddress> m_addresses; // still to try, in the order the lookup gave
    std::uint16_t m_port = 0;
    int m_lookupId = -1;
    std::uint16_t m_localPort = 0;
    bool m_tcpUp = false; // the current address accepted the connection
    bool m_encrypted = false;
    int m_closeReports = 0;
};
