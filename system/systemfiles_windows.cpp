#include "systemfiles.h"

#include <algorithm>
#include <qt_windows.h>

QString SystemFiles::errorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString result = n > 0 ? QString::fromWCharArray(text, int(n)).trimmed()
                           : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    // The system's sentences end with a full stop; the program's captions go on after them.
    if (result.endsWith(QLatin1Char('.')))
        result.chop(1);
    return result;
}

namespace {

const wchar_t* native(const QString& path)
{
    return reinterpret_cast<const wchar_t*>(path.utf16());
}

QString windowsPath(const QString& path)
{
    return QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

} // namespace

Result<void> SystemFiles::replace(const QString& source, const QString& target)
{
    // A plain rename refuses an existing target; this one replaces it in one step.
    const QString from = windowsPath(source);
    const QString to = windowsPath(target);
    if (MoveFileExW(native(from), native(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Result<void>::success();
    return SystemError::of(int(GetLastError()));
}

Result<void> SystemFiles::replaceKeeping(const QString& source, const QString& target,
                                         const QString& backup)
{
    // MoveFileEx destroys the file it replaces; ReplaceFile can leave it under a backup name.
    const QString from = windowsPath(source);
    const QString to = windowsPath(target);
    const QString kept = windowsPath(backup);
    // A folder in the snapshot's place is no snapshot: it stays, and the replacement fails
    // as a move onto a folder does (ReplaceFile would take the folder as its backup).
    const DWORD attributes = GetFileAttributesW(native(to));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return SystemError::of(ERROR_ACCESS_DENIED);
    DeleteFileW(native(kept));
    if (ReplaceFileW(native(to), native(from), native(kept), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
        return Result<void>::success();
    // No target yet, or a replacement that stopped halfway: in each case the source still
    // has its name (the target may already be the backup), and a move finishes the job.
    return replace(source, target);
}

Result<QByteArray> SystemFiles::readShared(const QString& path, qint64 maxBytes)
{
    // Every sharing mode, FILE_SHARE_DELETE above all: a file open without it cannot be
    // renamed or replaced, and the next check replaces data.orvl while this reads it.
    const HANDLE file = CreateFileW(native(windowsPath(path)), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemError::of(int(GetLastError()));
    QByteArray bytes;
    DWORD error = 0;
    constexpr DWORD kPiece = 1 << 20;
    while (bytes.size() < maxBytes) {
        const DWORD want = DWORD(std::min<qint64>(kPiece, maxBytes - bytes.size()));
        const qsizetype at = bytes.size();
        bytes.resize(at + want);
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + at, want, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        bytes.resize(at + got);
        if (got == 0)
            break;
    }
    CloseHandle(file);
    if (error != 0)
        return SystemError::of(int(error));
    return bytes;
}

QString SystemFiles::lastErrorText()
{
    const DWORD err = GetLastError();
    return err != 0 ? errorText(int(err)) : QString();
}
