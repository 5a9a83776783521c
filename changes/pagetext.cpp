#include "pagetext.h"

#include "htmlbounds.h"
#include "pagecharset.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

enum class BodyKind
{
    Html,
    Text,
    NotText
};

bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Bytes that plain text never holds (the binary bytes of browsers' content sniffing),
// and the signatures of common files that are not text.
bool looksBinary(const QByteArray& body)
{
    const QByteArrayView bytes(body);
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE"))
        return false; // UTF-16 text
    for (const char* signature :
         {"%PDF-", "%!PS-Adobe-", "PK\x03\x04", "\x1F\x8B\x08", "Rar!\x1A\x07", "\x89PNG", "GIF87a",
          "GIF89a", "\xFF\xD8\xFF", "OggS", "7z\xBC\xAF"}) {
        if (bytes.startsWith(signature))
            return true;
    }
    for (const char c : bytes.first(qMin<qsizetype>(bytes.size(), 1445))) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x08 || b == 0x0B || (b >= 0x0E && b <= 0x1A) || (b >= 0x1C && b <= 0x1F))
            return true;
    }
    return false;
}

// Whether a body of no stated type starts as HTML does (the tags browsers sniff).
bool looksLikeHtml(const QByteArray& body)
{
    qsizetype pos = body.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < body.size() && isSpaceByte(body[pos]))
        ++pos;
    const QByteArrayView rest = QByteArrayView(body).sliced(pos);
    if (rest.startsWith("<!--"))
        return true;
    for (const char* tag :
         {"<!doctype html", "<html", "<head", "<script", "<iframe", "<h1", "<div", "<font",
          "<table", "<a", "<style", "<title", "<b", "<body", "<br", "<p"}) {
        const qsizetype n = qsizetype(qstrlen(tag));
        if (rest.size() > n && rest.first(n).compare(tag, Qt::CaseInsensitive) == 0 &&
            (isSpaceByte(rest[n]) || rest[n] == '>'))
            return true;
    }
    return false;
}

BodyKind bodyKind(const QByteArray& mediaType, const QByteArray& body)
{
    if (mediaType == "text/html" || mediaType == "application/xhtml+xml")
        return BodyKind::Html;
    const bool text = mediaType.startsWith("text/") || mediaType == "application/json" ||
                      mediaType.endsWith("+json") || mediaType.endsWith("/xml") ||
                      mediaType.endsWith("+xml") || mediaType == "application/javascript" ||
                      mediaType == "application/ecmascript" ||
                      mediaType == "application/x-javascript";
    if (text)
        return looksBinary(body) ? BodyKind::NotText : BodyKind::Text;
    const bool unknown = mediaType.isEmpty() || mediaType == "application/octet-stream" ||
                         mediaType == "unknown/unknown" || mediaType == "application/unknown" ||
                         mediaType == "*/*";
    if (!unknown || looksBinary(body))
        return BodyKind::NotText;
    return looksLikeHtml(body) ? BodyKind::Html : BodyKind::Text;
}

// Lines as a reader sees them: white space collapsed, empty lines left out.
class Lines
{
public:
    void text(QUtf8StringView utf8, bool pre)
    {
        const QString s = utf8.toString();
        for (const QChar c : s) {
            if (pre && c == u'\n') {
                end();
            } else if (c.isSpace()) {
                m_space = true;
            } else if (c.category() != QChar::Other_Control) {
                if (m_space && !m_line.isEmpty() && !m_line.endsWith(u'\t'))
                    m_line += u' ';
                m_space = false;
                m_line += c;
            }
        }
    }
    // A table cell: cells of a row share its line, a tab apart.
    void cell()
    {
        if (!m_line.isEmpty() && !m_line.endsWith(u'\t'))
            m_line += u'\t';
        m_space = false;
    }
    void end()
    {
        while (!m_line.isEmpty() && m_line.back().isSpace())
            m_line.chop(1);
        if (!m_line.isEmpty())
            m_lines.append(m_line);
        m_line.clear();
        m_space = false;
    }
    QStringList take()
    {
        end();
        return std::move(m_lines);
    }

private:
    QStringList m_lines;
    QString m_line;
    bool m_space = false;
};

using Names = std::unordered_set<std::string_view>;

// Elements whose content a reader does not see. libxml2 gives the text of scripts and
// styles through cdataBlock(), which is not listened to; the others hold markup.
const Names kLeftOut{"head",     "title",  "script",  "style",   "template",
                     "noscript", "iframe", "noembed", "noframes"};

// Elements that stand on lines of their own.
const Names kBlocks{"html",    "body",     "address",   "article",    "aside",   "blockquote",
                    "caption", "center",   "dd",        "details",    "dir",     "div",
                    "dl",      "dt",       "fieldset",  "figcaption", "figure",  "footer",
                    "form",    "frameset", "h1",        "h2",         "h3",      "h4",
                    "h5",      "h6",       "header",    "hgroup",     "hr",      "legend",
                    "li",      "listing",  "main",      "menu",       "nav",     "ol",
                    "option",  "p",        "plaintext", "pre",        "section", "summary",
                    "table",   "tbody",    "textarea",  "tfoot",      "thead",   "tr",
                    "ul",      "xmp",      "br"};

