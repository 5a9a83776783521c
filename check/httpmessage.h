#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <limits>

// The HTTP/1.1 of one check: the request it sends, and what it reads of the reply's
// header.
namespace HttpMessage {

// How much of a reply's reason phrase and Location value is kept.
inline constexpr int kMaxReasonPhrase = 60;
inline constexpr int kMaxLocation = 2048;

// The five-line GET request. Every byte of the path outside printable ASCII (0x21 to
// 0x7E) goes percent-encoded; the host is sent as it is.
QByteArray request(const QString& requestPath, const QString& hostName);

// The status code and reason phrase of a header's first line ("HTTP/1.1 503 Service
// Unavailable"); code 0 when that line is no status line. The reason phrase holds
// printable ASCII only (a tab as a space), at most kMaxReasonPhrase characters.
struct Status
{
    int code = 0;
    QString reasonPhrase;
};
Status status(const QByteArray& header);

// The body length a header announces (Content-Length); -1 when it announces none, or none
// that can be trusted (several that differ, or a chunked body).
qint64 announcedLength(const QByteArray& header);

// The value of a header's first Content-Type field (what reading the body needs: its media
// type and charset), printable ASCII only, at most kMaxContentType characters; empty when
// it has none.
inline constexpr int kMaxContentType = 256;
QByteArray contentType(const QByteArray& header);

// Whether a header says the body comes in chunks: the last transfer coding of its
// Transfer-Encoding fields is "chunked", in any case. (A body with other codings alone
// runs to the connection's end.)
bool isChunked(const QByteArray& header);

// The value of a header's first Location field, percent-encoded as far as it goes within
// kMaxLocation characters; empty when it has none.
QString location(const QByteArray& header);

// `bytes` with every byte outside printable ASCII (0x21 to 0x7E) as "%XX" in capital hex
// digits, and "%" and every other printable byte as it is, so that text encoded already
// goes unchanged. At most `maxSize` bytes: it ends before the first byte whose form would
// not fit.
QByteArray percentEncoded(QByteArrayView bytes,
                          qsizetype maxSize = std::numeric_limits<qsizetype>::max());

} // namespace HttpMessage
