// Winsock's header comes before anything that includes windows.h.
// clang-format off
#include <winsock2.h>
// clang-format on

#include "testsystem.h"

#include <QDir>

void TestSystem::shutdownWrite(qintptr socket)
{
    ::shutdown(SOCKET(socket), SD_SEND);
}

void TestSystem::resetOnClose(qintptr socket)
{
    // Linger on with a zero timeout: closing sends RST instead of FIN.
    const linger abortive{1, 0};
    ::setsockopt(SOCKET(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                 sizeof abortive);
}

bool TestSystem::underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

QString TestSystem::shortPath(const QString& path)
{
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetShortPathNameW(wide.c_str(), buffer, DWORD(std::size(buffer)));
    return n > 0 && n < std::size(buffer) ? QString::fromWCharArray(buffer, int(n)) : path;
}
