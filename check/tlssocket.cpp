#include "tlssocket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSslSocket>
#include <QTimer>

namespace {

// Secure defaults whatever trust store comes with the settings: the peer is always
// verified, and nothing older than TLS 1.2 is spoken.
QSslConfiguration hardened(QSslConfiguration tls)
{
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    tls.setPeerVerifyDepth(0); // no limit
    if (tls.protocol() != QSsl::TlsV1_3 && tls.protocol() != QSsl::TlsV1_3OrLater)
        tls.setProtocol(QSsl::TlsV1_2OrLater);
    return tls;
}

} // namespace

QtTlsSocket::QtTlsSocket(QObject* parent)
    : QtTlsSocket(QSslConfiguration::defaultConfiguration(), parent)
{
}

QtTlsSocket::QtTlsSocket(const QSslConfiguration& tls, QObject* parent)
    : QObject(parent), m_tls(hardened(tls))
{
    m_deliverTimer.setSingleShot(true);
    m_deliverTimer.setInterval(0);
    connect(&m_deliverTimer, &QTimer::timeout, this, &QtTlsSocket::deliver);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &QtTlsSocket::onConnectTimeout);
}

QtTlsSocket::~QtTlsSocket()
{
    Close();
}

void QtTlsSocket::Close()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_addresses.clear();
    dropSocket();
    m_deliverTimer.stop();
    m_pending.resize(0);
    m_received.resize(0);
    m_encrypted = false;
    m_closeReports = 0;
    m_certificateProblem.clear();
}

void QtTlsSocket::dropSocket()
{
    m_connectTimer.stop();
    m_tcpUp = false;
    if (QSslSocket* old = m_socket) {
        m_socket = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
}

void QtTlsSocket::Connect(const QString& remoteHost, std::uint16_t remotePort)
{
    QtHttpSocket::checkTarget(remoteHost, remotePort);
    Close();
    m_host = remoteHost;
    if (m_host.startsWith(QLatin1Char('[')))
        m_host = m_host.mid(1, m_host.size() - 2);
    if (!QSslSocket::supportsSsl()) {
        // Reported like any failure of the connection: after Connect has returned.
        QTimer::singleShot(0, this, [this] {
            fail(QStringLiteral("secure connections are not available: Qt's TLS support "
                                "(OpenSSL 3) is not installed"));
        });
        return;
    }
    m_port = remotePort;
    // An address needs no lookup.
    if (const QHostAddress address(m_host); !address.isNull()) {
        m_addresses = {address};
        connectNext();
        return;
    }
    m_lookupId = QHostInfo::lookupHost(m_host, this, &QtTlsSocket::onLookedUp);
}

void QtTlsSocket::onLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId)
        return; // a lookup of a connection closed since
    m_lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        // As the plain socket reports it.
        const int number = info.error() == QHostInfo::HostNotFound ? int(QtHttpSocket::HostNotFound)
                                                                   : QtHttpSocket::kConnectionError;
        fail(QtHttpSocket::describe(number, info.errorString()), number);
        return;
    }
    m_addresses = info.addresses();
    connectNext();
}

void QtTlsSocket::connectNext()
{
    dropSocket();
    const QHostAddress address = m_addresses.takeFirst();
    auto* socket = new QSslSocket(this);
    m_socket = socket;
    socket->setSslConfiguration(m_tls);
    socket->setReadBufferSize(kReadBufferBytes);
    if (m_localPort != 0)
        socket->bind(QHostAddress::Any, m_localPort);
    connect(socket, &QSslSocket::connected, this, &QtTlsSocket::onTcpConnected);
    connect(socket, &QSslSocket::encrypted, this, &QtTlsSocket::onEncrypted);
    connect(socket, &QSslSocket::readyRead, this, &QtTlsSocket::onReadyRead);
    connect(socket, &QSslSocket::errorOccurred, this, &QtTlsSocket::onError);
    connect(socket, &QSslSocket::disconnected, this, &QtTlsSocket::onDisconnected);
    connect(socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        // Never ignored: the handshake fails, and errorOccurred follows.
        m_certificateProblem = describe(errors, m_host);
    });
    // The connection goes to the address; the host name goes out as SNI and is what the
    // certificate must name.
    socket->connectToHostEncrypted(address.toString(), m_port, m_host);
    m_connectTimer.start(connectTimeout());
}

void QtTlsSocket::onConnectTimeout()
{
    // The address's packets may be dropped on the way: the next one is tried.
    if (!m_addresses.isEmpty()) {
        connectNext();
        return;
    }
    fail(QtHttpSocket::describe(QtHttpSocket::TimedOut, QString()), QtHttpSocket::TimedOut);
}

void QtTlsSocket::onTcpConnected()
{
    m_connectTimer.stop();
    m_addresses.clear();
    m_tcpUp = true;
    // The time without an answer counts from here, the handshake's included. Qt's TLS
    // does not show the handshake's bytes as they come: its end counts as the next.
    if (listener())
        listener()->wscHTTP_Heard();
}

