// Any bytes as a page, under one of a few content types (the first byte chooses): reading
// its text never crashes or hangs, lines are never empty nor padded and hold no control
// characters but a table's tabs, and a body that is not text has no lines. For HTML the
// bounds hold: the tree gumbo builds from the bounded page is at most twice as deep as
// the depth the scan keeps, whatever the markup.
#include "htmlbounds.h"
#include "pagetext.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gumbo.h>
#include <vector>

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

int treeDepth(const GumboNode* root)
{
    struct Frame
    {
        const GumboNode* node;
        int depth;
    };
    int deepest = 0;
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        const Frame frame = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, frame.depth);
        if (frame.node->type != GUMBO_NODE_ELEMENT && frame.node->type != GUMBO_NODE_TEMPLATE &&
            frame.node->type != GUMBO_NODE_DOCUMENT)
            continue;
        const GumboVector& children = frame.node->type == GUMBO_NODE_DOCUMENT
                                          ? frame.node->v.document.children
                                          : frame.node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            stack.push_back({static_cast<const GumboNode*>(children.data[i]), frame.depth + 1});
    }
    return deepest;
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
        const BoundedHtml bounded = boundHtml(body, bounds);
        GumboOutput* output = gumbo_parse(bounded.html.constData());
        const int depth = treeDepth(output->document);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        if (depth > 2 * bounds.maxDepth + 4) {
            std::fprintf(stderr, "depth %d\n", depth);
            check(false, "the bounded page is deeper than its bound");
        }
    }
    return 0;
}
