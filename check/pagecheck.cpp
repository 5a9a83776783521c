#include "pagecheck.h"

#include "runtimeerror.h"
#include "systemservices.h"
#include "tlssocket.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QByteArray kBlankLine("\r\n\r\n");

QString applicationTitle()
{
    return QCoreApplication::applicationName();
}

// "1 GiB", "256 KiB", "200 bytes".
QString sizeText(qint64 bytes)
{
    static const std::pair<int, const char*> kUnits[] = {{30, "GiB"}, {20, "MiB"}, {10, "KiB"}};
    for (const auto& [shift, unit] : kUnits) {
        const qint64 size = qint64(1) << shift;
        if (bytes >= size && bytes % size == 0)
            return QStringLiteral("%1 %2").arg(bytes / size).arg(QLatin1String(unit));
    }
    return QStringLiteral("%1 bytes").arg(bytes);
}

// "60 s", "250 ms".
QString durationText(int ms)
{
    return ms % 1000 == 0 ? QStringLiteral("%1 s").arg(ms / 1000) : QStringLiteral("%1 ms").arg(ms);
}

// The kind of a connection failure, from the number the socket reports it with.
CheckOutcome::Failure connectionFailure(int number)
{
    switch (number) {
    case QtHttpSocket::ConnectionRefused:
        return CheckOutcome::Failure::ConnectionRefused;
    case QtHttpSocket::HostNotFound:
        return CheckOutcome::Failure::HostNotFound;
    case QtTlsSocket::kCertificateRefused:
        return CheckOutcome::Failure::CertificateProblem;
    case QtHttpSocket::TimedOut:
        return CheckOutcome::Failure::NoAnswer;
    default:
        return CheckOutcome::Failure::ConnectionError;
    }
}

} // namespace

PageCheck::PageCheck(SystemServices& services, CheckHost& host, std::unique_ptr<HttpSocket> socket,
                     std::unique_ptr<HttpSocket> secureSocket)
    : m_services(services), m_host(host), m_plain(std::move(socket)),
      m_secure(std::move(secureSocket)), m_socket(m_plain.get())
{
    m_plain->setListener(this);
    m_secure->setListener(this);
    m_silence.setSingleShot(true);
    QObject::connect(&m_silence, &QTimer::timeout, &m_silence, [this] { onSilence(); });
    setLimits(m_limits);
}

void PageCheck::setLimits(const Limits& limits)
{
    m_limits = limits;
    m_plain->setConnectTimeout(limits.connectTimeoutMs);
    m_secure->setConnectTimeout(limits.connectTimeoutMs);
}

PageCheck::~PageCheck()
{
    for (HttpSocket* socket : {m_plain.get(), m_secure.get()}) {
        socket->setListener(nullptr);
        socket->Close();
    }
    m_files.discardTmp();
}

void PageCheck::FetchURL()
{
    // A URL is needed.
    const QString url = m_host.urlText();
    if (url.isEmpty()) {
        m_host.showMessage(QStringLiteral("Please, enter the URL to retrieve."),
                           CheckHost::MessageIcon::Information, applicationTitle());
        return;
    }

    const Address a = Address::parse(url);
    HostName = a.hostName;
    RequestPath = a.requestPath;

    // A running fetch is abandoned with its partial reply.
    m_active = false;
    m_silence.stop();
    m_chunks.reset();
    m_headerBytes = 0;
    m_files.discardTmp();
    m_files.setFolder(m_services.programDir);
    m_host.setWorkingText(QByteArray());
    ResponseText.clear();
    HeaderStripped = False;
    m_bodySize = 0;
    m_announcedLength = -1;
    m_status = HttpMessage::Status();
    m_location.clear();
    m_contentType.clear();
    m_oldSize = m_newSize = -1;
    m_replaced.clear();

    // Connect; an address that cannot be asked for is reported here.
    try {
        m_plain->Close();
        m_secure->Close();
        m_socket = a.secure ? m_secure.get() : m_plain.get();
        m_socket->setLocalPort(0);
        Address::checkForm(url, HostName);
        const Address::Target target = Address::connectTarget(HostName, a.secure ? 443 : 80);
        m_active = true;
        m_socket->Connect(target.host, target.port);
        m_host.checkStarted();
    } catch (const RuntimeError& e) {
        m_active = false;
        reportRefusal(url, e.number(), e.description());
        m_host.checkEnded(
            outcome(CheckOutcome::Result::Failed, e.description(), Failure::AddressRefused));
    }
}

