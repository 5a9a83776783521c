#pragma once

#include <QByteArray>

// Bounds on what an HTML page makes the parser do, set before it parses. libxml2's HTML
// parser keeps its open elements on a stack of its own (no recursion, no tree), but every
// end tag and every implied close looks through that stack: a page of 20,000 unclosed
// <div> and 20,000 stray end tags took it 0.6 s, and the cost grows with the square of
// the depth. A cheap scan follows the HTML standard's tree-building rules closely enough
// to know an upper bound of the depth and of the elements opened, and removes the start
// tags past the bounds (their text stays); scripts and styles, left out of the text
// anyway, go before parsing. The bounds were first set for gumbo, whose tree builder also
// reconstructs unclosed formatting elements; they hold for libxml2 as well (the fuzz
// target checks the depth libxml2 reaches on a bounded page).
struct HtmlBounds
{
    int maxDepth = 512;           // open elements, as browsers bound their trees
    int maxActiveFormatting = 16; // unclosed formatting elements (b, i, font...) at once
    qsizetype maxElements = 0;    // elements built in all; 0: 20,000 + one per 24 bytes
};

struct BoundedHtml
{
    QByteArray html;           // what the parser gets (shares the page when nothing is cut)
    qsizetype removedTags = 0; // tags left out or closed early to keep the bounds
};

// `html` is UTF-8 (or any ASCII-compatible encoding).
[[nodiscard]] BoundedHtml boundHtml(const QByteArray& html, const HtmlBounds& bounds = {});
