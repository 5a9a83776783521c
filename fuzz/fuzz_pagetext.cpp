// Any bytes as a page, under one of a few content types (the first byte chooses): reading
// its text never crashes or hangs, lines are never empty nor padded and hold no control
// characters but a table's tabs, and a body that is not text has no lines. For HTML the
// bounds hold: libxml2's HTML parser, reading the bounded page, never has more than twice
// the depth the scan keeps open at once, whatever the markup (every end tag makes it look
// through its open elements: depth is what its time grows with).
#include "htmlbounds.h"
#include "pagetext.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <libxml/HTMLparser.h>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "page text: %s\n", what);
        std::abort();
    }
}

constexpr std::array kTypes{"text/html",
                            "text/html; charset=iso-8859-1",
                            "text/html; charset=utf-16",
                            "",
                            "text/plain",
                            "application/json",
                            "image/png",
                            "application/octet-stream"};

struct Depth
{
    int open = 0;
    int deepest = 0;
};

int parsedDepth(const QByteArray& html)
{
    xmlSAXHandler events{};
    events.initialized = 1;
    events.startElement = [](void* context, const xmlChar*, const xmlChar**) {
        auto* depth = static_cast<Depth*>(context);
        depth->deepest = std::max(depth->deepest, ++depth->open);
    };
    events.endElement = [](void* context, const xmlChar*) { --static_cast<Depth*>(context)->open; };
    Depth depth;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    *context->sax = events;
    context->userData = &depth;
    htmlCtxtReadMemory(context, html.constData(), int(html.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    htmlFreeParserCtxt(context);
    return depth.deepest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const PageType type = PageType::fromContentType(kTypes[data[0] % kTypes.size()]);
    const QByteArray body(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const PageText text = readPageText(body, type);
    if (text.kind == PageText::Kind::NotText || text.kind == PageText::Kind::TooLarge)
        check(text.lines.isEmpty(), "lines of a body that is not read");
    if (text.kind == PageText::Kind::Html) {
        for (const QString& line : text.lines) {
            check(!line.isEmpty(), "an empty line");
            check(!line.front().isSpace() && !line.back().isSpace(), "a padded line");
            for (const QChar c : line)
                check(c == u'\t' || c.category() != QChar::Other_Control, "a control character");
        }

        // Small bounds, so that short inputs reach them.
        HtmlBounds bounds;
        bounds.maxDepth = 24;
        bounds.maxActiveFormatting = 4;
        bounds.maxElements = 400;
        // As readPageText() does: libxml2 reads a NUL byte as the end of the page.
        const BoundedHtml bounded =
            boundHtml(QByteArray(body).replace('\0', QByteArrayView()), bounds);
        const int depth = parsedDepth(bounded.html);
        if (depth > 2 * bounds.maxDepth + 4) {
            std::fprintf(stderr, "depth %d\n", depth);
            check(false, "the bounded page is deeper than its bound");
        }
    }
    return 0;
}
