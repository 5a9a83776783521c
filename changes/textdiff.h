#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One entry of the difference between two texts, in reading order.
struct DiffLine
{
    enum class Kind
    {
        Context,
        Removed,
        Added,
        Folded
    };
    // A word (or a run of them) that changed inside a changed line: `length` characters of
    // `text` from `start`.
    struct Mark
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Mark&) const = default;
    };

    Kind kind = Kind::Context;
    QString text; // the line as it reads; empty for Folded
    // A removed line and an added one that say nearly the same pair up as one changed line:
    // their marks then show the words that differ. Empty: the whole line is removed or added.
    QList<Mark> marks;
    int oldNumber = 0; // from 1, in the text before: Context and Removed lines; else 0
    int newNumber = 0; // from 1, in the text after: Context and Added lines; else 0
    int folded = 0;    // Folded: how many unchanged lines it stands for

    // "… 120 unchanged lines …" for a Folded entry.
    QString foldedText() const;
};

struct TextDiff
{
    // False when the texts differ too much to compare line by line within the bound (a
    // comparison cannot be stopped halfway, so it is bounded before it starts): `lines`
    // is then empty, and the counts are those of a cheap comparison in linear time (lines
    // that turn one text into the other, not always the fewest).
    bool complete = true;
    int added = 0;   // lines only in the text after (a changed line counts in both)
    int removed = 0; // lines only in the text before
    QList<DiffLine> lines;

    bool same() const { return added == 0 && removed == 0; }
};

// How much work a comparison may take, and how much it shows.
struct TextDiffLimits
{
    int context = 3; // unchanged lines shown around each change
    // The work the line comparison may take, in points of the edit graph (each a
    // comparison and 24 bytes). It is known before the comparison starts: texts that
    // would take more are counted instead (a cheap comparison in linear time: lines
    // found once on each side anchor it). Measured here: up to this bound, 200,000 lines
    // against 200,000 compare in well under a second, and dtl never reaches its own
    // limit of 2,000,000 points (beyond which it restarts).
    qint64 maxLineWork = 1'500'000;
    // The same for the word comparisons of all changed lines together; a pair of lines
    // beyond it shows its lines whole.
    qint64 maxWordWork = 1'500'000;
    // The differing middle of one changed line, in words, above which it is shown whole.
    qsizetype maxWordsInLine = 100'000;
};

// The difference between two texts given as their lines. Thread-safe and without the
// GUI: it runs in a worker thread.
[[nodiscard]] TextDiff diffTexts(const QStringList& before, const QStringList& after,
                                 const TextDiffLimits& limits = {});
