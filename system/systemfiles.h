#pragma once

#include "result.h"

#include <QString>

// The few file-system calls whose form differs between systems, and the system's words
// for its error numbers; one file per system.
namespace SystemFiles {

// Replaces `target` with `source` in one step: `target` is never missing or half
// written, and `source` is gone afterwards.
Result<void> replace(const QString& source, const QString& target);

// The same, but the replaced `target` is left under the name `backup` (an earlier file
// of that name goes) instead of being removed: a caller that keeps old versions moves
// it on from there, without a copy. Where the system cannot keep it in the same step,
// `target` is still replaced and no `backup` is left. No `target` yet: a plain rename.
Result<void> replaceKeeping(const QString& source, const QString& target, const QString& backup);

// Up to `maxBytes` of the file at `path`, opened so that the file can be renamed,
// replaced or removed while it is read (on Windows, Qt's own open would make the next
// check's replacement of data.orvl fail).
Result<QByteArray> readShared(const QString& path, qint64 maxBytes);

// The system's own words for error number `error` (errno on POSIX systems, a Windows or
// Winsock error code on Windows), without a closing full stop.
QString errorText(int error);

// The system's own words for the error of the last failed call on this thread (errno on
// POSIX systems, GetLastError on Windows), or an empty text when it recorded none.
QString lastErrorText();

} // namespace SystemFiles
