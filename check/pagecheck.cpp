#include "pagecheck.h"

#include "runtimeerror.h"
#include "services.h"
#include "systemfiles.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QByteArray kBlankLine("\r\n\r\n");

QString applicationTitle()
{
    return QCoreApplication::applicationName();
}

} // namespace

PageCheck::PageCheck(Services& services, CheckHost& host, std::unique_ptr<HttpSocket> socket,
                     std::unique_ptr<HttpSocket> secureSocket)
    : m_services(services), m_host(host), m_plain(std::move(socket)),
      m_secure(std::move(secureSocket)), m_socket(m_plain.get())
{
    m_plain->setListener(this);
    m_secure->setListener(this);
}

PageCheck::~PageCheck()
{
    for (HttpSocket* socket : {m_plain.get(), m_secure.get()}) {
        socket->setListener(nullptr);
        socket->Close();
    }
    discardTmp();
}

void PageCheck::setLimits(qint64 maxHeaderBytes, qint64 keptBodyBytes)
{
    m_maxHeaderBytes = maxHeaderBytes;
    m_keptBodyBytes = keptBodyBytes;
}

QString PageCheck::tmpPath() const
{
    return m_services.programDir + QStringLiteral("/data.tmp");
}

QString PageCheck::snapshotPath() const
{
    return m_services.programDir + QStringLiteral("/data.orvl");
}

PageCheck::Target PageCheck::connectTarget(const QString& hostName, std::uint16_t defaultPort)
{
    const qsizetype colon = hostName.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        const QString digits = hostName.mid(colon + 1);
        bool allDigits = !digits.isEmpty() && digits.size() <= 5;
        for (const QChar c : digits)
            allDigits = allDigits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int port = allDigits ? digits.toInt() : 0;
        if (port >= 1 && port <= 65535)
            return {hostName.left(colon), std::uint16_t(port)};
    }
    return {hostName, defaultPort};
}

qint64 PageCheck::announcedLength(const QByteArray& header)
{
    qint64 length = -1;
    for (const QByteArray& line : header.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "transfer-encoding")
            return -1; // a chunked body's length is not the field's
        if (name != "content-length")
            continue;
        bool ok = !value.isEmpty();
        for (const char c : value)
            ok = ok && c >= '0' && c <= '9';
        const qint64 n = ok && value.size() <= 18 ? value.toLongLong() : -1;
        if (n < 0 || (length >= 0 && n != length))
            return -1;
        length = n;
    }
    return length;
}

QByteArray PageCheck::request(const QString& requestPath, const QString& hostName)
{
    QByteArray r;
    r.reserve(57 + requestPath.size() + hostName.size());
    // The text goes out in the encoding config.ini was read in, so that the bytes of
    // the URL in the file are the bytes on the wire (Latin-1 would turn every
    // character beyond it into "?").
    r += "GET ";
    r += requestPath.toLocal8Bit();
    r += " HTTP/1.1\r\nHost: ";
    r += hostName.toLocal8Bit();
    r += "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    return r;
}

void PageCheck::FetchURL()
{
    // A URL is needed.
    const QString url = m_host.urlText();
    if (url.isEmpty()) {
        m_services.messageBox->show(QStringLiteral("Please, enter the URL to retrieve."),
                                    MessageBoxService::Icon::Information, applicationTitle());
        return;
    }

    // Without its "http://" or "https://" prefix, split at the first "/"; no "/" means
    // path "/".
    const bool secure = url.startsWith(QLatin1String("https://"));
    QString working = secure                                     ? url.mid(8)
                      : url.startsWith(QLatin1String("http://")) ? url.mid(7)
                                                                 : url;
    if (!working.contains(QLatin1Char('/')))
        working += QLatin1Char('/');
    const qsizetype p = working.indexOf(QLatin1Char('/'));
    HostName = working.left(p);
    RequestPath = working.mid(p);

    // A running fetch is abandoned with its partial reply.
    m_active = false;
    discardTmp();
    m_host.setWorkingText(QByteArray());
    ResponseText.clear();
    HeaderStripped = False;
    m_bodySize = 0;
    m_announcedLength = -1;

    // Connect; a request the socket refuses at once is reported here.
    try {
        m_plain->Close();
        m_secure->Close();
        m_socket = secure ? m_secure.get() : m_plain.get();
        m_socket->setLocalPort(0);
        const Target target = connectTarget(HostName, secure ? 443 : 80);
        m_active = true;
        m_socket->Connect(target.host, target.port);
    } catch (const RuntimeError& e) {
        m_active = false;
        showError(e.number(), e.description());
        m_host.checkEnded({CheckOutcome::Result::Failed, e.description()});
    }
}

void PageCheck::showError(int number, const QString& description)
{
    m_services.messageBox->show(QStringLiteral("Error was occurred.\r\nError #: %1\r\n"
                                               "Description: %2")
                                    .arg(number)
                                    .arg(description),
                                MessageBoxService::Icon::Exclamation, applicationTitle());
}

void PageCheck::wscHTTP_Connect()
{
    if (!m_active)
        return;
    m_socket->SendData(request(RequestPath, HostName));
    m_host.setCaption(QStringLiteral("Connection Estabilished"));
    // data.tmp is made ready while the server answers; it stays empty until the body.
    openTmp();
}

