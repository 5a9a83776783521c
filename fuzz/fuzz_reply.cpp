// Any sequence of received pieces through one check: the capture, the header cut, the
// body streamed into data.tmp (its chunks undone) and the snapshot replaced, compared
// with the rule written the simplest way: the body is everything after the first CR LF
// CR LF of the joined reply; the page is the body, or its first Content-Length bytes, or
// what a whole-buffer reader of chunks makes of it; no blank line, a header longer than
// the limit, or more than the limit received without a blank line, a status of 500 to
// 599, a page (or an announced length, or a chunk) over the page bound, chunk lines over
// the header's limit, malformed chunks, fewer body bytes than the header announced or no
// last chunk, is a failed reply that leaves the snapshot alone, with its kind of failure.
//
// Input: a flags byte, then pieces, each a length byte followed by that many bytes
// (a length byte with its top bit set means (length & 0x7f) * 32 bytes).
//   flags bit 0: a snapshot exists before the check (else it is the first check)
//   flags bit 1: the reply ends with a connection error instead of the server's close
//   flags bit 2: a piece arrives empty (a notification without data) between pieces
//   flags bit 3: the connection ends without the server's word that the reply is
//                complete (TLS without its close alert): whole only at its announced length
#include "checkkit.h"
#include "fakes.h"
#include "httpmessage.h"
#include "pagecheck.h"
#include "runtimeerror.h"
#include "systemservices.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "reply path: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

// Small limits, so that short inputs reach them.
constexpr qint64 kHeaderLimit = 200;
constexpr qint64 kKeptBody = 64;
constexpr qint64 kPageLimit = 600;

QTemporaryDir& programDir()
{
    // On memory where there is some: every input writes data.tmp.
    static QTemporaryDir dir(QDir("/dev/shm").exists()
                                 ? QStringLiteral("/dev/shm/orvell-fuzz-XXXXXX")
                                 : QDir::tempPath() + "/orvell-fuzz-XXXXXX");
    return dir;
}