void PageCheck::reviewAddress()
{
    const QString url = m_host.urlText();
    if (url.isEmpty())
        return;
    const Address a = Address::parse(url);
    try {
        Address::checkForm(url, a.hostName);
        const Address::Target target = Address::connectTarget(a.hostName, a.secure ? 443 : 80);
        QtHttpSocket::checkTarget(target.host, target.port);
    } catch (const RuntimeError& e) {
        reportRefusal(url, e.number(), e.description());
    }
}

void PageCheck::reportRefusal(const QString& url, int number, const QString& description)
{
    // The URL is read once per start: one message says it all, not one at every mark.
    if (url == m_refusedUrl)
        return;
    m_refusedUrl = url;
    showError(number, description);
}

void PageCheck::showError(int number, const QString& description)
{
    m_host.showMessage(QStringLiteral("Error was occurred.\r\nError #: %1\r\n"
                                      "Description: %2")
                           .arg(number)
                           .arg(description),
                       CheckHost::MessageIcon::Exclamation, applicationTitle());
}

void PageCheck::wscHTTP_Connect()
{
    if (!m_active)
        return;
    m_socket->SendData(HttpMessage::request(RequestPath, HostName));
    m_host.setCaption(QStringLiteral("Connection Estabilished"));
    // data.tmp is made ready while the server answers; it stays empty until the body.
    openTmp();
}

bool PageCheck::openTmp()
{
    const QString why = m_files.openTmp();
    if (!why.isEmpty())
        failWriting(why);
    return why.isEmpty();
}

void PageCheck::wscHTTP_DataArrival(std::int64_t)
{
    m_socket->GetData(m_chunk);
    if (!m_active)
        return; // a failed check keeps its caption
    m_host.setCaption(QStringLiteral("Fetching data"));
    if (m_chunk.isEmpty())
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
    const qint64 maxHeader = m_limits.maxHeaderBytes;
    if ((p < 0 && ResponseText.size() > maxHeader) || p > maxHeader) {
        fail(Failure::HeaderTooLong, QStringLiteral("Check failed: the reply's header is longer "
                                                    "than %1")
                                         .arg(sizeText(maxHeader)));
        return;
    }
    if (p >= 0)
        takeHeader(p);
}

void PageCheck::takeHeader(qsizetype blankLine)
{
    const QByteArray reply = std::exchange(ResponseText, QByteArray());
    const QByteArray header = reply.left(blankLine);
    HeaderStripped = True;
    m_headerBytes = blankLine + 4;
    m_status = HttpMessage::status(header);
    m_location = HttpMessage::location(header);
    m_contentType = HttpMessage::contentType(header);
    m_announcedLength = HttpMessage::announcedLength(header);
    // These carry no body, whatever their header says.
    if (m_status.code == 204 || m_status.code == 304)
        m_announcedLength = 0;
    else if (HttpMessage::isChunked(header))
        m_chunks.emplace(m_limits.maxPageBytes, m_limits.maxHeaderBytes - m_headerBytes);

    // A server's error is not the page: it passes, and the page comes back unchanged.
    if (m_status.code >= 500 && m_status.code <= 599) {
        fail(Failure::ServerError, QStringLiteral("Check failed: the server answered %1 %2")
                                       .arg(m_status.code)
                                       .arg(m_status.reasonPhrase)
                                       .trimmed());
        return;
    }
    if (m_announcedLength > m_limits.maxPageBytes) {
        fail(Failure::PageTooLarge, QStringLiteral("Check failed: the page is larger than %1")
                                        .arg(sizeText(m_limits.maxPageBytes)));
        return;
    }
    // The kept body grows in one piece where its length is known.
    if (m_announcedLength > 0)
        ResponseText.reserve(qsizetype(std::min(m_announcedLength, m_limits.keptBodyBytes)));
    if (!openTmp())
        return;
    if (m_announcedLength == 0) {
        completePage();
        return;
    }
    takeBody(reply.constData() + blankLine + 4, reply.size() - blankLine - 4);
}