// Elements whose line breaks are kept.
const Names kPre{"pre", "listing", "textarea", "plaintext", "xmp"};

// What the parser's events build: lines, and what the open elements say about the text.
// libxml2 closes every element it opens (also those closed implicitly), so a stack of the
// open elements' roles follows the page's structure.
struct Reader
{
    Lines lines;
    std::vector<unsigned char> open; // per open element: kHidden | kPreformatted
    int hidden = 0;
    int pre = 0;
    static constexpr unsigned char kHidden = 1;
    static constexpr unsigned char kPreformatted = 2;

    void start(std::string_view name)
    {
        unsigned char role = 0;
        if (kLeftOut.contains(name))
            role |= kHidden;
        if (kPre.contains(name))
            role |= kPreformatted;
        open.push_back(role);
        hidden += (role & kHidden) ? 1 : 0;
        pre += (role & kPreformatted) ? 1 : 0;
        if (hidden > 0)
            return;
        if (kBlocks.contains(name))
            lines.end();
        else if (name == "td" || name == "th")
            lines.cell();
    }
    void end(std::string_view name)
    {
        if (open.empty())
            return;
        const unsigned char role = open.back();
        open.pop_back();
        if (hidden == 0 && kBlocks.contains(name))
            lines.end();
        hidden -= (role & kHidden) ? 1 : 0;
        pre -= (role & kPreformatted) ? 1 : 0;
    }
    void text(const xmlChar* utf8, int length)
    {
        if (hidden == 0)
            lines.text(QUtf8StringView(reinterpret_cast<const char*>(utf8), length), pre > 0);
    }
};

Reader& readerOf(void* context)
{
    return *static_cast<Reader*>(context);
}

std::string_view nameOf(const xmlChar* name)
{
    return name ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
}

// The parser's events that make the text; everything else (comments, the content of
// scripts and styles, processing instructions, errors) is not listened to.
xmlSAXHandler readerEvents()
{
    xmlSAXHandler events{};
    events.initialized = 1;
    events.startElement = [](void* context, const xmlChar* name, const xmlChar**) {
        readerOf(context).start(nameOf(name));
    };
    events.endElement = [](void* context, const xmlChar* name) {
        readerOf(context).end(nameOf(name));
    };
    events.characters = [](void* context, const xmlChar* text, int length) {
        readerOf(context).text(text, length);
    };
    events.ignorableWhitespace = events.characters;
    return events;
}

// libxml2 sets up its globals once, before threads use it: at the program's start, on the
// main thread.
const bool kParserReady = [] {
    xmlInitParser();
    return true;
}();

QStringList htmlLines(const QByteArray& body, const PageType& type)
{
    Q_ASSERT(kParserReady);
    QByteArray utf8 = decodePageToUtf8(body, type.charset, true);
    // Browsers drop NUL bytes from a page's text; libxml2 would read them as spaces.
    if (utf8.contains('\0'))
        utf8.replace('\0', QByteArrayView());
    const BoundedHtml bounded = boundHtml(utf8);
    if (bounded.removedTags > 0)
        utf8.clear(); // the parser reads the bounded copy

    Reader reader;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    if (context == nullptr)
        return {};
    *context->sax = readerEvents();
    context->userData = &reader;
    // The page is already UTF-8: a charset it declares must not make libxml2 decode it
    // again (nor need iconv to do so).
    htmlCtxtReadMemory(context, bounded.html.constData(), int(bounded.html.size()), nullptr,
                       "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    htmlFreeParserCtxt(context);
    return reader.lines.take();
}

QStringList textLines(const QByteArray& body, const PageType& type)
{
    const QString text = decodePage(body, type.charset, false);
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

} // namespace

PageType PageType::fromContentType(const QByteArray& contentTypeValue)
{
    PageType type;
    const QList<QByteArray> parts = contentTypeValue.split(';');
    type.mediaType = parts.value(0).trimmed().toLower();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype eq = parts[i].indexOf('=');
        if (eq < 0 || parts[i].left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parts[i].mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        type.charset = value.trimmed().toLower();
        break;
    }
    return type;
}

QByteArray PageType::contentType() const
{
    if (charset.isEmpty())
        return mediaType;
    return mediaType + "; charset=" + charset;
}

PageText readPageText(const QByteArray& body, const PageType& type)
{
    if (body.size() > kPageTextMaxBytes)
        return {PageText::Kind::TooLarge, {}};
    switch (bodyKind(type.mediaType, body)) {
    case BodyKind::Html:
        return {PageText::Kind::Html, htmlLines(body, type)};
    case BodyKind::Text:
        return {PageText::Kind::Text, textLines(body, type)};
    case BodyKind::NotText:
        break;
    }
    return {PageText::Kind::NotText, {}};
}
