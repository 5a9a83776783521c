#include "httpsocket.h"

#include "runtimeerror.h"
#include "systemconnection.h"

#include <QHostInfo>
#include <QTimer>

QtHttpSocket::QtHttpSocket(QObject* parent) : QObject(parent), m_connectTimer(new QTimer(this))
{
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, &QtHttpSocket::onConnectTimeout);
}

QtHttpSocket::~QtHttpSocket()
{
    Close();
}

bool QtHttpSocket::isValidHost(const QString& host)
{
    if (host.isEmpty())
        return false;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        return QHostAddress(host.mid(1, host.size() - 2)).protocol() ==
               QAbstractSocket::IPv6Protocol;
    for (const QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

void QtHttpSocket::checkTarget(const QString& host, std::uint16_t port)
{
    if (!isValidHost(host))
        throw RuntimeError(InvalidHost,
                           QStringLiteral("The host name \"%1\" is not valid").arg(host));
    if (port == 0)
        throw RuntimeError(InvalidPort, QStringLiteral("The port 0 is not valid"));
}

QString QtHttpSocket::describe(int number, const QString& systemText)
{
    switch (number) {
    case ConnectionRefused:
        return QStringLiteral("Connection refused");
    case ConnectionReset:
        return QStringLiteral("Connection reset by peer");
    case TimedOut:
        return QStringLiteral("Connection timed out");
    case NetworkUnreachable:
        return QStringLiteral("Network is unreachable");
    case HostUnreachable:
        return QStringLiteral("No route to host");
    case HostNotFound:
        return QStringLiteral("Host not found");
    default:
        return systemText;
    }
}

int QtHttpSocket::numberOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return TimedOut;
    case QAbstractSocket::NetworkError:
        return NetworkUnreachable;
    default:
        return kConnectionError;
    }
}

void QtHttpSocket::Close()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_addresses.clear();
    closeConnection();
    m_unsent.clear();
    m_received.resize(0);
}

void QtHttpSocket::closeConnection()
{
    m_up = false;
    m_connectTimer->stop();
    if (!m_connection)
        return;
    // Ended at once; the object goes once whatever it is reporting is done.
    m_connection->close();
    m_connection->disconnect(this);
    m_connection->deleteLater();
    m_connection = nullptr;
}

void QtHttpSocket::Connect(const QString& remoteHost, std::uint16_t remotePort)
{
    checkTarget(remoteHost, remotePort);
    Close();
    m_port = remotePort;
    m_lastNumber = 0;
    m_lastText.clear();
    QString host = remoteHost;
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    // An address needs no lookup: the connection is made straight away.
    if (const QHostAddress address(host); !address.isNull()) {
        m_addresses = {address};
        connectNext();
        return;
    }
    m_lookupId = QHostInfo::lookupHost(host, this, &QtHttpSocket::onLookedUp);
}

void QtHttpSocket::onLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId)
        return; // a lookup of a connection closed since
    m_lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        failConnection(info.error() == QHostInfo::HostNotFound ? HostNotFound : kConnectionError,
                       info.errorString());
        return;
    }
    m_addresses = info.addresses();
    connectNext();
}

void QtHttpSocket::connectNext()
{
    closeConnection();
    while (!m_addresses.isEmpty()) {
        const QHostAddress address = m_addresses.takeFirst();
        auto* connection = new SystemConnection(this);
        const Result<void> started = connection->start(address, m_port, m_localPort);
        if (started) {
            m_connection = connection;
            connect(connection, &SystemConnection::connected, this, &QtHttpSocket::onConnected);
            connect(connection, &SystemConnection::readable, this, &QtHttpSocket::onReadable);
            connect(connection, &SystemConnection::writable, this, &QtHttpSocket::onWritable);
            m_connectTimer->start(connectTimeout());
            return;
        }
        delete connection;
        m_lastNumber = SystemConnection::number(started.error());
        m_lastText = started.error().text;
    }
    // No address is left: the last failure is the connection's, reported after Connect
    // has returned.
    QTimer::singleShot(0, this, [this, number = m_lastNumber, text = m_lastText] {
        failConnection(number, text);
    });
}

void QtHttpSocket::onConnectTimeout()
{
    // The address's packets may be dropped on the way: the next one is tried.
    m_lastNumber = TimedOut;
    m_lastText.clear();
    if (!m_addresses.isEmpty()) {
        connectNext();
        return;
    }
    failConnection(m_lastNumber, m_lastText);
}

void QtHttpSocket::onConnected(const Result<void>& outcome)
{
    m_connectTimer->stop();
    if (!outcome) {
        m_lastNumber = SystemConnection::number(outcome.error());
        m_lastText = outcome.error().text;
        if (!m_addresses.isEmpty()) {
            connectNext();
            return;
        }
        failConnection(m_lastNumber, m_lastText);
        return;
    }
    m_addresses.clear();
    m_up = true;
    if (listener())
        listener()->wscHTTP_Heard();
    if (m_up && listener())
        listener()->wscHTTP_Connect();
}

void QtHttpSocket::SendData(const QByteArray& data)
{
    if (!m_up)
        return; // not connected
    m_unsent += data;
    onWritable();
}

void QtHttpSocket::onWritable()
{
    while (m_up && !m_unsent.isEmpty()) {
        const Result<SystemConnection::Count> sent =
            m_connection->send(m_unsent.constData(), m_unsent.size());
        if (!sent) {
            failConnection(SystemConnection::number(sent.error()), sent.error().text);
            return;
        }
        if (!sent.value())
            return; // `writable` comes when there is room
        m_unsent.remove(0, *sent.value());
    }
}

void QtHttpSocket::GetData(QByteArray& data)
{
    // The buffers change hands: the caller's old one is filled by the next read.
    std::swap(data, m_received);
    m_received.resize(0);
}

void QtHttpSocket::onReadable()
{
    SystemConnection* const connection = m_connection;
    // A few reads per notification, so that a fast server cannot starve the rest of
    // the program.
    for (int round = 0; round < 16 && m_up && connection == m_connection; ++round) {
        m_received.resize(kChunkBytes);
        const Result<SystemConnection::Count> got =
            connection->receive(m_received.data(), kChunkBytes);
        if (!got) {
            m_received.resize(0);
            failConnection(SystemConnection::number(got.error()), got.error().text);
            return;
        }
        if (!got.value()) {
            m_received.resize(0);
            return; // `readable` comes when there is more
        }
        const qint64 n = *got.value();
        if (n > 0) {
            m_received.resize(n);
            if (listener())
                listener()->wscHTTP_Heard();
            if (listener())
                listener()->wscHTTP_DataArrival(n);
            continue;
        }
        m_received.resize(0);
        // The server closed the connection: the end of the reply.
        Close();
        if (listener())
            listener()->wscHTTP_Close();
        return;
    }
}

void QtHttpSocket::failConnection(int number, const QString& systemText)
{
    Close();
    if (listener())
        listener()->wscHTTP_Error(number, describe(number, systemText));
}
