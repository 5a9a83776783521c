#include "hardlink.h"

#include <QDir>
#include <string>
#include <windows.h>

namespace {

QString lastError()
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString words = QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);
    return words.isEmpty() ? QStringLiteral("error %1").arg(GetLastError()) : words;
}

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

QString FileLinks::hardLink(const QString& existing, const QString& link)
{
    if (CreateHardLinkW(native(link).c_str(), native(existing).c_str(), nullptr))
        return QString();
    return lastError();
}

bool FileLinks::sameFile(const QString& a, const QString& b)
{
    // The volume's serial number and the file's index name one file; the handles share
    // deletion so that they never stand in a rename's way.
    auto identity = [](const QString& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE h = CreateFileW(native(path).c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return identity(a, ia) && identity(b, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}
