#include "propertybag.h"

#include "picture.h"
#include "runtimeerror.h"

#include <QBuffer>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSettings>

bool PropertyBag::isNumber(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

namespace {

bool isNumeric(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<bool>() || PropertyBag::isNumber(v);
}

double numericValue(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<bool>())
        return v.toBool() ? -1.0 : 0.0;
    return v.toDouble();
}

const QByteArray kIcon = QByteArrayLiteral("icon:");
const QByteArray kBitmap = QByteArrayLiteral("bitmap:");
const QByteArray kNone = QByteArrayLiteral("none:");

QByteArray pngBase64(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toBase64();
}

QImage fromPngBase64(const QByteArray& base64)
{
    QImage image;
    image.loadFromData(QByteArray::fromBase64(base64), "PNG");
    return image;
}

} // namespace

bool PropertyBag::equalsDefault(const QVariant& value, const QVariant& defaultValue)
{
    if (!value.isValid() || !defaultValue.isValid())
        return value.isValid() == defaultValue.isValid();
    if (isNumeric(value) && isNumeric(defaultValue))
        return numericValue(value) == numericValue(defaultValue);
    const QMetaType picture = QMetaType::fromType<Picture>();
    if (value.metaType() == picture || defaultValue.metaType() == picture)
        return value.metaType() == defaultValue.metaType() &&
               value.value<Picture>() == defaultValue.value<Picture>();
    const QMetaType text = QMetaType::fromType<QString>();
    if (value.metaType() == text && defaultValue.metaType() == text)
        return value.toString() == defaultValue.toString();
    return value.metaType() == defaultValue.metaType() && value == defaultValue;
}

// --- in memory -----------------------------------------------------------------------------

QVariant MemoryPropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const
{
    return m_values.value(key, defaultValue);
}

void MemoryPropertyBag::WriteProperty(const QString& key, const QVariant& value,
                                      const QVariant& defaultValue)
{
    if (equalsDefault(value, defaultValue))
        m_values.remove(key);
    else
        m_values.insert(key, value);
}

// --- INI file ------------------------------------------------------------------------------

IniPropertyBag::IniPropertyBag(const QString& fileName, const QString& group)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)), m_group(group)
{
}

IniPropertyBag::~IniPropertyBag() = default;

QString IniPropertyBag::fullKey(const QString& key) const
{
    return m_group.isEmpty() ? key : m_group + QLatin1Char('/') + key;
}

QByteArray IniPropertyBag::encodePicture(const QVariant& value)
{
    const Picture picture = value.value<Picture>();
    switch (picture.type()) {
    case Picture::Type::Icon: {
        const QIcon icon = picture.icon();
        QSize size(32, 32);
        for (const QSize& s : icon.availableSizes())
            if (s.width() * s.height() > size.width() * size.height())
                size = s;
        return kIcon + pngBase64(icon.pixmap(size).toImage());
    }
    case Picture::Type::Bitmap:
        return kBitmap + pngBase64(picture.image());
    case Picture::Type::None:
        break;
    }
    return kNone;
}

QVariant IniPropertyBag::decodePicture(const QByteArray& bytes)
{
    if (bytes == kNone)
        return QVariant::fromValue(Picture());
    if (bytes.startsWith(kIcon)) {
        const QImage image = fromPngBase64(bytes.mid(kIcon.size()));
        if (!image.isNull())
            return QVariant::fromValue(Picture::fromIcon(QIcon(QPixmap::fromImage(image))));
    } else if (bytes.startsWith(kBitmap)) {
        const QImage image = fromPngBase64(bytes.mid(kBitmap.size()));
        if (!image.isNull())
            return QVariant::fromValue(Picture::fromImage(image));
    }
    return QVariant();
}

QVariant IniPropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const
{
    const QVariant stored = m_settings->value(fullKey(key));
    if (!stored.isValid())
        return defaultValue;
    if (stored.metaType() == QMetaType::fromType<QByteArray>()) {
        // Only pictures are stored as byte arrays; other bytes are returned as
        // they are (no picture to the control that reads them).
        const QVariant picture = decodePicture(stored.toByteArray());
        return picture.isValid() ? picture : stored;
    }
    return stored;
}

void IniPropertyBag::WriteProperty(const QString& key, const QVariant& value,
                                   const QVariant& defaultValue)
{
    if (equalsDefault(value, defaultValue)) {
        m_settings->remove(fullKey(key));
        return;
    }
    if (value.metaType() == QMetaType::fromType<Picture>())
        m_settings->setValue(fullKey(key), encodePicture(value));
    else
        m_settings->setValue(fullKey(key), value);
}

void IniPropertyBag::save()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccessError);
}