void PageCheck::takeBody(const char* data, qint64 size)
{
    if (m_chunks) {
        // The framing comes off here; the page's bytes go on where they lie.
        while (m_active && !m_chunks->stopped()) {
            const ChunkedBody::Span page = m_chunks->next(data, size);
            if (page.size == 0)
                break;
            if (!takePage(page.data, page.size))
                return;
        }
        if (!m_active)
            return;
        switch (m_chunks->state()) {
        case ChunkedBody::State::Reading:
            return;
        case ChunkedBody::State::Done:
            completePage();
            return;
        case ChunkedBody::State::Malformed:
            fail(Failure::Malformed,
                 QStringLiteral("Check failed: the page's chunks are malformed"));
            return;
        case ChunkedBody::State::TooLarge:
            fail(Failure::PageTooLarge, QStringLiteral("Check failed: the page is larger than %1")
                                            .arg(sizeText(m_limits.maxPageBytes)));
            return;
        case ChunkedBody::State::LinesTooLong:
            fail(Failure::HeaderTooLong,
                 QStringLiteral("Check failed: the reply's header and chunk lines are longer "
                                "than %1")
                     .arg(sizeText(m_limits.maxHeaderBytes)));
            return;
        }
        return;
    }
    if (m_announcedLength >= 0) {
        // Bytes beyond the announced length are not part of the page.
        if (!takePage(data, std::min(size, m_announcedLength - m_bodySize)))
            return;
        if (m_bodySize == m_announcedLength)
            completePage();
        return;
    }
    takePage(data, size);
}

bool PageCheck::takePage(const char* data, qint64 size)
{
    if (size <= 0)
        return true;
    // A server that streams without end is stopped here, before it fills the disk.
    if (size > m_limits.maxPageBytes - m_bodySize) {
        fail(Failure::PageTooLarge, QStringLiteral("Check failed: the page is larger than %1")
                                        .arg(sizeText(m_limits.maxPageBytes)));
        return false;
    }
    if (!writeTmp(data, size))
        return false;
    m_bodySize += size;
    const qint64 room = m_limits.keptBodyBytes - ResponseText.size();
    if (room > 0)
        ResponseText.append(data, std::min(room, size));
    return true;
}

bool PageCheck::writeTmp(const char* data, qint64 size)
{
    const QString why = m_files.appendTmp(data, size);
    if (!why.isEmpty())
        failWriting(why);
    return why.isEmpty();
}

void PageCheck::failWriting(const QString& why)
{
    fail(Failure::WriteFailure, QStringLiteral("Check failed: %1").arg(why));
}

void PageCheck::wscHTTP_Close()
{
    if (!m_active)
        return;
    if (HeaderStripped.isFalse()) {
        fail(Failure::CutShort,
             QStringLiteral("Check failed: the reply ended before its header was complete"));
        return;
    }
    // A close before the announced length or the last chunk cuts the page short, with or
    // without TLS's close alert.
    if (m_chunks || m_announcedLength >= 0) {
        failCutShort();
        return;
    }
    completePage();
}

