#include "textdiff.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringView>
#include <algorithm>
#include <dtl/dtl.hpp>
#include <vector>

namespace {

// An element of a comparison: a line or a word, with its hash so that most unequal pairs
// differ in one integer.
struct Item
{
    std::size_t hash = 0;
    QStringView text;
    bool operator==(const Item& other) const { return hash == other.hash && text == other.text; }
};

Item item(QStringView text)
{
    return {qHash(text), text};
}

// A stretch where the two sequences differ: [a0, a1) of the first against [b0, b1) of the
// second; they agree between stretches.
struct Stretch
{
    qsizetype a0, a1, b0, b1;
};

// Where the sequences differ, found cheaply: the elements found once on each side are
// anchors (the longest run of them in increasing order on both sides), and the stretches
// between anchors agree from both ends as far as they go. Most updates change a few
// places of a page, and only those places then need dtl's comparison (its run cannot be
// stopped halfway, and its memory grows with the length it compares).
std::vector<Stretch> differingStretches(const std::vector<Item>& a, const std::vector<Item>& b)
{
    // The elements by hash, each with its side and place.
    struct Entry
    {
        std::size_t hash;
        qsizetype place; // a: 0..m-1, b: m..m+n-1
    };
    const qsizetype m = qsizetype(a.size()), n = qsizetype(b.size());
    std::vector<Entry> entries;
    entries.reserve(std::size_t(m + n));
    for (qsizetype i = 0; i < m; ++i)
        entries.push_back({a[std::size_t(i)].hash, i});
    for (qsizetype j = 0; j < n; ++j)
        entries.push_back({b[std::size_t(j)].hash, m + j});
    std::sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
        return x.hash != y.hash ? x.hash < y.hash : x.place < y.place;
    });
    // Unique on both sides (a hash that two different texts share is simply not unique).
    std::vector<std::pair<qsizetype, qsizetype>> pairs; // place in a, place in b
    for (std::size_t k = 0; k + 1 < entries.size(); ++k) {
        const bool run = entries[k].hash == entries[k + 1].hash;
        const bool alone = (k == 0 || entries[k - 1].hash != entries[k].hash) &&
                           (k + 2 >= entries.size() || entries[k + 2].hash != entries[k].hash);
        if (run && alone && entries[k].place < m && entries[k + 1].place >= m) {
            const qsizetype i = entries[k].place, j = entries[k + 1].place - m;
            if (a[std::size_t(i)] == b[std::size_t(j)])
                pairs.push_back({i, j});
        }
    }
    std::sort(pairs.begin(), pairs.end());
    // The longest run of anchors increasing in b too (patience sorting).
    std::vector<qsizetype> tops, topIndex, previous(pairs.size(), -1);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto at = std::lower_bound(tops.begin(), tops.end(), pairs[k].second);
        const std::size_t pile = std::size_t(at - tops.begin());
        if (pile > 0)
            previous[k] = topIndex[pile - 1];
        if (at == tops.end()) {
            tops.push_back(pairs[k].second);
            topIndex.push_back(qsizetype(k));
        } else {
            *at = pairs[k].second;
            topIndex[pile] = qsizetype(k);
        }
    }
    std::vector<std::pair<qsizetype, qsizetype>> anchors;
    for (qsizetype k = topIndex.empty() ? -1 : topIndex.back(); k >= 0;
         k = previous[std::size_t(k)])
        anchors.push_back(pairs[std::size_t(k)]);
    std::reverse(anchors.begin(), anchors.end());
    anchors.push_back({m, n}); // the end, as an anchor that does not count

    std::vector<Stretch> stretches;
    qsizetype x = 0, y = 0;
    for (const auto& [i, j] : anchors) {
        qsizetype fx = x, fy = y;
        while (fx < i && fy < j && a[std::size_t(fx)] == b[std::size_t(fy)])
            ++fx, ++fy;
        qsizetype bx = i, by = j;
        while (bx > fx && by > fy && a[std::size_t(bx - 1)] == b[std::size_t(by - 1)])
            --bx, --by;
        if (fx < bx || fy < by)
            stretches.push_back({fx, bx, fy, by});
        x = i + 1;
        y = j + 1;
    }
    return stretches;
}

