#pragma once

#include <QString>

// The display name of the watched site, as the popup's caption and the credits name it.
namespace WatchedSite {
inline const QString displayName = QStringLiteral("The watched site");
} // namespace WatchedSite
