#pragma once

#include "result.h"

#include <QString>

// The few file-system calls whose form differs between systems, and the system's words
// for its error numbers; one file per system.
namespace SystemFiles {

// Replaces `target` with `source` in one step: `target` is never missing or half
// written, and `source` is gone afterwards.
Result<void> replace(const QString& source, const QString& target);

// The system's own words for error number `error` (errno on POSIX systems, a Windows or
// Winsock error code on Windows), without a closing full stop.
QString errorText(int error);

// The system's own words for the error of the last failed call on this thread (errno on
// POSIX systems, GetLastError on Windows), or an empty text when it recorded none.
QString lastErrorText();

} // namespace SystemFiles
