#include "updatenotice.h"

namespace {

// The line as one run of words, cut to the bound at the last space that fits, or in
// the middle of a word so long that a cut at a space would leave less than half.
QString shortened(const QString& line, int bound)
{
    const QString text = line.simplified();
    if (text.size() <= bound)
        return text;
    const QChar ellipsis(0x2026);
    qsizetype cut = text.lastIndexOf(QLatin1Char(' '), bound - 1);
    if (cut < bound / 2) {
        cut = bound - 1;
        // Never half of a character outside the Basic Multilingual Plane.
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
    }
    return text.left(cut) + ellipsis;
}

// A line that has some text in it: blank lines say nothing about the change.
std::optional<QString> withText(const std::optional<QString>& line)
{
    if (line && !line->trimmed().isEmpty())
        return line;
    return std::nullopt;
}

} // namespace

DesktopNotice UpdateNotice::make(const UpdateFacts& facts)
{
    DesktopNotice notice;
    notice.summary = facts.host + QLatin1String(" has changed");
    const QString removed = QStringLiteral("Removed: ");
    if (const auto added = withText(facts.firstAddedLine))
        notice.body = shortened(*added, kMaxBodyLength);
    else if (const auto gone = withText(facts.firstRemovedLine))
        notice.body = removed + shortened(*gone, kMaxBodyLength - int(removed.size()));
    else
        notice.body = QStringLiteral("The page's size went from %1 to %2 bytes")
                          .arg(facts.oldSize)
                          .arg(facts.newSize);
    return notice;
}
