#include "htmlbounds.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using Names = std::unordered_set<std::string_view>;

// The HTML standard's element categories the tree builder's rules turn on.
const Names kVoid{"area",  "base",  "basefont", "bgsound", "br",    "col",    "embed",
                  "frame", "hr",    "image",    "img",     "input", "keygen", "link",
                  "meta",  "param", "source",   "track",   "wbr"};
const Names kFormatting{"a",    "b", "big",   "code",   "em",     "font", "i",
                        "nobr", "s", "small", "strike", "strong", "tt",   "u"};
const Names kSpecial{"address",
                     "applet",
                     "area",
                     "article",
                     "aside",
                     "base",
                     "basefont",
                     "bgsound",
                     "blockquote",
                     "body",
                     "br",
                     "button",
                     "caption",
                     "center",
                     "col",
                     "colgroup",
                     "dd",
                     "details",
                     "dir",
                     "div",
                     "dl",
                     "dt",
                     "embed",
                     "fieldset",
                     "figcaption",
                     "figure",
                     "footer",
                     "form",
                     "frame",
                     "frameset",
                     "h1",
                     "h2",
                     "h3",
                     "h4",
                     "h5",
                     "h6",
                     "head",
                     "header",
                     "hgroup",
                     "hr",
                     "html",
                     "iframe",
                     "img",
                     "input",
                     "keygen",
                     "li",
                     "link",
                     "listing",
                     "main",
                     "marquee",
                     "menu",
                     "meta",
                     "nav",
                     "noembed",
                     "noframes",
                     "noscript",
                     "object",
                     "ol",
                     "p",
                     "param",
                     "plaintext",
                     "pre",
                     "script",
                     "section",
                     "select",
                     "source",
                     "style",
                     "summary",
                     "table",
                     "tbody",
                     "td",
                     "template",
                     "textarea",
                     "tfoot",
                     "th",
                     "thead",
                     "title",
                     "tr",
                     "track",
                     "ul",
                     "wbr",
                     "xmp",
                     "mi",
                     "mo",
                     "mn",
                     "ms",
                     "mtext",
                     "annotation-xml",
                     "foreignobject",
                     "desc"};
// Where a search for an open element stops ("has an element in scope").
const Names kScope{"applet",         "caption",       "html", "table", "td", "th", "marquee",
                   "object",         "template",      "mi",   "mo",    "mn", "ms", "mtext",
                   "annotation-xml", "foreignobject", "desc", "title"};
// Start tags that first close an open <p>.
const Names kClosesP{
    "address", "article",   "aside",    "blockquote", "center", "details", "dialog",  "dir",
    "div",     "dl",        "fieldset", "figcaption", "figure", "footer",  "form",    "header",
    "hgroup",  "main",      "menu",     "nav",        "ol",     "p",       "section", "summary",
    "ul",      "h1",        "h2",       "h3",         "h4",     "h5",      "h6",      "pre",
    "listing", "plaintext", "xmp",      "li",         "dd",     "dt"};
// End tags that close their element only when it is in scope.
const Names kScopedEnd{
    "address",  "article", "aside", "blockquote", "button",     "center", "details", "dialog",
    "dir",      "div",     "dl",    "fieldset",   "figcaption", "figure", "footer",  "header",
    "hgroup",   "listing", "main",  "menu",       "nav",        "ol",     "pre",     "section",
    "summary",  "ul",      "form",  "applet",     "marquee",    "object", "table",   "caption",
    "colgroup", "tbody",   "tfoot", "thead",      "tr",         "td",     "th",      "select",
    "template", "dd",      "dt"};
// End tags of a table's parts, closed when open within the table.
const Names kTableParts{"table", "caption", "colgroup", "tbody", "tfoot",
                        "thead", "tr",      "td",       "th"};
// Elements that put a marker in the list of active formatting elements.
const Names kMarker{"applet", "object", "marquee", "template", "td", "th", "caption"};
// In SVG or MathML, these start tags go back to HTML.
const Names kBreakout{
    "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
    "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
    "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
    "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
    "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"};
// Where SVG or MathML holds HTML again.
const Names kIntegrationPoint{"foreignobject", "desc",          "title", "mi", "mo", "mn", "ms",
                              "mtext",         "annotation-xml"};
// Special start tags before which unclosed formatting elements are still reopened.
const Names kReopensFormatting{"applet", "marquee", "object", "br",     "embed",  "img",
                               "input",  "wbr",     "area",   "keygen", "select", "image"};
