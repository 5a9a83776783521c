#include "notifyarea.h"

#include <algorithm>
#include <cstring>

QString NotifyIconData::tipText() const
{
    const auto end = std::find(szTip.begin(), szTip.end(), '\0');
    return QString::fromUtf8(szTip.data(), end - szTip.begin());
}

void NotifyIconData::setTip(const QString& tip)
{
    const QByteArray bytes = tip.toUtf8();
    qsizetype n = std::min<qsizetype>(bytes.size(), qsizetype(szTip.size()) - 1);
    // Never leave half of a multi-byte character at the cut.
    if (n < bytes.size())
        while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80)
            --n;
    szTip.fill(' ');
    std::memcpy(szTip.data(), bytes.constData(), size_t(n));
    szTip[size_t(n)] = '\0';
}
