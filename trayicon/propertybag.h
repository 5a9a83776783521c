#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

// The host's keyed store for a control's saved properties. Reading an absent key
// gives the default; writing a value equal to its default stores nothing (and takes
// away a value stored under that key before, so the key reads as the default again).
class PropertyBag
{
public:
    virtual ~PropertyBag() = default;
    virtual QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const = 0;
    virtual void WriteProperty(const QString& key, const QVariant& value,
                               const QVariant& defaultValue) = 0;

    // Whether a value holds a number (of any width; a Boolean is not one).
    static bool isNumber(const QVariant& v);

    // Whether a value equals its default, as the host compares them: numbers and
    // Booleans by value (False is 0, True is -1, so a Boolean False equals a 16-bit 0),
    // text by its characters, pictures by type and handle, nothing only to nothing.
    // Values of different kinds (text and a number, a picture and nothing) differ.
    static bool equalsDefault(const QVariant& value, const QVariant& defaultValue);
};

// A bag kept in memory, e.g. for a control that is copied or for tests.
class MemoryPropertyBag : public PropertyBag
{
public:
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const override;
    void WriteProperty(const QString& key, const QVariant& value,
                       const QVariant& defaultValue) override;

    // The values stored, by key (keys whose value equalled the default are absent).
    const QMap<QString, QVariant>& values() const { return m_values; }
    void setValue(const QString& key, const QVariant& value) { m_values.insert(key, value); }

private:
    QMap<QString, QVariant> m_values;
};

// A bag kept in an INI-style file through QSettings, optionally in a group of its
// own so that one file can hold the properties of several controls.
//
// Numbers, Booleans and text are stored as QSettings writes them (500, true, text).
// A picture is stored as a byte array (written "@ByteArray(...)", so it can never be
// confused with text) holding its kind and its pixels: "icon:" or "bitmap:" followed
// by the picture as PNG in base64 (an icon at its largest size), or "none:" for an
// empty picture. Reading gives a new picture of the same kind and look; its handle
// is a new one.
class IniPropertyBag : public PropertyBag
{
public:
    explicit IniPropertyBag(const QString& fileName, const QString& group = QString());
    ~IniPropertyBag() override;

    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const override;
    void WriteProperty(const QString& key, const QVariant& value,
                       const QVariant& defaultValue) override;

    // Writes what was stored to the file. RuntimeError 75 ("Path/File access error")
    // when the file cannot be written.
    void save();

    static QByteArray encodePicture(const QVariant& picture);
    // A stored picture; an invalid QVariant when the bytes are no stored picture.
    static QVariant decodePicture(const QByteArray& bytes);

private:
    QString fullKey(const QString& key) const;

    std::unique_ptr<QSettings> m_settings;
    QString m_group;
};
