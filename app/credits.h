#pragma once

#include "watchedsite.h"

#include <QString>

// Names and addresses the program shows and opens. All are the program's own.
namespace Credits {
inline const QString productLongName = QStringLiteral("Our Reliable Vigil over Every Little Line");
inline const QString toolShortName = QStringLiteral("Quillwick");
inline const QString toolLongName = QStringLiteral("Quillwick Page Change Lookout");
inline const QString authorNickname = QStringLiteral("Pimlet");
inline const QString& watchedSiteName = WatchedSite::displayName;
inline const QString homePageAddress = QStringLiteral("http://orvell.example.org/");
inline const QString authorAddress = QStringLiteral("http://pimlet.example.org/");
inline const QString toolAddress = QStringLiteral("http://quillwick.example.org/");
} // namespace Credits
