#pragma once

#include "desktopnotifier.h"

#include <QString>
#include <optional>

// What the desktop's notification says about an update: the page's host in the summary,
// and in the body the first words of what changed, or the change of size where no text
// difference is there to show.
struct UpdateFacts
{
    QString host;
    std::optional<QString> firstAddedLine;
    std::optional<QString> firstRemovedLine;
    qint64 oldSize = 0;
    qint64 newSize = 0;
};

namespace UpdateNotice {

// About two lines of a bubble; a longer body is cut at a word and ends in "…".
inline constexpr int kMaxBodyLength = 200;

// Summary "HOST has changed"; body the first added line, else "Removed: " and the first
// removed line, else "The page's size went from A to B bytes". Plain text, no icon.
[[nodiscard]] DesktopNotice make(const UpdateFacts& facts);

} // namespace UpdateNotice
