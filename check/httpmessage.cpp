#include "httpmessage.h"

#include <QList>
#include <algorithm>

namespace HttpMessage {

QByteArray percentEncoded(QByteArrayView bytes, qsizetype maxSize)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool printable = byte >= 0x21 && byte <= 0x7e;
        if (out.size() > maxSize - (printable ? 1 : 3))
            break;
        if (printable) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

QByteArray request(const QString& requestPath, const QString& hostName)
{
    // The path goes as UTF-8, as addresses with letters beyond ASCII are sent (bytes of
    // config.ini that were not text come as %XX already). A space, a control character or
    // a byte of a UTF-8 letter would make the request line malformed; a path written
    // already encoded goes unchanged.
    const QByteArray path = percentEncoded(requestPath.toUtf8());
    const QByteArray host = hostName.toUtf8();
    QByteArray r;
    r.reserve(57 + path.size() + host.size());
    r += "GET ";
    r += path;
    r += " HTTP/1.1\r\nHost: ";
    r += host;
    r += "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    return r;
}

Status status(const QByteArray& header)
{
    // "HTTP/1.1 503 Service Unavailable": a version, a space, three digits, then after a
    // space the reason phrase.
    const qsizetype lineEnd = header.indexOf('\n');
    QByteArray line = lineEnd < 0 ? header : header.left(lineEnd);
    if (line.endsWith('\r'))
        line.chop(1);
    const qsizetype space = line.indexOf(' ');
    if (!line.startsWith("HTTP/") || space < 0 || line.size() < space + 4)
        return {};
    const QByteArray code = line.mid(space + 1, 3);
    if (!std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        (line.size() > space + 4 && line.at(space + 4) != ' '))
        return {};
    // The phrase as it can be shown.
    QString phrase;
    for (const char c : line.mid(space + 5)) {
        if (c == '\t' || (c >= 0x20 && c <= 0x7e))
            phrase += QLatin1Char(c == '\t' ? ' ' : c);
    }
    return {code.toInt(), phrase.trimmed().left(kMaxReasonPhrase).trimmed()};
}

qint64 announcedLength(const QByteArray& header)
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

QByteArray contentType(const QByteArray& header)
{
    for (const QByteArray& line : header.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "content-type")
            continue;
        QByteArray value;
        for (const char c : line.mid(colon + 1).trimmed()) {
            if (c == '\t' || (c >= 0x20 && c <= 0x7e))
                value += c == '\t' ? ' ' : c;
        }
        return value.left(kMaxContentType).trimmed();
    }
    return {};
}

bool isChunked(const QByteArray& header)
{
    QByteArray last;
    for (const QByteArray& line : header.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "transfer-encoding")
            continue;
        // "gzip, chunked": the codings in the order they were applied, across fields.
        const QByteArray value = line.mid(colon + 1);
        const QByteArray coding = value.mid(value.lastIndexOf(',') + 1).trimmed().toLower();
        if (!coding.isEmpty())
            last = coding;
    }
    return last == "chunked";
}

QString location(const QByteArray& header)
{
    for (const QByteArray& line : header.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "location")
            continue;
        return QString::fromLatin1(percentEncoded(line.mid(colon + 1).trimmed(), kMaxLocation));
    }
    return {};
}

} // namespace HttpMessage
