#pragma once

#include <QString>

// Second names for files, which differ between systems (Qt's QFile::link makes symbolic
// links, which break when the first name goes); one file per system.
namespace FileLinks {

// Gives the file `existing` the second name `link` on the same volume, without copying
// it. Returns an empty text on success, else the system's words for the failure.
[[nodiscard]] QString hardLink(const QString& existing, const QString& link);

// Whether the two paths name one and the same file (one is a hard link of the other).
[[nodiscard]] bool sameFile(const QString& a, const QString& b);

} // namespace FileLinks