bool PageCheck::openTmp()
{
    if (m_tmp.isOpen())
        return true;
    m_tmp.setFileName(tmpPath());
    if (m_tmp.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    fail(QStringLiteral("Check failed: cannot create data.tmp: %1").arg(m_tmp.errorString()));
    return false;
}

void PageCheck::wscHTTP_DataArrival(std::int64_t)
{
    m_host.setCaption(QStringLiteral("Fetching data"));
    m_socket->GetData(m_chunk);
    if (!m_active || m_chunk.isEmpty())
        return;
    if (HeaderStripped.isNonZero()) {
        takeBody(m_chunk.constData(), m_chunk.size());
        return;
    }

    // The header is gathered until the blank line that ends it, which may be split
    // across pieces: the search starts 3 bytes before the new piece.
    const qsizetype from = std::max<qsizetype>(0, ResponseText.size() - 3);
    ResponseText += m_chunk;
    const qsizetype p = ResponseText.indexOf(kBlankLine, from);
    // The limit holds however the reply was cut into pieces.
    if ((p < 0 && ResponseText.size() > m_maxHeaderBytes) || p > m_maxHeaderBytes) {
        fail(QStringLiteral("Check failed: the reply's header is longer than %1")
                 .arg(m_maxHeaderBytes % (1 << 20) == 0
                          ? QStringLiteral("%1 MiB").arg(m_maxHeaderBytes >> 20)
                          : QStringLiteral("%1 bytes").arg(m_maxHeaderBytes)));
        return;
    }
    if (p < 0)
        return;
    const QByteArray reply = std::exchange(ResponseText, QByteArray());
    HeaderStripped = True;
    m_announcedLength = announcedLength(reply.left(p));
    // The kept body grows in one piece where its length is known.
    if (m_announcedLength > 0)
        ResponseText.reserve(qsizetype(std::min(m_announcedLength, m_keptBodyBytes)));
    if (!openTmp())
        return;
    takeBody(reply.constData() + p + 4, reply.size() - p - 4);
}

void PageCheck::takeBody(const char* data, qint64 size)
{
    if (size <= 0)
        return;
    if (m_tmp.write(data, size) != size) {
        fail(QStringLiteral("Check failed: cannot write data.tmp: %1").arg(m_tmp.errorString()));
        return;
    }
    m_bodySize += size;
    const qint64 room = m_keptBodyBytes - ResponseText.size();
    if (room > 0)
        ResponseText.append(data, std::min(room, size));
}

void PageCheck::wscHTTP_Close()
{
    if (!m_active)
        return;
    if (HeaderStripped.isFalse()) {
        fail(QStringLiteral("Check failed: the reply ended before its header was complete"));
        return;
    }
    m_active = false;
    m_host.setCaption(QStringLiteral("Connection Closed"));
    m_host.setWorkingText(ResponseText);

    // data.tmp: the body, then CR LF, complete before it may replace the snapshot.
    const bool written = m_tmp.write("\r\n", 2) == 2;
    m_tmp.close();
    if (!written || m_tmp.error() != QFileDevice::NoError) {
        fail(QStringLiteral("Check failed: cannot write data.tmp: %1").arg(m_tmp.errorString()));
        return;
    }
    const qint64 newSize = QFileInfo(tmpPath()).size();
    if (newSize != m_bodySize + 2) {
        fail(QStringLiteral("Check failed: data.tmp holds %1 bytes instead of %2")
                 .arg(newSize)
                 .arg(m_bodySize + 2));
        return;
    }
    const QFileInfo snapshot(snapshotPath());
    const bool hadSnapshot = snapshot.exists();
    const qint64 oldSize = hadSnapshot ? snapshot.size() : 0;
    m_host.setSizes(QString::number(newSize), hadSnapshot ? QString::number(oldSize) : QString());

    // The first check has nothing to compare with: its body only becomes the snapshot.
    const bool changed = hadSnapshot && newSize != oldSize;

    // One rename replaces the snapshot, so it is never missing or half-written.
    if (const QString error = SystemFiles::replace(tmpPath(), snapshotPath()); !error.isEmpty()) {
        fail(QStringLiteral("Check failed: cannot rename data.tmp to data.orvl: %1").arg(error));
        return;
    }
    m_tmp.setFileName(QString());
    if (changed) {
        m_host.logUpdate();
        m_host.announceUpdate();
    }
    m_host.checkEnded(
        {changed ? CheckOutcome::Result::Changed : CheckOutcome::Result::Unchanged, QString()});
}

void PageCheck::wscHTTP_CloseUnconfirmed(const QString& description)
{
    if (!m_active)
        return;
    // Without the server's word, only a body of the length its header announced is whole.
    if (HeaderStripped.isNonZero() && m_announcedLength >= 0 && m_bodySize == m_announcedLength) {
        wscHTTP_Close();
        return;
    }
    fail(QStringLiteral("Check failed: %1, before the whole page arrived").arg(description));
}

void PageCheck::wscHTTP_Error(int, const QString& description)
{
    if (!m_active)
        return;
    fail(QStringLiteral("Check failed: %1").arg(description));
}

void PageCheck::fail(const QString& why)
{
    m_active = false;
    m_socket->Close();
    discardTmp();
    m_host.setCaption(why);
    m_host.checkEnded({CheckOutcome::Result::Failed, why});
}

void PageCheck::discardTmp()
{
    // The data.tmp of this fetch, open or left by a failed write or rename.
    if (m_tmp.isOpen())
        m_tmp.close();
    if (!m_tmp.fileName().isEmpty())
        QFile::remove(m_tmp.fileName());
    m_tmp.setFileName(QString());
}
