#include "fakes.h"

#include "loopbackserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>

QList<NotifyMessage> RecordingNotifyArea::messages() const
{
    QList<NotifyMessage> out;
    for (const Call& c : calls)
        out.append(c.message);
    return out;
}

int RecordingNotifyArea::count(NotifyMessage message) const
{
    return int(std::count_if(calls.begin(), calls.end(),
                             [message](const Call& c) { return c.message == message; }));
}

TestServices::TestServices() : m_tls(LoopbackServer::clientTls())
{
    if (!m_dir.isValid())
        qFatal("no temporary program directory: %s", qPrintable(m_dir.errorString()));
    m_services.messageBox = &messageBox;
    m_services.clock = &clock;
    m_services.urlOpener = &urlOpener;
    m_services.sound = &sound;
    m_services.windowShape = &windowShape;
    m_services.notifyArea = &notifyArea;
    m_services.desktopNotifier = &desktopNotifier;
    // In the system's own form, as the program has it.
    m_services.programDir = QDir::toNativeSeparators(m_dir.path());
    m_services.tlsConfiguration = &m_tls;
}

QString TestServices::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString file = path(name);
    ::writeFile(file, bytes);
    return file;
}

QByteArray TestServices::readFile(const QString& name) const
{
    return ::readFile(path(name));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
        qFatal("a test cannot write its file %s: %s", qPrintable(path),
               qPrintable(f.errorString()));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<cannot read " + path.toLocal8Bit() + ": " + f.errorString().toLocal8Bit() + ">";
    return f.readAll();
}

Picture makeTestIcon(QRgb colour)
{
    QPixmap pm(16, 16);
    pm.fill(QColor::fromRgb(colour));
    return Picture::fromIcon(QIcon(pm));
}

Picture makeTestBitmap()
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::gray);
    return Picture::fromImage(img);
}