// Their text is not markup.
const Names kRawText{"xmp", "iframe", "noembed", "noframes", "textarea", "title"};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isHeading(std::string_view n)
{
    return n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6';
}

namespace Category {
enum : unsigned
{
    Special = 1,
    Scope = 2,
    FormattingElement = 4,
    Marker = 8,
    Heading = 16,
};
} // namespace Category
using namespace Category;

unsigned categories(std::string_view name)
{
    const auto flag = [](bool is, unsigned category) { return is ? category : 0u; };
    return flag(kSpecial.count(name), Special) | flag(kScope.count(name), Scope) |
           flag(kFormatting.count(name), FormattingElement) | flag(kMarker.count(name), Marker) |
           flag(isHeading(name), Heading);
}

struct Element
{
    std::string name;
    int id;
    bool foreign;     // SVG or MathML
    bool integration; // SVG or MathML that holds HTML
    unsigned categories;
};

struct Formatting
{
    std::string name; // empty: a marker
    std::string attributes;
    int id = -1;
    bool open = true; // on the stack of open elements
};

class Bounder
{
public:
    Bounder(const QByteArray& html, const HtmlBounds& bounds)
        : m_in(html), m_size(html.size()), m_bounds(bounds)
    {
        if (m_bounds.maxElements <= 0)
            m_bounds.maxElements = 20'000 + m_size / 24;
    }

    BoundedHtml run()
    {
        qsizetype pos = 0;
        while (pos < m_size) {
            const qsizetype lt = m_in.indexOf('<', pos);
            if (lt < 0) {
                text(pos);
                break;
            }
            if (lt > pos)
                text(pos);
            pos = markup(lt);
        }
        if (!m_changed)
            return {m_in, 0};
        m_out.append(QByteArrayView(m_in).sliced(m_copied));
        return {m_out, m_removed};
    }

private:
    char at(qsizetype i) const { return i < m_size ? m_in[i] : '\0'; }

    qsizetype skipPast(qsizetype from, const char* what) const
    {
        const qsizetype found = m_in.indexOf(what, from);
        return found < 0 ? m_size : found + qsizetype(qstrlen(what));
    }

    // The page's bytes [from, to) do not reach the parser.
    void cut(qsizetype from, qsizetype to, bool bound = true)
    {
        m_out.append(QByteArrayView(m_in).sliced(m_copied, from - m_copied));
        m_copied = to;
        m_changed = true;
        m_removed += bound ? 1 : 0;
    }

    void insert(qsizetype at, const std::string& what)
    {
        m_out.append(QByteArrayView(m_in).sliced(m_copied, at - m_copied));
        m_out.append(what.data(), qsizetype(what.size()));
        m_copied = at;
        m_changed = true;
        ++m_removed;
    }

    bool inForeign() const
    {
        return !m_stack.empty() && m_stack.back().foreign && !m_stack.back().integration;
    }

    qsizetype depth() const { return qsizetype(m_stack.size()) + m_tables; }

    // Markup at `lt`; returns where the scan goes on.
    qsizetype markup(qsizetype lt)
    {
        m_tagStart = lt;
        const char c = at(lt + 1);
        if (c == '!') {
            const QByteArrayView rest = QByteArrayView(m_in).sliced(lt);
            if (rest.startsWith("<!--")) {
                // A comment ends at "-->" or "--!>" ("<!-->" is a whole one).
                for (qsizetype from = lt + 2;;) {
                    const qsizetype dashes = m_in.indexOf("--", from);
                    if (dashes < 0)
                        return m_size;
                    if (at(dashes + 2) == '>')
                        return dashes + 3;
                    if (at(dashes + 2) == '!' && at(dashes + 3) == '>')
                        return dashes + 4;
                    from = dashes + 1;
                }
            }
            if (inForeign() && rest.startsWith("<![CDATA["))
                return skipPast(lt + 9, "]]>");
            return skipPast(lt + 2, ">");
        }
        if (c == '?')
            return skipPast(lt + 2, ">");
        if (c == '/') {
            if (isLetter(at(lt + 2)))
                return endTag(lt + 2);
            return skipPast(lt + 2, ">");
        }
        if (isLetter(c))
            return startTag(lt + 1);
        text(lt);
        return lt + 1;
    }

