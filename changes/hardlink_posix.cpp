#include "hardlink.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

QString FileLinks::hardLink(const QString& existing, const QString& link)
{
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(link).constData()) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool FileLinks::sameFile(const QString& a, const QString& b)
{
    struct stat sa
    {
    };
    struct stat sb
    {
    };
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