// The points of the edit graph dtl's O(NP) run visits at most when the shortest edit
// script has at most `differing` removals and additions: one per diagonal of each of its
// P + 1 passes (P counts the removals from the shorter sequence). Each costs a comparison
// and a recorded point.
qint64 workFor(qint64 m, qint64 n, qint64 differing)
{
    const qint64 delta = std::abs(n - m);
    const qint64 p = (differing - delta) / 2;
    return (p + 1) * (delta + p + 1);
}

enum class Step : char
{
    Same,
    Remove,
    Add
};

// The edit script from `a` to `b`: dtl's shortest one for each differing stretch, when
// their work together stays within `workLeft` (known before any starts), which it then
// spends; else nothing, and `removed` and `added` say what the cheap comparison found.
bool editScript(const std::vector<Item>& a, const std::vector<Item>& b, qint64& workLeft,
                std::vector<Step>& steps, qsizetype& removed, qsizetype& added)
{
    const std::vector<Stretch> stretches = differingStretches(a, b);
    qint64 work = 0;
    removed = added = 0;
    for (const Stretch& s : stretches) {
        removed += s.a1 - s.a0;
        added += s.b1 - s.b0;
        work += workFor(s.a1 - s.a0, s.b1 - s.b0, s.a1 - s.a0 + s.b1 - s.b0);
    }
    if (work > workLeft)
        return false;
    workLeft -= work;

    steps.clear();
    steps.reserve(a.size() + std::size_t(added));
    removed = added = 0;
    qsizetype x = 0;
    for (const Stretch& s : stretches) {
        steps.insert(steps.end(), std::size_t(s.a0 - x), Step::Same);
        x = s.a1;
        if (s.a0 == s.a1 || s.b0 == s.b1) {
            steps.insert(steps.end(), std::size_t(s.a1 - s.a0), Step::Remove);
            steps.insert(steps.end(), std::size_t(s.b1 - s.b0), Step::Add);
            removed += s.a1 - s.a0;
            added += s.b1 - s.b0;
            continue;
        }
        dtl::Diff<Item> diff(std::vector<Item>(a.begin() + s.a0, a.begin() + s.a1),
                             std::vector<Item>(b.begin() + s.b0, b.begin() + s.b1));
        diff.compose();
        for (const auto& e : diff.getSes().getSequence()) {
            if (e.second.type == dtl::SES_COMMON) {
                steps.push_back(Step::Same);
            } else if (e.second.type == dtl::SES_DELETE) {
                steps.push_back(Step::Remove);
                ++removed;
            } else {
                steps.push_back(Step::Add);
                ++added;
            }
        }
    }
    steps.insert(steps.end(), a.size() - std::size_t(x), Step::Same);
    return true;
}

// Words for the word comparison: runs of letters and digits, runs of white space, and
// every other character alone.
enum class CharClass
{
    Word,
    Space,
    Other
};

CharClass classOf(QChar c)
{
    if (c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c == u'_')
        return CharClass::Word;
    return c.isSpace() ? CharClass::Space : CharClass::Other;
}

// At most `limit` + 1 of them: a line beyond the limit is not compared word by word.
std::vector<Item> words(QStringView text, qsizetype limit)
{
    std::vector<Item> out;
    qsizetype i = 0;
    while (i < text.size() && qsizetype(out.size()) <= limit) {
        const CharClass c = classOf(text[i]);
        qsizetype j = i + 1;
        if (c != CharClass::Other) {
            while (j < text.size() && classOf(text[j]) == c)
                ++j;
        }
        out.push_back(item(text.mid(i, j - i)));
        i = j;
    }
    return out;
}

// Whether a word may end between `text[at - 1]` and `text[at]`.
bool wordBoundary(QStringView text, qsizetype at)
{
    if (at <= 0 || at >= text.size())
        return true;
    const CharClass c = classOf(text[at - 1]);
    return c == CharClass::Other || c != classOf(text[at]);
}

struct WordMarks
{
    QList<DiffLine::Mark> before;
    QList<DiffLine::Mark> after;
    qsizetype unchanged = 0; // characters outside the marks, in the text after
};

