#include "pagetext.h"

#include "htmlbounds.h"
#include "pagecharset.h"

#include <gumbo.h>
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
    void text(const char* utf8, bool pre)
    {
        const QString s = QString::fromUtf8(utf8);
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

bool isLeftOut(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
        return true;
    default:
        return false;
    }
}

bool endsLines(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_XMP:
        return true;
    default:
        return false;
    }
}

bool keepsLineBreaks(GumboTag tag)
{
    return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_TEXTAREA ||
           tag == GUMBO_TAG_PLAINTEXT || tag == GUMBO_TAG_XMP;
}

// The text of the parsed tree, walked with a stack of its own: a page's depth is bounded
// before parsing, and this must not depend on it.
QStringList treeText(const GumboNode* document)
{
    struct Frame
    {
        const GumboNode* node;
        unsigned next;
    };
    Lines lines;
    int pre = 0;
    std::vector<Frame> stack{{document, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const GumboVector& children = frame.node->type == GUMBO_NODE_DOCUMENT
                                          ? frame.node->v.document.children
                                          : frame.node->v.element.children;
        if (frame.next >= children.length) {
            if (frame.node->type == GUMBO_NODE_ELEMENT) {
                const GumboTag tag = frame.node->v.element.tag;
                if (endsLines(tag))
                    lines.end();
                if (keepsLineBreaks(tag))
                    --pre;
            }
            stack.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[frame.next++]);
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            lines.text(child->v.text.text, pre > 0);
            break;
        case GUMBO_NODE_ELEMENT: {
            const GumboTag tag = child->v.element.tag;
            if (isLeftOut(tag))
                break;
            if (tag == GUMBO_TAG_BR || endsLines(tag))
                lines.end();
            else if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
                lines.cell();
            if (keepsLineBreaks(tag))
                ++pre;
            stack.push_back({child, 0}); // `frame` is not used after this
            break;
        }
        default: // comments, templates
            break;
        }
    }
    return lines.take();
}

QStringList htmlLines(const QByteArray& body, const PageType& type)
{
    QByteArray utf8 = decodePageToUtf8(body, type.charset, true);
    const BoundedHtml bounded = boundHtml(utf8);
    if (bounded.removedTags > 0)
        utf8.clear(); // the parser reads the bounded copy
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // errors are not read: do not keep them
    GumboOutput* output =
        gumbo_parse_with_options(&options, bounded.html.constData(), size_t(bounded.html.size()));
    QStringList lines = treeText(output->document);
    gumbo_destroy_output(&options, output);
    return lines;
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
