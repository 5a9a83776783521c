#include "snapshotfiles.h"

#include "systemfiles.h"

#include <QFileInfo>

QString SnapshotFiles::tmpPath() const
{
    return m_folder + QStringLiteral("/data.tmp");
}

QString SnapshotFiles::snapshotPath() const
{
    return m_folder + QStringLiteral("/data.orvl");
}

QString SnapshotFiles::openTmp()
{
    if (m_tmp.isOpen())
        return {};
    m_tmp.setFileName(tmpPath());
    if (m_tmp.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return {};
    return QStringLiteral("cannot create data.tmp: %1").arg(m_tmp.errorString());
}

QString SnapshotFiles::appendTmp(const char* data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const qint64 n = m_tmp.write(data + done, size - done);
        if (n <= 0) {
            QString why = m_tmp.error() != QFileDevice::NoError ? m_tmp.errorString()
                                                                : SystemFiles::lastErrorText();
            if (why.isEmpty())
                why = QStringLiteral("unknown error");
            return QStringLiteral("cannot write data.tmp: %1").arg(why);
        }
        done += n;
    }
    return {};
}

QString SnapshotFiles::closeTmp(qint64 size)
{
    m_tmp.close();
    if (m_tmp.error() != QFileDevice::NoError)
        return QStringLiteral("cannot write data.tmp: %1").arg(m_tmp.errorString());
    // What the disk holds, not what the writes said.
    const qint64 held = QFileInfo(tmpPath()).size();
    if (held != size)
        return QStringLiteral("data.tmp holds %1 bytes instead of %2").arg(held).arg(size);
    return {};
}

QString SnapshotFiles::replacedPath() const
{
    return m_folder + QStringLiteral("/data.old");
}

qint64 SnapshotFiles::snapshotSize() const
{
    const QFileInfo snapshot(snapshotPath());
    return snapshot.exists() ? snapshot.size() : -1;
}

QString SnapshotFiles::replaceSnapshot()
{
    // One rename replaces the snapshot.
    if (const Result<void> replaced = SystemFiles::replace(tmpPath(), snapshotPath()); !replaced)
        return QStringLiteral("cannot rename data.tmp to data.orvl: %1").arg(replaced.error().text);
    m_tmp.setFileName(QString()); // it is data.orvl now
    return {};
}

QString SnapshotFiles::replaceSnapshotKeeping()
{
    if (const Result<void> replaced =
            SystemFiles::replaceKeeping(tmpPath(), snapshotPath(), replacedPath());
        !replaced)
        return QStringLiteral("cannot rename data.tmp to data.orvl: %1").arg(replaced.error().text);
    m_tmp.setFileName(QString());
    return {};
}

void SnapshotFiles::discardTmp()
{
    if (m_tmp.isOpen())
        m_tmp.close();
    if (!m_tmp.fileName().isEmpty())
        QFile::remove(m_tmp.fileName());
    m_tmp.setFileName(QString());
}
