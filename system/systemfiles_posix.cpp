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

namespace {

// Swaps the two names when the system can and `to` is a plain file: as atomic as a
// rename over it, but it spares the file system's forced write-out of a file renamed over
// another (ext4), which would make the check of a large page wait for the disk. The old
// target is then under the name `from`.
bool exchanged(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_EXCHANGE
    struct stat old
    {
    };
    return ::lstat(to.constData(), &old) == 0 && S_ISREG(old.st_mode) &&
           ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0;
#else
    (void)from;
    (void)to;
    return false;
#endif
}

} // namespace

Result<void> SystemFiles::replace(const QString& source, const QString& target)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (exchanged(from, to)) {
        ::unlink(from.constData());
        return Result<void>::success();
    }
    // No target yet, or a file system without the exchange: a plain rename.
    if (std::rename(from.constData(), to.constData()) == 0)
        return Result<void>::success();
    return SystemError::of(errno);
}

Result<void> SystemFiles::replaceKeeping(const QString& source, const QString& target,
                                         const QString& backup)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    const QByteArray kept = QFile::encodeName(backup);
    ::unlink(kept.constData());
    if (exchanged(from, to)) {
        // The old target is under the source's name: it moves on to the backup's.
        if (std::rename(from.constData(), kept.constData()) != 0)
            ::unlink(from.constData());
        return Result<void>::success();
    }
    // Without the exchange the old target gets the backup's name as a second one first,
    // so that the target is never missing.
    (void)::link(to.constData(), kept.constData());
    if (std::rename(from.constData(), to.constData()) == 0)
        return Result<void>::success();
    const int error = errno;
    ::unlink(kept.constData());
    return SystemError::of(error);
}

Result<QByteArray> SystemFiles::readShared(const QString& path, qint64 maxBytes)
{
    // A POSIX open never keeps a file from being renamed or removed.
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return SystemError{0, f.errorString()};
    QByteArray bytes = f.read(maxBytes);
    if (f.error() != QFileDevice::NoError)
        return SystemError{0, f.errorString()};
    return bytes;
}

QString SystemFiles::lastErrorText()
{
    return errno != 0 ? errorText(errno) : QString();
}
