#pragma once

#include <QIcon>
#include <QImage>
#include <QMetaType>
#include <cstdint>
#include <optional>

// A picture value as the controls pass it around: a type and a native handle.
// Handles are small 32-bit numbers handed out by a process-wide table, so that a
// notification record can carry an icon the way the shell's record does, and the
// notification-area service can turn the number back into the icon.
class Picture
{
public:
    enum class Type : std::int16_t
    {
        None = 0,
        Bitmap = 1,
        Icon = 3
    };

    Picture() = default; // an empty picture: type none, handle 0

    static Picture fromIcon(const QIcon& icon);
    static Picture fromImage(const QImage& image); // a bitmap
    // Loads a file; an icon file (.ico, .png, .svg) gives an icon, anything else a
    // bitmap; an empty name gives an empty picture.
    static Picture load(const QString& fileName);

    Type type() const { return m_type; }
    std::int32_t handle() const { return m_handle; }
    bool isEmpty() const { return m_type == Type::None; }

    QIcon icon() const { return iconForHandle(m_handle); }
    QImage image() const;

    // The icon registered under a handle; a null icon for an unknown handle.
    static QIcon iconForHandle(std::int32_t handle);

    friend bool operator==(const Picture& a, const Picture& b)
    {
        return a.m_type == b.m_type && a.m_handle == b.m_handle;
    }

private:
    Picture(Type type, std::int32_t handle) : m_type(type), m_handle(handle) {}

    Type m_type = Type::None;
    std::int32_t m_handle = 0;
};

// A property whose value may be "nothing" (no picture object at all), as opposed to
// an empty picture object of type none.
using PictureRef = std::optional<Picture>;

Q_DECLARE_METATYPE(Picture)