    // Reads a tag's name at `pos` and its attributes up to its '>'.
    qsizetype readTag(qsizetype pos, std::string& name, bool& selfClosing)
    {
        name.clear();
        for (; pos < m_size && !isSpace(m_in[pos]) && m_in[pos] != '/' && m_in[pos] != '>'; ++pos) {
            const char c = m_in[pos];
            name += (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        }
        m_attributesStart = pos;
        selfClosing = false;
        while (pos < m_size) {
            const char c = m_in[pos];
            if (c == '>') {
                m_attributesEnd = pos;
                return pos + 1;
            }
            if (c == '/') {
                selfClosing = at(pos + 1) == '>';
                ++pos;
                continue;
            }
            if (isSpace(c)) {
                ++pos;
                continue;
            }
            // An attribute: its name (a first '=' belongs to it), then perhaps a value.
            ++pos;
            while (pos < m_size && !isSpace(m_in[pos]) && m_in[pos] != '/' && m_in[pos] != '>' &&
                   m_in[pos] != '=')
                ++pos;
            while (pos < m_size && isSpace(m_in[pos]))
                ++pos;
            if (at(pos) != '=')
                continue;
            ++pos;
            while (pos < m_size && isSpace(m_in[pos]))
                ++pos;
            const char quote = at(pos);
            if (quote == '"' || quote == '\'') {
                const qsizetype end = m_in.indexOf(quote, pos + 1);
                pos = end < 0 ? m_size : end + 1;
            } else {
                while (pos < m_size && !isSpace(m_in[pos]) && m_in[pos] != '>')
                    ++pos;
            }
        }
        return -1; // the page ends inside the tag: the parser drops it
    }

    // Just past the end tag `</name` that ends raw text from `pos`, or the page's end.
    qsizetype rawTextEnd(qsizetype pos, const std::string& name) const
    {
        for (;;) {
            const qsizetype lt = m_in.indexOf("</", pos);
            if (lt < 0)
                return m_size;
            const qsizetype n = qsizetype(name.size());
            if (QByteArrayView(m_in)
                    .sliced(lt + 2)
                    .first(qMin(n, m_size - lt - 2))
                    .compare(QByteArrayView(name.data(), n), Qt::CaseInsensitive) == 0) {
                const char after = at(lt + 2 + n);
                if (isSpace(after) || after == '/' || after == '>') {
                    const qsizetype gt = m_in.indexOf('>', lt + 2 + n);
                    return gt < 0 ? m_size : gt + 1;
                }
            }
            pos = lt + 2;
        }
    }

    qsizetype startTag(qsizetype pos)
    {
        std::string name;
        bool selfClosing = false;
        const qsizetype end = readTag(pos, name, selfClosing);
        if (end < 0)
            return m_size;

        if (inForeign()) {
            if (!kBreakout.count(name)) {
                // SVG or MathML: "/>" closes, and no text is raw.
                pushForeign(name, selfClosing, end);
                return end;
            }
            while (inForeign())
                pop();
        }
        if (name == "svg" || name == "math") {
            reopenFormatting(m_tagStart);
            pushForeign(name, selfClosing, end);
            return end;
        }
        if (name == "script" || name == "style") {
            // Never read as text: left out before parsing.
            const qsizetype after = rawTextEnd(end, name);
            cut(m_tagStart, after, false);
            return after;
        }
        if (name == "html" || name == "body" || name == "head")
            return end;

        if (kClosesP.count(name))
            closeP();
        if (name == "li" || name == "dd" || name == "dt") {
            for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
                const bool same =
                    name == "li" ? it->name == "li" : (it->name == "dd" || it->name == "dt");
                if (same) {
                    popTo(std::prev(it.base()));
                    break;
                }
                if ((it->categories & Special) && it->name != "address" && it->name != "div" &&
                    it->name != "p")
                    break;
            }
        } else if (isHeading(name) && !m_stack.empty() && isHeading(m_stack.back().name)) {
            pop();
        } else if ((name == "option" || name == "optgroup") && !m_stack.empty() &&
                   m_stack.back().name == "option") {
            pop();
        } else if (name == "tr" || name == "td" || name == "th") {
            if (!m_stack.empty() && (m_stack.back().name == "td" || m_stack.back().name == "th"))
                pop();
            if (name == "tr" && !m_stack.empty() && m_stack.back().name == "tr")
                pop();
        } else if (name == "a") {
            for (auto it = m_active.rbegin(); it != m_active.rend() && !it->name.empty(); ++it) {
                if (it->name == "a") {
                    endTag(name);
                    break;
                }
            }
        } else if (name == "nobr" && inScope("nobr")) {
            endTag(name);
        }

        const bool formatting = kFormatting.count(name) > 0;
        if (formatting || kReopensFormatting.count(name) || !kSpecial.count(name))
            reopenFormatting(m_tagStart);
        if (kVoid.count(name)) {
            ++m_elements;
            return end;
        }
        if (overBounds() || (formatting && activeFormatting() >= m_bounds.maxActiveFormatting)) {
            cut(m_tagStart, end);
            return end; // even a textarea's text: without its start tag it is markup
        }
        push(name, false);
        if (name == "plaintext")
            return m_size; // the rest of the page is its text
        if (kRawText.count(name)) {
            pop();
            return rawTextEnd(end, name);
        }
        return end;
    }