void addMark(QList<DiffLine::Mark>& marks, QStringView text, qsizetype start, qsizetype length)
{
    // Marks apart by white space only read as one changed phrase.
    if (!marks.isEmpty()) {
        DiffLine::Mark& last = marks.last();
        const qsizetype end = last.start + last.length;
        if (text.mid(end, start - end).trimmed().isEmpty()) {
            last.length = start + length - last.start;
            return;
        }
    }
    marks.append({start, length});
}

// The words that differ between two lines; false when their comparison would take more
// than the work left for words or the line's bound.
bool diffWords(QStringView a, QStringView b, const TextDiffLimits& limits, qint64& workLeft,
               WordMarks& marks)
{
    // The common head and tail by characters first (a page of one long line that changed
    // in one place compares only that place), cut back to whole words.
    const qsizetype shortest = std::min(a.size(), b.size());
    qsizetype head = 0;
    while (head < shortest && a[head] == b[head])
        ++head;
    while (head > 0 && !(wordBoundary(a, head) && wordBoundary(b, head)))
        --head;
    qsizetype tail = 0;
    while (tail < shortest - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    while (tail > 0 && !(wordBoundary(a, a.size() - tail) && wordBoundary(b, b.size() - tail)))
        --tail;

    const std::vector<Item> wa = words(a.mid(head, a.size() - head - tail), limits.maxWordsInLine);
    if (qsizetype(wa.size()) > limits.maxWordsInLine)
        return false;
    const std::vector<Item> wb =
        words(b.mid(head, b.size() - head - tail), limits.maxWordsInLine - qsizetype(wa.size()));
    if (qsizetype(wa.size() + wb.size()) > limits.maxWordsInLine)
        return false;
    std::vector<Step> steps;
    qsizetype removed = 0, added = 0;
    if (!editScript(wa, wb, workLeft, steps, removed, added))
        return false;

    marks = {};
    marks.unchanged = head + tail;
    qsizetype ia = 0, ib = 0, pa = head, pb = head;
    for (Step s : steps) {
        switch (s) {
        case Step::Same:
            pa += wa[ia++].text.size();
            marks.unchanged += wb[ib].text.size();
            pb += wb[ib++].text.size();
            break;
        case Step::Remove:
            addMark(marks.before, a, pa, wa[ia].text.size());
            pa += wa[ia++].text.size();
            break;
        case Step::Add:
            addMark(marks.after, b, pb, wb[ib].text.size());
            pb += wb[ib++].text.size();
            break;
        }
    }
    return true;
}

// Builds the entries from the line script over the whole texts.
class Writer
{
public:
    Writer(const QStringList& before, const QStringList& after, const TextDiffLimits& limits,
           TextDiff& out)
        : m_before(before), m_after(after), m_limits(limits), m_out(out),
          m_wordWork(limits.maxWordWork)
    {
    }

    // `count` unchanged lines from old line `oldStart` (new line `newStart`); `first` and
    // `last` tell whether a change comes before and after them.
    void unchanged(qsizetype oldStart, qsizetype newStart, qsizetype count, bool changeBefore,
                   bool changeAfter)
    {
        const qsizetype context = std::max(0, m_limits.context);
        const qsizetype shownHead = changeBefore ? std::min(context, count) : 0;
        const qsizetype shownTail = changeAfter ? std::min(context, count - shownHead) : 0;
        qsizetype folded = count - shownHead - shownTail;
        // Folding one line would take as much room as showing it.
        const bool fold = folded > 1;
        const qsizetype headEnd = fold ? shownHead : count - shownTail;
        for (qsizetype i = 0; i < headEnd; ++i)
            context_(oldStart + i, newStart + i);
        if (fold) {
            DiffLine d;
            d.kind = DiffLine::Kind::Folded;
            d.folded = int(folded);
            m_out.lines.append(d);
        }
        for (qsizetype i = count - shownTail; i < count; ++i)
            context_(oldStart + i, newStart + i);
    }

    // Old lines [oldStart, +removed) replaced by new lines [newStart, +added): removed and
    // added lines pair up in order where they say nearly the same.
    void change(qsizetype oldStart, qsizetype removed, qsizetype newStart, qsizetype added)
    {
        m_out.removed += int(removed);
        m_out.added += int(added);
        std::vector<WordMarks> pairs(std::min(removed, added));
        for (qsizetype i = 0; i < qsizetype(pairs.size()); ++i) {
            const QString& a = m_before[oldStart + i];
            const QString& b = m_after[newStart + i];
            WordMarks marks;
            // Paired when at least two fifths of the longer line stay.
            if (diffWords(a, b, m_limits, m_wordWork, marks) &&
                marks.unchanged * 5 >= std::max(a.size(), b.size()) * 2)
                pairs[i] = std::move(marks);
        }
        // The removed lines, then the added ones, as a reader of a diff expects.
        for (const bool isBefore : {true, false}) {
            const qsizetype start = isBefore ? oldStart : newStart;
            for (qsizetype i = 0; i < (isBefore ? removed : added); ++i) {
                DiffLine d;
                d.kind = isBefore ? DiffLine::Kind::Removed : DiffLine::Kind::Added;
                d.text = (isBefore ? m_before : m_after)[start + i];
                (isBefore ? d.oldNumber : d.newNumber) = int(start + i + 1);
                if (i < qsizetype(pairs.size()))
                    d.marks = std::move(isBefore ? pairs[i].before : pairs[i].after);
                m_out.lines.append(std::move(d));
            }
        }
    }

private:
    void context_(qsizetype oldIndex, qsizetype newIndex)
    {
        DiffLine d;
        d.text = m_after[newIndex];
        d.oldNumber = int(oldIndex + 1);
        d.newNumber = int(newIndex + 1);
        m_out.lines.append(std::move(d));
    }

    const QStringList& m_before;
    const QStringList& m_after;
    const TextDiffLimits& m_limits;
    TextDiff& m_out;
    qint64 m_wordWork; // left for the word comparisons of all changed lines
};

} // namespace

