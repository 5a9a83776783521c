#include "artwork.h"

namespace Artwork {

QIcon windowIcon(const QString& name)
{
    QIcon icon;
    for (int size : kTrayIconSizes) {
        const QString file = size == 32
                                 ? QStringLiteral(":/icons/%1.png").arg(name)
                                 : QStringLiteral(":/icons/tray/%1x%1/%2.png").arg(size).arg(name);
        icon.addFile(file, QSize(size, size));
    }
    return icon;
}

QList<QImage> densePopupPictures()
{
    QList<QImage> pictures;
    for (qreal scale : {1.25, 1.5, 2.0}) {
        QImage picture(QStringLiteral(":/popup/background@%1x.png").arg(scale));
        picture.setDevicePixelRatio(scale);
        pictures.append(picture);
    }
    return pictures;
}

} // namespace Artwork