    // An end tag the parser reads as an element of its own.
    void builtByEndTag()
    {
        if (m_elements >= m_bounds.maxElements)
            cut(m_tagStart, m_tagEnd);
        else
            ++m_elements;
    }

    bool overBounds() const
    {
        return depth() >= m_bounds.maxDepth || m_elements >= m_bounds.maxElements;
    }

    void pushForeign(const std::string& name, bool selfClosing, qsizetype end)
    {
        if (overBounds())
            cut(m_tagStart, end);
        else if (selfClosing)
            ++m_elements;
        else
            push(name, true);
    }

    qsizetype endTag(qsizetype pos)
    {
        std::string name;
        bool selfClosing = false;
        const qsizetype end = readTag(pos, name, selfClosing);
        if (end < 0)
            return m_size;
        m_tagEnd = end;
        endTag(name);
        return end;
    }

    void endTag(const std::string& name)
    {
        // In SVG or MathML: the nearest foreign element of that name.
        for (auto it = m_stack.rbegin(); it != m_stack.rend() && it->foreign; ++it) {
            if (it->name == name) {
                popTo(std::prev(it.base()));
                return;
            }
        }
        if (name == "p") {
            if (!popInScope("p", {"button"}))
                builtByEndTag(); // an empty paragraph
            return;
        }
        if (name == "br") {
            reopenFormatting(m_tagStart);
            builtByEndTag(); // a line break
            return;
        }
        if (name == "li") {
            popInScope("li", {"ol", "ul"});
            return;
        }
        if (isHeading(name)) {
            for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
                if (it->categories & Heading) {
                    popTo(std::prev(it.base()));
                    return;
                }
                if (it->categories & Scope)
                    return;
            }
            return;
        }
        if (kTableParts.count(name)) {
            // Table scope: only a table or a template stops the search.
            if (!isOpen(name))
                return;
            for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
                if (it->name == name) {
                    popTo(std::prev(it.base()));
                    return;
                }
                if (it->name == "table" || it->name == "template" || it->foreign)
                    return;
            }
            return;
        }
        if (kScopedEnd.count(name)) {
            popInScope(name, {});
            return;
        }
        if (kFormatting.count(name) && endFormatting(name))
            return;
        // Any other end tag: the nearest element of that name, unless a special one is nearer.
        if (!isOpen(name))
            return;
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->name == name) {
                popTo(std::prev(it.base()));
                return;
            }
            if (it->categories & Special)
                return;
        }
    }

    // The end tag of a formatting element; false when none is active (any other end tag).
    bool endFormatting(const std::string& name)
    {
        auto entry = m_active.end();
        for (auto it = m_active.end(); it != m_active.begin();) {
            --it;
            if (it->name.empty())
                break;
            if (it->name == name) {
                entry = it;
                break;
            }
        }
        if (entry == m_active.end())
            return false;
        if (!entry->open) {
            --m_missing;
            m_active.erase(entry);
            return true;
        }
        const int id = entry->id;
        bool specialAbove = false;
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->id == id) {
                if (specialAbove) {
                    // The adoption agency moves and clones elements: the depth stays, up
                    // to a few dozen elements are built.
                    m_elements += 24;
                } else {
                    m_active.erase(entry);
                    popTo(std::prev(it.base()));
                }
                return true;
            }
            if (it->categories & Scope)
                return true; // not in scope: ignored
            specialAbove = specialAbove || (it->categories & Special);
        }
        --m_missing; // not open after all
        m_active.erase(entry);
        return true;
    }

    bool isOpen(const std::string& name) const
    {
        const auto it = m_open.find(name);
        return it != m_open.end() && it->second > 0;
    }

    bool inScope(const std::string& name) const
    {
        if (!isOpen(name))
            return false;
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->name == name)
                return true;
            if (it->categories & Scope)
                return false;
        }
        return false;
    }

    bool popInScope(const std::string& name, std::initializer_list<std::string_view> more)
    {
        if (!isOpen(name))
            return false;
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->name == name) {
                popTo(std::prev(it.base()));
                return true;
            }
            if ((it->categories & Scope) ||
                std::find(more.begin(), more.end(), it->name) != more.end())
                return false;
        }
        return false;
    }

    void closeP() { popInScope("p", {"button"}); }

    void text(qsizetype at)
    {
        if (!inForeign())
            reopenFormatting(at);
    }

    int activeFormatting() const
    {
        int n = 0;
        for (auto it = m_active.rbegin(); it != m_active.rend() && !it->name.empty(); ++it)
            ++n;
        return n;
    }

    // The parser reopens formatting elements closed by the end of an element around them
    // before text and inline elements. Past the bounds they are closed in the page instead.
    void reopenFormatting(qsizetype at)
    {
        if (m_missing == 0 || m_active.empty())
            return;
        auto first = m_active.end();
        while (first != m_active.begin()) {
            auto prev = std::prev(first);
            if (prev->name.empty() || prev->open)
                break;
            first = prev;
        }
        const qsizetype count = m_active.end() - first;
        if (count == 0)
            return;
        if (m_elements + count > m_bounds.maxElements || depth() + count >= m_bounds.maxDepth) {
            std::string closing;
            for (auto it = first; it != m_active.end(); ++it)
                closing += "</" + it->name + ">";
            insert(at, closing);
            m_missing -= int(count);
            m_active.erase(first, m_active.end());
            return;
        }
        for (auto it = first; it != m_active.end(); ++it) {
            it->id = m_nextId;
            it->open = true;
            m_stack.push_back({it->name, m_nextId++, false, false, categories(it->name)});
            ++m_open[it->name];
            ++m_elements;
        }
        m_missing -= int(count);
    }

    void push(const std::string& name, bool foreign)
    {
        const bool integration = foreign && kIntegrationPoint.count(name) > 0;
        const int id = m_nextId++;
        m_stack.push_back({name, id, foreign, integration, foreign ? 0u : categories(name)});
        ++m_open[name];
        if (foreign && integration)
            m_stack.back().categories = Scope | Special;
        ++m_elements;
        if (foreign)
            return;
        if (name == "table")
            ++m_tables; // and the tbody it gets
        if (kMarker.count(name))
            m_active.push_back({});
        if (kFormatting.count(name)) {
            const std::string attributes(
                m_in.constData() + m_attributesStart,
                size_t(qMax<qsizetype>(0, m_attributesEnd - m_attributesStart)));
            // At most three alike.
            int alike = 0;
            for (auto it = m_active.end(); it != m_active.begin();) {
                --it;
                if (it->name.empty())
                    break;
                if (it->name == name && it->attributes == attributes && ++alike == 3) {
                    if (!it->open)
                        --m_missing;
                    m_active.erase(it);
                    break;
                }
            }
            m_active.push_back({name, attributes, id, true});
        }
    }

    void pop()
    {
        const Element& e = m_stack.back();
        --m_open[e.name];
        if (!e.foreign) {
            if (e.name == "table")
                --m_tables;
            if (e.categories & FormattingElement) {
                for (auto it = m_active.rbegin(); it != m_active.rend(); ++it) {
                    if (it->id == e.id) {
                        it->open = false;
                        ++m_missing;
                        break;
                    }
                }
            }
            if (e.categories & Marker) {
                while (!m_active.empty()) {
                    const Formatting f = m_active.back();
                    m_active.pop_back();
                    if (f.name.empty())
                        break;
                    if (!f.open)
                        --m_missing;
                }
            }
        }
        m_stack.pop_back();
    }

    // Pops the open elements down to and including `it`.
    void popTo(std::vector<Element>::iterator it)
    {
        const size_t keep = size_t(it - m_stack.begin());
        while (m_stack.size() > keep)
            pop();
    }

    const QByteArray& m_in;
    const qsizetype m_size;
    HtmlBounds m_bounds;
    QByteArray m_out;
    qsizetype m_copied = 0;
    qsizetype m_removed = 0;
    bool m_changed = false;
    qsizetype m_tagStart = 0;
    qsizetype m_tagEnd = 0; // of an end tag
    qsizetype m_attributesStart = 0;
    qsizetype m_attributesEnd = 0;

    std::vector<Element> m_stack;
    std::unordered_map<std::string, int> m_open; // open elements by name
    std::vector<Formatting> m_active;
    int m_missing = 0; // active formatting elements not open
    int m_tables = 0;
    int m_nextId = 0;
    qsizetype m_elements = 0;
};

} // namespace

BoundedHtml boundHtml(const QByteArray& html, const HtmlBounds& bounds)
{
    return Bounder(html, bounds).run();
}