QString DiffLine::foldedText() const
{
    return folded == 1
               ? QCoreApplication::translate("DiffLine", "… 1 unchanged line …")
               : QCoreApplication::translate("DiffLine", "… %1 unchanged lines …").arg(folded);
}

TextDiff diffTexts(const QStringList& before, const QStringList& after,
                   const TextDiffLimits& limits)
{
    TextDiff out;
    // The common head and tail need no comparison run: most updates change a few places.
    const qsizetype shortest = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shortest && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shortest - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const qsizetype beforeEnd = before.size() - tail;
    const qsizetype afterEnd = after.size() - tail;
    if (head == beforeEnd && head == afterEnd)
        return out;

    std::vector<Step> steps;
    {
        std::vector<Item> a, b;
        a.reserve(std::size_t(beforeEnd - head));
        b.reserve(std::size_t(afterEnd - head));
        for (qsizetype i = head; i < beforeEnd; ++i)
            a.push_back(item(before[i]));
        for (qsizetype i = head; i < afterEnd; ++i)
            b.push_back(item(after[i]));
        qsizetype removed = 0, added = 0;
        qint64 work = limits.maxLineWork;
        if (!editScript(a, b, work, steps, removed, added)) {
            out.complete = false;
            out.removed = int(removed);
            out.added = int(added);
            return out;
        }
    }

    Writer writer(before, after, limits, out);
    qsizetype oldLine = 0, newLine = 0;
    bool changed = false;
    auto flushSame = [&](qsizetype count, bool changeAfter) {
        if (count > 0)
            writer.unchanged(oldLine, newLine, count, changed, changeAfter);
        oldLine += count;
        newLine += count;
    };
    flushSame(head, true);
    for (std::size_t i = 0; i < steps.size();) {
        std::size_t j = i;
        if (steps[i] == Step::Same) {
            while (j < steps.size() && steps[j] == Step::Same)
                ++j;
            flushSame(qsizetype(j - i), true);
        } else {
            qsizetype removed = 0, added = 0;
            for (; j < steps.size() && steps[j] != Step::Same; ++j)
                (steps[j] == Step::Remove ? removed : added) += 1;
            writer.change(oldLine, removed, newLine, added);
            oldLine += removed;
            newLine += added;
            changed = true;
        }
        i = j;
    }
    flushSame(tail, false);
    return out;
}