// The status line of a header: "HTTP/<version> <3 digits>", then " <reason phrase>" or
// nothing; the phrase in printable ASCII (a tab as a space), trimmed, at most 60.
HttpMessage::Status statusOf(const QByteArray& header)
{
    QByteArray line = header.split('\n').first();
    if (line.endsWith('\r'))
        line.chop(1);
    static const QRegularExpression re(QStringLiteral("^HTTP/[^ ]* ([0-9]{3})(?: ([\\s\\S]*))?$"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return {};
    QString phrase;
    for (const QChar c : m.captured(2)) {
        if (c == QLatin1Char('\t'))
            phrase += QLatin1Char(' ');
        else if (c.unicode() >= 0x20 && c.unicode() <= 0x7e)
            phrase += c;
    }
    return {m.captured(1).toInt(), phrase.trimmed().left(60).trimmed()};
}

// The chunks of a body read from the whole buffer at once: where each size line, chunk
// and trailer line lies, and at which byte the first thing goes wrong. Bytes count as
// the streaming reader takes them: a line's bytes against `lineRoom` before they are
// looked at, so that at one byte the bound goes first.
struct Chunks
{
    enum End
    {
        Whole,
        Cut,
        Malformed,
        TooLarge,
        LinesTooLong
    } end = Cut;
    QByteArray page;
};

Chunks referenceChunks(const QByteArray& b, qint64 pageRoom, qint64 lineRoom)
{
    Chunks out;
    const qsizetype n = b.size();
    qsizetype pos = 0;
    // The first of the events of a line starting at `start`: a malformed byte at `bad`, a
    // size over the bound at `tooLarge` (-1: none), the input's end at n; false when one
    // of them comes before `lineEnd`.
    auto lineOk = [&](qsizetype start, qsizetype lineEnd, qsizetype bad, qsizetype tooLarge) {
        const qsizetype over = start + std::max<qint64>(lineRoom, 0);
        qsizetype first = std::min({lineEnd, over, bad, n});
        if (tooLarge >= 0)
            first = std::min(first, tooLarge);
        if (first == lineEnd && lineEnd <= n && lineEnd <= over && lineEnd <= bad)
            return true;
        out.end = first == over && over < n ? Chunks::LinesTooLong
                  : first == tooLarge       ? Chunks::TooLarge
                  : first == bad && bad < n ? Chunks::Malformed
                                            : Chunks::Cut;
        return false;
    };
    auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    // Where a line's CR LF ends from `from`: the index after the LF, or the bad byte.
    auto lineEnd = [&](qsizetype from, qsizetype& bad) {
        qsizetype i = from;
        while (i < n && b[i] != '\r' && b[i] != '\n')
            ++i;
        if (i < n && b[i] == '\n')
            bad = i;
        else if (i + 1 < n && b[i + 1] != '\n')
            bad = i + 1;
        return i + 2;
    };
    for (;;) {
        const qsizetype start = pos;
        qsizetype i = pos;
        qint64 size = 0;
        qsizetype tooLarge = -1;
        while (i < n && isHex(b[i])) {
            size = size * 16 + QByteArray(1, b[i]).toInt(nullptr, 16);
            if (size > pageRoom) {
                tooLarge = i;
                break;
            }
            ++i;
        }
        qsizetype bad = n + 1;
        qsizetype end = n + 2;
        if (tooLarge < 0) {
            if (i == start) {
                bad = i;
            } else {
                while (i < n && (b[i] == ' ' || b[i] == '\t'))
                    ++i;
                if (i < n && b[i] != ';' && b[i] != '\r')
                    bad = i;
                else
                    end = lineEnd(i, bad);
            }
        }
        if (!lineOk(start, end, bad, tooLarge))
            return out;
        lineRoom -= end - start;
        pos = end;
        if (size == 0)
            break;
        pageRoom -= size;
        out.page += b.mid(pos, size); // a chunk's start is the page's while it comes
        if (n - pos < size)
            return out; // cut in the data
        pos += size;
        if (pos + 2 > n && (pos >= n || b[pos] == '\r'))
            return out; // cut before the data's CR LF
        if (b[pos] != '\r' || b[pos + 1] != '\n') {
            out.end = Chunks::Malformed;
            return out;
        }
        pos += 2;
    }
    // The trailer: field lines up to the empty one.
    for (;;) {
        const qsizetype start = pos;
        qsizetype bad = n + 1;
        qsizetype end = n + 2;
        if (pos < n && b[pos] == '\n')
            bad = pos;
        else
            end = lineEnd(pos, bad);
        if (!lineOk(start, end, bad, -1))
            return out;
        lineRoom -= end - start;
        pos = end;
        if (end - start == 2) {
            out.end = Chunks::Whole;
            return out;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const bool hadSnapshot = flags & 1;
    const bool endsInError = flags & 2;
    const bool emptyNotifications = flags & 4;
    const bool unconfirmed = flags & 8;

    QList<QByteArray> pieces;
    for (std::size_t i = 1; i < size;) {
        std::size_t n = data[i++];
        if (n & 0x80)
            n = (n & 0x7f) * 32;
        n = std::min(n, size - i);
        pieces.append(QByteArray(reinterpret_cast<const char*>(data + i), qsizetype(n)));
        i += n;
    }

    QTemporaryDir& dir = programDir();
    check(dir.isValid(), "no temporary directory");
    const QString tmpPath = dir.filePath(QStringLiteral("data.tmp"));
    const QString snapshotPath = dir.filePath(QStringLiteral("data.orvl"));
    QFile::remove(tmpPath);
    QFile::remove(snapshotPath);
    const QByteArray oldSnapshot = "an earlier body\r\n";
    if (hadSnapshot)
        writeFile(snapshotPath, oldSnapshot);

    SystemServices services;
    services.programDir = dir.path();
    RecordingCheckHost host;
    host.url = QStringLiteral("http://127.0.0.1:8080/page");
    auto owned = std::make_unique<ScriptedSocket>();
    ScriptedSocket& socket = *owned;
    PageCheck pageCheck(services, host, std::move(owned), std::make_unique<ScriptedSocket>());
    pageCheck.setLimits({kHeaderLimit, kKeptBody, kPageLimit});

    pageCheck.FetchURL();
    check(socket.connects == 1, "no connect");
    pageCheck.wscHTTP_Connect();
    check(socket.sent.startsWith("GET /page HTTP/1.1\r\n"), "request not sent");

    // The reference: what the joined reply should give.
    QByteArray joined;
    bool overLimit = false;
    for (const QByteArray& piece : pieces) {
        joined += piece;
        if (!joined.contains("\r\n\r\n") && joined.size() > kHeaderLimit)
            overLimit = true;
        socket.deliver(piece);
        if (emptyNotifications)
            socket.deliver(QByteArray());
    }
    const qsizetype blank = joined.indexOf("\r\n\r\n");
    // A header longer than the limit fails however the pieces fell.
    if (blank > kHeaderLimit)
        overLimit = true;
    const QByteArray body = blank >= 0 ? joined.mid(blank + 4) : QByteArray();
    const bool headerWhole = !overLimit && blank >= 0;
    const QByteArray header = headerWhole ? joined.left(blank) : QByteArray();
    const HttpMessage::Status status = headerWhole ? statusOf(header) : HttpMessage::Status();
    // These carry no body; a chunked one is read by the reference reader.
    const bool noBody = headerWhole && (status.code == 204 || status.code == 304);
    const bool chunked = headerWhole && !noBody && HttpMessage::isChunked(header);
    const qint64 announced = noBody ? 0 : headerWhole ? HttpMessage::announcedLength(header) : -1;
    const Chunks chunks =
        chunked ? referenceChunks(body, kPageLimit, kHeaderLimit - (blank + 4)) : Chunks();
    const QByteArray page = chunked ? chunks.page : announced >= 0 ? body.left(announced) : body;
    using Failure = CheckOutcome::Failure;
    Failure expected = Failure::None;
    if (overLimit)
        expected = Failure::HeaderTooLong;
    else if (blank < 0)
        expected = endsInError ? Failure::ConnectionError : Failure::CutShort;
    else if (status.code >= 500 && status.code <= 599)
        expected = Failure::ServerError;
    else if (announced > kPageLimit)
        expected = Failure::PageTooLarge;
    else if (chunked)
        // A reset before the last chunk cuts the page short as a close does.
        expected = chunks.end == Chunks::Whole          ? Failure::None
                   : chunks.end == Chunks::Malformed    ? Failure::Malformed
                   : chunks.end == Chunks::TooLarge     ? Failure::PageTooLarge
                   : chunks.end == Chunks::LinesTooLong ? Failure::HeaderTooLong
                                                        : Failure::CutShort;
    else if (announced >= 0)
        expected = body.size() >= announced ? Failure::None
                   : endsInError            ? Failure::ConnectionError
                                            : Failure::CutShort;
    else
        expected = body.size() > kPageLimit ? Failure::PageTooLarge
                   : endsInError            ? Failure::ConnectionError
                   : unconfirmed            ? Failure::CutShort
                                            : Failure::None;
    const bool complete = expected == Failure::None;

    // While the reply is still coming, only data.tmp may hold the page so far.
    if (!overLimit && blank >= 0 && QFile::exists(tmpPath))
        check(readFile(tmpPath) == page, "data.tmp does not hold the page received so far");
    check(pageCheck.ResponseText.size() <= qMax(kHeaderLimit, kKeptBody) + joined.size(),
          "the capture holds more than it should");
    if (blank < 0 && !overLimit)
        check(pageCheck.ResponseText == joined, "the header so far is not the joined pieces");
    if (overLimit)
        check(pageCheck.ResponseText.size() <= kHeaderLimit + 255 * 32 + 255,
              "an endless header is kept without bound");

    if (endsInError)
        socket.failNow();
    else if (unconfirmed)
        socket.closeUnconfirmed();
    else
        socket.closeNow();

    check(host.outcomes.size() == 1, "the check did not end exactly once");
    check(host.messages.isEmpty(), "a message box came up");
    const CheckOutcome& outcome = host.outcomes.last();
    check(outcome.failure == expected, "the failure is not of its kind");
    check(outcome.statusCode == status.code && outcome.reasonPhrase == status.reasonPhrase,
          "the reply's status is not its status line's");

    check(!QFile::exists(tmpPath), "data.tmp left behind");
    const QByteArray snapshot = readFile(snapshotPath);
    if (!complete) {
        check(QFile::exists(snapshotPath) == hadSnapshot, "snapshot created or lost by a failure");
        if (hadSnapshot)
            check(snapshot == oldSnapshot, "snapshot changed by a failed reply");
        check(host.calls.isEmpty(), "a failed reply was announced");
        check(host.lastResult() == CheckOutcome::Result::Failed && !outcome.reason.isEmpty() &&
                  outcome.reason == host.caption,
              "a failed reply says nothing");
        if (expected == Failure::ServerError)
            check(outcome.reason == QStringLiteral("Check failed: the server answered %1 %2")
                                        .arg(status.code)
                                        .arg(status.reasonPhrase)
                                        .trimmed(),
                  "a server error in other words");
        if (expected == Failure::PageTooLarge)
            check(outcome.reason ==
                      QLatin1String("Check failed: the page is larger than 600 bytes"),
                  "a page over the bound in other words");
        if (expected == Failure::CutShort && chunked)
            check(outcome.reason ==
                      QLatin1String("Check failed: the page ended before its last chunk"),
                  "chunks cut short in other words");
        if (expected == Failure::Malformed)
            check(outcome.reason == QLatin1String("Check failed: the page's chunks are malformed"),
                  "malformed chunks in other words");
        if (expected == Failure::CutShort && !chunked && announced > body.size())
            check(outcome.reason ==
                      QStringLiteral("Check failed: the page ended after %1 of %2 bytes")
                          .arg(body.size())
                          .arg(announced),
                  "a reply cut short in other words");
        return 0;
    }
    check(snapshot == page + "\r\n", "snapshot is not the page after the first blank line");
    check(host.caption == QLatin1String("Connection Closed"), "caption is not Connection Closed");
    check(host.text1 == page.left(kKeptBody), "Text1 is not the start of the page");
    check(host.label2 == QString::number(page.size() + 2), "new size shown wrongly");
    const bool changed = hadSnapshot && page.size() + 2 != oldSnapshot.size();
    check(host.calls.size() == (changed ? 2 : 0), "a change not reported exactly once");
    check(host.lastResult() ==
              (changed ? CheckOutcome::Result::Changed : CheckOutcome::Result::Unchanged),
          "the outcome is not the comparison's");
    return 0;
}
