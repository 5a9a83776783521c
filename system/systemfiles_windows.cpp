#include "systemfiles.h"

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

} // namespace

Result<void> SystemFiles::replace(const QString& source, const QString& target)
{
    // A plain rename refuses an existing target; this one replaces it in one step.
    const QString from = QString(source).replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString to = QString(target).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (MoveFileExW(native(from), native(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Result<void>::success();
    return SystemError::of(int(GetLastError()));
}

QString SystemFiles::lastErrorText()
{
    const DWORD err = GetLastError();
    return err != 0 ? errorText(int(err)) : QString();
}