void PageCheck::completePage()
{
    // Whatever else the server sends is not part of the page: the connection ends here,
    // at once, whether or not the server closes it.
    m_silence.stop();
    m_socket->Close();
    m_host.setCaption(QStringLiteral("Connection Closed"));
    m_host.setWorkingText(ResponseText);

    // data.tmp: the body, then CR LF, complete before it may replace the snapshot.
    if (!writeTmp("\r\n", 2))
        return;
    m_active = false;
    const qint64 newSize = m_bodySize + 2;
    if (const QString why = m_files.closeTmp(newSize); !why.isEmpty()) {
        failWriting(why);
        return;
    }
    const qint64 oldSize = m_files.snapshotSize();
    const bool hadSnapshot = oldSize >= 0;
    m_host.setSizes(QString::number(newSize), hadSnapshot ? QString::number(oldSize) : QString());

    // The first check has nothing to compare with: its body only becomes the snapshot.
    const bool changed = hadSnapshot && newSize != oldSize;

    // A change keeps the snapshot it replaces, for the host to keep as the page before.
    if (const QString why = changed ? m_files.replaceSnapshotKeeping() : m_files.replaceSnapshot();
        !why.isEmpty()) {
        failWriting(why);
        return;
    }
    m_oldSize = oldSize;
    m_newSize = newSize;
    if (changed && QFileInfo::exists(m_files.replacedPath()))
        m_replaced = m_files.replacedPath();
    if (changed) {
        m_host.logUpdate();
        m_host.announceUpdate();
    }
    m_host.checkEnded(
        outcome(changed ? CheckOutcome::Result::Changed : CheckOutcome::Result::Unchanged));
}

void PageCheck::wscHTTP_CloseUnconfirmed(const QString& description)
{
    if (!m_active)
        return;
    // Without the server's word, only a body whose own length or last chunk says it is
    // whole is the page: such a page has been stored already.
    if (HeaderStripped.isNonZero() && (m_chunks || m_announcedLength >= 0)) {
        failCutShort();
        return;
    }
    fail(Failure::CutShort,
         QStringLiteral("Check failed: %1, before the whole page arrived").arg(description));
}

void PageCheck::failCutShort()
{
    if (m_chunks) {
        fail(Failure::CutShort,
             QStringLiteral("Check failed: the page ended before its last chunk"));
        return;
    }
    fail(Failure::CutShort, QStringLiteral("Check failed: the page ended after %1 of %2 bytes")
                                .arg(m_bodySize)
                                .arg(m_announcedLength));
}

void PageCheck::wscHTTP_Error(int number, const QString& description)
{
    if (!m_active)
        return;
    // A reset in the middle of the chunks cuts the page short as a close would.
    if (m_chunks && number == QtHttpSocket::ConnectionReset) {
        failCutShort();
        return;
    }
    const Failure failure = connectionFailure(number);
    if (failure == Failure::NoAnswer) {
        fail(failure, QStringLiteral("Check failed: no answer from %1, no connection within %2")
                          .arg(HostName, durationText(m_limits.connectTimeoutMs)));
        return;
    }
    fail(failure, QStringLiteral("Check failed: %1").arg(description));
}

void PageCheck::wscHTTP_Heard()
{
    if (m_active)
        m_silence.start(m_limits.silenceMs);
}

void PageCheck::onSilence()
{
    if (!m_active)
        return;
    const QString silence = durationText(m_limits.silenceMs);
    // What came so far: the reply's bytes until its header was whole, then the page's.
    const qint64 sent = HeaderStripped.isNonZero() ? m_bodySize : ResponseText.size();
    if (HeaderStripped.isFalse() && sent == 0) {
        fail(Failure::NoAnswer,
             QStringLiteral("Check failed: no answer from %1 for %2").arg(HostName, silence));
        return;
    }
    fail(Failure::NoAnswer, QStringLiteral("Check failed: %1 sent %2 bytes, then nothing for %3")
                                .arg(HostName)
                                .arg(sent)
                                .arg(silence));
}

void PageCheck::fail(Failure failure, const QString& why)
{
    m_active = false;
    m_silence.stop();
    m_socket->Close();
    m_files.discardTmp();
    m_host.setCaption(why);
    m_host.checkEnded(outcome(CheckOutcome::Result::Failed, why, failure));
}

CheckOutcome PageCheck::outcome(CheckOutcome::Result result, const QString& reason,
                                Failure failure) const
{
    CheckOutcome o;
    o.result = result;
    o.reason = reason;
    o.failure = failure;
    o.statusCode = m_status.code;
    o.reasonPhrase = m_status.reasonPhrase;
    o.location = m_location;
    o.contentType = m_contentType;
    if (result != CheckOutcome::Result::Failed) {
        o.oldSize = m_oldSize;
        o.newSize = m_newSize;
        o.replacedSnapshot = m_replaced;
    }
    return o;
}