QString QtTlsSocket::describe(const QList<QSslError>& errors, const QString& host)
{
    const QString cert = QStringLiteral("the certificate of %1").arg(host);
    // The most telling error first: a certificate for another host, out of date, revoked,
    // then one that no trusted authority vouches for.
    static const QList<std::pair<QSslError::SslError, const char*>> kWords{
        {QSslError::HostNameMismatch, "%1 is for another host name"},
        {QSslError::CertificateExpired, "%1 has expired"},
        {QSslError::CertificateNotYetValid, "%1 is not valid yet"},
        {QSslError::CertificateRevoked, "%1 has been revoked"},
        {QSslError::NoPeerCertificate, "%2 sent no certificate"},
        {QSslError::SelfSignedCertificate, "%1 is not trusted (it is self-signed)"},
        {QSslError::SelfSignedCertificateInChain, "%1 is not trusted"},
        {QSslError::UnableToGetLocalIssuerCertificate, "%1 is not trusted"},
        {QSslError::UnableToGetIssuerCertificate, "%1 is not trusted"},
        {QSslError::UnableToVerifyFirstCertificate, "%1 is not trusted"},
        {QSslError::CertificateUntrusted, "%1 is not trusted"},
        {QSslError::CertificateRejected, "%1 is not trusted"},
        {QSslError::InvalidCaCertificate, "%1 is not trusted"},
    };
    for (const auto& [error, words] : kWords) {
        for (const QSslError& e : errors) {
            if (e.error() == error)
                return QString::fromLatin1(words)
                    .replace(QLatin1String("%1"), cert)
                    .replace(QLatin1String("%2"), host);
        }
    }
    return QStringLiteral("%1 was refused: %2")
        .arg(cert,
             errors.isEmpty() ? QStringLiteral("unknown error") : errors.first().errorString());
}

void QtTlsSocket::onEncrypted()
{
    m_encrypted = true;
    if (listener())
        listener()->wscHTTP_Heard();
    if (m_encrypted && listener())
        listener()->wscHTTP_Connect();
}

void QtTlsSocket::SendData(const QByteArray& data)
{
    // Only ever over a verified session.
    if (m_socket && m_encrypted)
        m_socket->write(data);
}

void QtTlsSocket::GetData(QByteArray& data)
{
    std::swap(data, m_received);
    m_received.resize(0);
}

void QtTlsSocket::onReadyRead()
{
    QSslSocket* socket = m_socket;
    if (socket && listener())
        listener()->wscHTTP_Heard();
    while (socket && socket == m_socket) {
        const qint64 available = socket->bytesAvailable();
        if (available <= 0)
            break;
        const qsizetype had = m_pending.size();
        const qint64 n = std::min<qint64>(available, kPieceBytes - had);
        m_pending.resize(had + n);
        const qint64 got = socket->read(m_pending.data() + had, n);
        m_pending.resize(had + std::max<qint64>(got, 0));
        if (got <= 0)
            break;
        if (m_pending.size() >= kPieceBytes)
            deliver();
    }
    if (!m_pending.isEmpty() && socket == m_socket)
        m_deliverTimer.start();
}

void QtTlsSocket::deliver()
{
    m_deliverTimer.stop();
    if (m_pending.isEmpty())
        return;
    // The buffers change hands, so that none is allocated again for every piece.
    std::swap(m_received, m_pending);
    m_pending.resize(0);
    if (listener())
        listener()->wscHTTP_DataArrival(m_received.size());
}

void QtTlsSocket::onError()
{
    QSslSocket* socket = m_socket;
    if (!socket)
        return;
    const auto error = socket->error();
    // An address that does not take the connection: the next one may.
    if (!m_tcpUp && !m_addresses.isEmpty()) {
        connectNext();
        return;
    }
    if (!m_encrypted) {
        if (!m_certificateProblem.isEmpty())
            fail(m_certificateProblem, kCertificateRefused);
        else if (error == QAbstractSocket::SslHandshakeFailedError)
            fail(QStringLiteral("%1 refused the secure connection (%2)")
                     .arg(m_host, socket->errorString()));
        else if (error == QAbstractSocket::RemoteHostClosedError)
            fail(QStringLiteral("the connection to %1 ended during the secure handshake")
                     .arg(m_host));
        else
            fail(socket->errorString(), QtHttpSocket::numberOf(error));
        return;
    }
    if (error != QAbstractSocket::RemoteHostClosedError) {
        fail(socket->errorString(), QtHttpSocket::numberOf(error));
        return;
    }
    // How the close reports and `disconnected` tell the server's close alert from a
    // connection that just ended is the TLS backend's own (kLoneCloseReportIsAlert, alertCame).
    if (++m_closeReports == 1 && kLoneCloseReportIsAlert) {
        QTimer::singleShot(0, this, [this, socket] {
            if (socket == m_socket && m_closeReports == 1)
                finish(true);
        });
    }
}

void QtTlsSocket::onDisconnected()
{
    if (!m_socket)
        return;
    if (!m_encrypted) {
        fail(QStringLiteral("the connection to %1 ended during the secure handshake").arg(m_host));
        return;
    }
    finish(alertCame(m_closeReports));
}

void QtTlsSocket::finish(bool confirmed)
{
    onReadyRead(); // whatever came with the end
    deliver();
    const QString host = m_host;
    Close();
    if (!listener())
        return;
    if (confirmed)
        listener()->wscHTTP_Close();
    else
        listener()->wscHTTP_CloseUnconfirmed(
            QStringLiteral("the connection to %1 ended without the secure close alert").arg(host));
}

// `description` is a copy: Close() clears what it may refer to.
void QtTlsSocket::fail(QString description, int number)
{
    Close();
    if (listener())
        listener()->wscHTTP_Error(number, description);
}
