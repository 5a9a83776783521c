#pragma once

#include <QByteArray>

// Bounds on what an HTML page makes the parser build, set before it parses: gumbo's tree
// builder slows down with the depth of the open elements (every start tag looks through
// them), reconstructs unclosed formatting elements again and again, and frees its tree
// recursively. A cheap scan follows the tree builder's main rules closely enough to know
// an upper bound of the depth and of the elements built, and removes the start tags past
// the bounds (their text stays); scripts and styles, left out of the text anyway, go
// before parsing.
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
