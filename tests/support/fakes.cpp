#include "fakes.h"

#include <QFile>
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

TestServices::TestServices()
{
    m_services.messageBox = &messageBox;
    m_services.clock = &clock;
    m_services.urlOpener = &urlOpener;
    m_services.sound = &sound;
    m_services.windowShape = &windowShape;
    m_services.notifyArea = &notifyArea;
    m_services.programDir = m_dir.path();
}

QString TestServices::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
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
