#include "pagecharset.h"

#include <QList>
#include <QStringDecoder>
#include <array>
#include <string_view>

namespace {

struct Label
{
    std::string_view name;
    PageEncoding encoding;
};

// WHATWG's labels of the encodings known here.
constexpr std::array kLabels{
    Label{"unicode-1-1-utf-8", PageEncoding::Utf8},
    Label{"unicode11utf8", PageEncoding::Utf8},
    Label{"unicode20utf8", PageEncoding::Utf8},
    Label{"utf-8", PageEncoding::Utf8},
    Label{"utf8", PageEncoding::Utf8},
    Label{"x-unicode20utf8", PageEncoding::Utf8},
    Label{"ansi_x3.4-1968", PageEncoding::Windows1252},
    Label{"ascii", PageEncoding::Windows1252},
    Label{"cp1252", PageEncoding::Windows1252},
    Label{"cp819", PageEncoding::Windows1252},
    Label{"csisolatin1", PageEncoding::Windows1252},
    Label{"ibm819", PageEncoding::Windows1252},
    Label{"iso-8859-1", PageEncoding::Windows1252},
    Label{"iso-ir-100", PageEncoding::Windows1252},
    Label{"iso8859-1", PageEncoding::Windows1252},
    Label{"iso88591", PageEncoding::Windows1252},
    Label{"iso_8859-1", PageEncoding::Windows1252},
    Label{"iso_8859-1:1987", PageEncoding::Windows1252},
    Label{"l1", PageEncoding::Windows1252},
    Label{"latin1", PageEncoding::Windows1252},
    Label{"us-ascii", PageEncoding::Windows1252},
    Label{"windows-1252", PageEncoding::Windows1252},
    Label{"x-cp1252", PageEncoding::Windows1252},
    Label{"unicodefffe", PageEncoding::Utf16BE},
    Label{"utf-16be", PageEncoding::Utf16BE},
    Label{"csunicode", PageEncoding::Utf16LE},
    Label{"iso-10646-ucs-2", PageEncoding::Utf16LE},
    Label{"ucs-2", PageEncoding::Utf16LE},
    Label{"unicode", PageEncoding::Utf16LE},
    Label{"unicodefeff", PageEncoding::Utf16LE},
    Label{"utf-16", PageEncoding::Utf16LE},
    Label{"utf-16le", PageEncoding::Utf16LE},
};

// Windows-1252's characters for 0x80..0x9F; its other bytes are their own code points.
// The five bytes it leaves undefined map to the C1 controls, as browsers do.
constexpr std::array<char16_t, 32> kWindows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b <= 0x9F ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The prescan's view of the first bytes: reading past the end gives NUL, which is none of
// the bytes it looks for.
class Scan
{
public:
    explicit Scan(QByteArrayView bytes) : m_bytes(bytes) {}
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    char at(qsizetype offset = 0) const
    {
        return m_pos + offset < m_bytes.size() ? m_bytes[m_pos + offset] : '\0';
    }
    bool startsWithNoCase(std::string_view s) const
    {
        for (size_t i = 0; i < s.size(); ++i) {
            if (lower(at(qsizetype(i))) != s[i])
                return false;
        }
        return true;
    }
    void skip(qsizetype n = 1) { m_pos += n; }
    void skipSpaces()
    {
        while (!atEnd() && isSpace(at()))
            ++m_pos;
    }
    // To just past the first `s` at or after the current position (or the end).
    void skipPast(std::string_view s)
    {
        const qsizetype found =
            m_bytes.indexOf(QByteArrayView(s.data(), qsizetype(s.size())), m_pos);
        m_pos = found < 0 ? m_bytes.size() : found + qsizetype(s.size());
    }

