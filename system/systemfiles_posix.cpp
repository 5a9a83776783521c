#include "systemfiles.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString SystemFiles::errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Result<void> SystemFiles::replace(const QString& source, const QString& target)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
#ifdef RENAME_EXCHANGE
    // Swapping the two names is as atomic as a rename over the target, but spares the
    // file system's forced write-out of a file renamed over another (ext4), which would
    // make the check of a large page wait for the disk. The old target then goes under
    // the source's name and is removed. Only a plain file is swapped away.
    struct stat old
    {
    };
    if (::lstat(to.constData(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        ::unlink(from.constData());
        return Result<void>::success();
    }
    // No target yet, or a file system without the exchange: a plain rename.
#endif
    if (std::rename(from.constData(), to.constData()) == 0)
        return Result<void>::success();
    return SystemError::of(errno);
}

QString SystemFiles::lastErrorText()
{
    return errno != 0 ? errorText(errno) : QString();
}
