#pragma once

#include <QString>
#include <QVariant>

// The host's keyed store for a control's saved properties. Reading an absent key
// gives the default; writing a value equal to its default stores nothing.
class PropertyBag
{
public:
    virtual ~PropertyBag() = default;
    virtual QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const = 0;
    virtual void WriteProperty(const QString& key, const QVariant& value,
                               const QVariant& defaultValue) = 0;
};
