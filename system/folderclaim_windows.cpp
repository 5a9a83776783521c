#include "folderclaim.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <qt_windows.h>

namespace {

// The directory's final path as the system resolves it: links followed, 8.3 short names
// and the case of every name as they are on disk. Empty when it cannot be opened.
QString finalPath(const QString& dir)
{
    const QString native = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(native.utf16()), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return QString();
    wchar_t buffer[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, buffer, DWORD(std::size(buffer)),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n == 0 || n >= std::size(buffer))
        return QString();
    QString path = QString::fromWCharArray(buffer, int(n));
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        path = QLatin1String("\\\\") + path.mid(8);
    else if (path.startsWith(QLatin1String("\\\\?\\")))
        path = path.mid(4);
    return path;
}

// The named mutex that is the hold of a claim's name, in the user's session.
QString mutexName(const QString& name)
{
    return QStringLiteral("Local\\") + name;
}

} // namespace

QString QtFolderClaim::identity(const QString& programDir)
{
    QString path = finalPath(programDir);
    if (path.isEmpty())
        path = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(programDir).absoluteFilePath()));
    while (path.size() > 3 && path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    // Windows' file names are compared without regard to case.
    return path.toCaseFolded();
}

Result<QtFolderClaim::Hold> QtFolderClaim::hold(QLocalServer& server)
{
    // The mutex decides: of two starts at once only one creates it. The system drops it
    // with the last handle, when its holder ends however it ends.
    const QString name = mutexName(m_name);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name.utf16()));
    if (!mutex) {
        const DWORD error = GetLastError();
        return SystemError{
            int(error),
            QStringLiteral("cannot create the mutex %1 (error %2)").arg(name).arg(error)};
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Hold::InUse;
    }
    release();
    m_systemHold = mutex;
    if (server.listen(m_name))
        return Hold::Taken;
    // Qt keeps the system's words for the failure, not its number.
    const SystemError error{0, server.errorString()};
    release();
    return error;
}

void QtFolderClaim::release()
{
    if (m_systemHold)
        CloseHandle(static_cast<HANDLE>(m_systemHold));
    m_systemHold = nullptr;
}

void QtFolderClaim::prepare(QLocalSocket&) const {}

bool QtFolderClaim::held() const
{
    // The mutex is the hold; its holder listens on the pipe a moment later.
    const QString name = mutexName(m_name);
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, reinterpret_cast<const wchar_t*>(name.utf16()));
    if (!mutex)
        return false;
    CloseHandle(mutex);
    return true;
}

bool QtFolderClaim::processEnded(qint64 pid, int ms)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return true; // gone already
    const bool ended = WaitForSingleObject(process, DWORD(ms)) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}
