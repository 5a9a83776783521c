#include "httpsocket.h"

#include "runtimeerror.h"
#include "socketio.h"

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

QtHttpSocket::QtHttpSocket(QObject* parent) : QObject(parent) {}

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
    closeSocket();
    m_unsent.clear();
    m_received.resize(0);
}

void QtHttpSocket::closeSocket()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_socket != SocketIo::kNoHandle)
        SocketIo::close(m_socket);
    m_socket = SocketIo::kNoHandle;
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
    closeSocket();
    while (!m_addresses.isEmpty()) {
        const QHostAddress address = m_addresses.takeFirst();
        int error = 0;
        m_socket = SocketIo::startConnect(address, m_port, m_localPort, error);
        if (m_socket != SocketIo::kNoHandle) {
            // Writable once the connection is up, or has failed.
            m_writeNotifier = new QSocketNotifier(m_socket, QSocketNotifier::Write, this);
            connect(m_writeNotifier, &QSocketNotifier::activated, this,
                    &QtHttpSocket::onConnectReady);
            return;
        }
        m_lastNumber = SocketIo::number(error);
        m_lastText = SocketIo::errorText(error);
    }
    // No address is left: the last failure is the connection's, reported after Connect
    // has returned.
    QTimer::singleShot(0, this, [this, number = m_lastNumber, text = m_lastText] {
        failConnection(number, text);
    });
}

void QtHttpSocket::onConnectReady()
{
    const int error = SocketIo::connectResult(m_socket);
    m_writeNotifier->setEnabled(false);
    m_writeNotifier->deleteLater(); // not while it is reporting
    m_writeNotifier = nullptr;
    if (error != 0) {
        m_lastNumber = SocketIo::number(error);
        m_lastText = SocketIo::errorText(error);
        if (!m_addresses.isEmpty()) {
            connectNext();
            return;
        }
        failConnection(m_lastNumber, m_lastText);
        return;
    }
    m_addresses.clear();
    m_readNotifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &QtHttpSocket::onReadable);
    if (listener())
        listener()->wscHTTP_Connect();
}

void QtHttpSocket::SendData(const QByteArray& data)
{
    if (m_socket == SocketIo::kNoHandle || m_readNotifier == nullptr)
        return; // not connected
    m_unsent += data;
    onWritable();
}

void QtHttpSocket::onWritable()
{
    while (m_socket != SocketIo::kNoHandle && !m_unsent.isEmpty()) {
        int error = 0;
        const qint64 n = SocketIo::send(m_socket, m_unsent.constData(), m_unsent.size(), error);
        if (n >= 0) {
            m_unsent.remove(0, n);
        } else if (n == SocketIo::kWouldBlock) {
            if (!m_writeNotifier) {
                m_writeNotifier = new QSocketNotifier(m_socket, QSocketNotifier::Write, this);
                connect(m_writeNotifier, &QSocketNotifier::activated, this,
                        &QtHttpSocket::onWritable);
            }
            m_writeNotifier->setEnabled(true);
            return;
        } else {
            failConnection(SocketIo::number(error), SocketIo::errorText(error));
            return;
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void QtHttpSocket::GetData(QByteArray& data)
{
    // The buffers change hands: the caller's old one is filled by the next read.
    std::swap(data, m_received);
    m_received.resize(0);
}

void QtHttpSocket::onReadable()
{
    const qintptr socket = m_socket;
    // A few reads per notification, so that a fast server cannot starve the rest of
    // the program.
    for (int round = 0; round < 16 && socket != SocketIo::kNoHandle && socket == m_socket;
         ++round) {
        m_received.resize(kChunkBytes);
        int error = 0;
        const qint64 n = SocketIo::receive(socket, m_received.data(), kChunkBytes, error);
        if (n > 0) {
            m_received.resize(n);
            if (listener())
                listener()->wscHTTP_DataArrival(n);
            continue;
        }
        m_received.resize(0);
        if (n == 0) {
            // The server closed the connection: the end of the reply.
            Close();
            if (listener())
                listener()->wscHTTP_Close();
            return;
        }
        if (n == SocketIo::kWouldBlock)
            return;
        failConnection(SocketIo::number(error), SocketIo::errorText(error));
        return;
    }
}

void QtHttpSocket::failConnection(int number, const QString& systemText)
{
    Close();
    if (listener())
        listener()->wscHTTP_Error(number, describe(number, systemText));
}
