#include "picture.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QPixmap>

namespace {

struct HandleTable
{
    QMutex mutex;
    QHash<std::int32_t, QIcon> icons;
    QHash<std::int32_t, QImage> images;
    std::int32_t next = 0x100;
};

HandleTable& table()
{
    static HandleTable t;
    return t;
}

} // namespace

Picture Picture::fromIcon(const QIcon& icon)
{
    if (icon.isNull())
        return {};
    HandleTable& t = table();
    QMutexLocker lock(&t.mutex);
    const std::int32_t h = t.next++;
    t.icons.insert(h, icon);
    return Picture(Type::Icon, h);
}

Picture Picture::fromImage(const QImage& image)
{
    if (image.isNull())
        return {};
    HandleTable& t = table();
    QMutexLocker lock(&t.mutex);
    const std::int32_t h = t.next++;
    t.images.insert(h, image);
    return Picture(Type::Bitmap, h);
}

Picture Picture::load(const QString& fileName)
{
    if (fileName.isEmpty())
        return {};
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("ico") || suffix == QLatin1String("png") ||
        suffix == QLatin1String("svg"))
        return fromIcon(QIcon(fileName));
    return fromImage(QImage(fileName));
}

QImage Picture::image() const
{
    HandleTable& t = table();
    QMutexLocker lock(&t.mutex);
    if (m_type == Type::Bitmap)
        return t.images.value(m_handle);
    if (m_type == Type::Icon) {
        // Its 32 x 32 picture, whatever the screen's scale: an icon with a picture for
        // denser screens would otherwise give that one.
        const QIcon icon = t.icons.value(m_handle);
        return icon.pixmap(QSize(32, 32), 1.0).toImage();
    }
    return {};
}

QIcon Picture::iconForHandle(std::int32_t handle)
{
    HandleTable& t = table();
    QMutexLocker lock(&t.mutex);
    return t.icons.value(handle);
}