    // One attribute of a tag, names and values in lower case; false at the tag's end.
    bool attribute(QByteArray& name, QByteArray& value)
    {
        name.clear();
        value.clear();
        while (!atEnd() && (isSpace(at()) || at() == '/'))
            skip();
        if (atEnd() || at() == '>')
            return false;
        for (;; skip()) {
            if (atEnd())
                return true;
            const char c = at();
            if (c == '=' && !name.isEmpty())
                break;
            if (isSpace(c)) {
                skipSpaces();
                if (at() != '=')
                    return true;
                break;
            }
            if (c == '/' || c == '>')
                return true;
            name += lower(c);
        }
        skip(); // '='
        skipSpaces();
        const char quote = at();
        if (quote == '"' || quote == '\'') {
            for (skip(); !atEnd() && at() != quote; skip())
                value += lower(at());
            skip();
            return true;
        }
        for (; !atEnd() && !isSpace(at()) && at() != '>'; skip())
            value += lower(at());
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

// The charset named in a content attribute's "text/html; charset=...".
QByteArray charsetFromContent(const QByteArray& content)
{
    qsizetype pos = 0;
    for (;;) {
        pos = content.indexOf("charset", pos);
        if (pos < 0)
            return {};
        pos += 7;
        while (pos < content.size() && isSpace(content[pos]))
            ++pos;
        if (pos < content.size() && content[pos] == '=')
            break;
    }
    ++pos;
    while (pos < content.size() && isSpace(content[pos]))
        ++pos;
    if (pos >= content.size())
        return {};
    const char quote = content[pos];
    if (quote == '"' || quote == '\'') {
        const qsizetype end = content.indexOf(quote, pos + 1);
        return end < 0 ? QByteArray() : content.mid(pos + 1, end - pos - 1);
    }
    qsizetype end = pos;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
        ++end;
    return content.mid(pos, end - pos);
}

// A <meta> tag's charset, with the scan just past "<meta".
PageEncoding metaTagCharset(Scan& scan)
{
    QByteArray name, value;
    QList<QByteArray> seen;
    bool gotPragma = false;
    enum
    {
        Unset,
        NeedPragma,
        NoPragma
    } need = Unset;
    PageEncoding charset = PageEncoding::Unknown;
    bool charsetFound = false;
    while (scan.attribute(name, value)) {
        if (seen.contains(name))
            continue;
        seen.append(name);
        if (name == "http-equiv" && value == "content-type") {
            gotPragma = true;
        } else if (name == "content" && !charsetFound) {
            const QByteArray label = charsetFromContent(value);
            if (!label.isEmpty()) {
                charset = encodingForLabel(label);
                charsetFound = true;
                need = NeedPragma;
            }
        } else if (name == "charset") {
            charset = encodingForLabel(value);
            charsetFound = true;
            need = NoPragma;
        }
    }
    if (need == Unset || (need == NeedPragma && !gotPragma))
        return PageEncoding::Unknown;
    if (charset == PageEncoding::Utf16LE || charset == PageEncoding::Utf16BE)
        return PageEncoding::Utf8;
    return charset;
}

} // namespace

PageEncoding encodingForLabel(QByteArray label)
{
    label = label.trimmed().toLower();
    for (const Label& l : kLabels) {
        if (std::string_view(label.constData(), size_t(label.size())) == l.name)
            return l.encoding;
    }
    return PageEncoding::Unknown;
}

PageEncoding metaCharset(const QByteArray& body)
{
    Scan scan(QByteArrayView(body).first(qMin<qsizetype>(body.size(), 1024)));
    while (!scan.atEnd()) {
        if (scan.startsWithNoCase("<!--")) {
            scan.skip(2);
            scan.skipPast("-->");
        } else if (scan.startsWithNoCase("<meta") && (isSpace(scan.at(5)) || scan.at(5) == '/')) {
            scan.skip(5);
            const PageEncoding found = metaTagCharset(scan);
            if (found != PageEncoding::Unknown)
                return found;
        } else if (scan.at() == '<' && (isAsciiLetter(scan.at(1)) ||
                                        (scan.at(1) == '/' && isAsciiLetter(scan.at(2))))) {
            while (!scan.atEnd() && !isSpace(scan.at()) && scan.at() != '>')
                scan.skip();
            QByteArray name, value;
            while (scan.attribute(name, value)) {
            }
        } else if (scan.startsWithNoCase("<!") || scan.startsWithNoCase("</") ||
                   scan.startsWithNoCase("<?")) {
            scan.skipPast(">");
        } else {
            scan.skip();
        }
    }
    return PageEncoding::Unknown;
}

namespace {

struct Choice
{
    PageEncoding encoding;
    qsizetype bomSize;
};

// What the body is read as, and how long its byte-order mark is.
Choice chooseEncoding(const QByteArray& body, const QByteArray& headerCharset, bool html)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return {PageEncoding::Utf8, 3};
    if (body.startsWith("\xFE\xFF"))
        return {PageEncoding::Utf16BE, 2};
    if (body.startsWith("\xFF\xFE"))
        return {PageEncoding::Utf16LE, 2};
    PageEncoding encoding = encodingForLabel(headerCharset);
    if (encoding == PageEncoding::Unknown && html)
        encoding = metaCharset(body);
    if (encoding == PageEncoding::Unknown)
        encoding = body.isValidUtf8() ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    return {encoding, 0};
}

} // namespace

QString decodePage(const QByteArray& body, const QByteArray& headerCharset, bool html)
{
    const Choice choice = chooseEncoding(body, headerCharset, html);
    const QByteArrayView bytes = QByteArrayView(body).sliced(choice.bomSize);
    switch (choice.encoding) {
    case PageEncoding::Utf16LE:
        return decodeWith(QStringConverter::Utf16LE, bytes);
    case PageEncoding::Utf16BE:
        return decodeWith(QStringConverter::Utf16BE, bytes);
    case PageEncoding::Windows1252:
        return decodeWindows1252(bytes);
    case PageEncoding::Utf8:
    case PageEncoding::Unknown:
        break;
    }
    return decodeWith(QStringConverter::Utf8, bytes);
}

QByteArray decodePageToUtf8(const QByteArray& body, const QByteArray& headerCharset, bool html)
{
    const Choice choice = chooseEncoding(body, headerCharset, html);
    if (choice.encoding == PageEncoding::Utf8 && choice.bomSize == 0 && body.isValidUtf8())
        return body;
    return decodePage(body, headerCharset, html).toUtf8();
}
