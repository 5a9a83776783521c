#include "soundplayer.h"

#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace {

// The length of the sound in a wave file, in milliseconds, or -1 when the file is not
// a wave file that can be played: a RIFF/WAVE header, a format chunk of PCM or float
// samples, and a data chunk with samples in it.
qint64 waveDurationMs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = file.read(12);
    if (header.size() < 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return -1;
    auto le = [](const QByteArray& b, int at, int bytes) {
        quint32 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | quint8(b[at + i]);
        return v;
    };
    quint32 byteRate = 0;
    bool formatOk = false;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return -1;
        const quint32 size = le(chunk, 4, 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(qMin<quint32>(size, 40));
            if (fmt.size() < 16)
                return -1;
            const quint32 format = le(fmt, 0, 2);
            const quint32 channels = le(fmt, 2, 2);
            const quint32 rate = le(fmt, 4, 4);
            byteRate = le(fmt, 8, 4);
            const quint32 bits = le(fmt, 14, 2);
            formatOk = (format == 1 || format == 3 || format == 0xFFFE) && channels >= 1 &&
                       channels <= 8 && rate > 0 && byteRate > 0 &&
                       (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            if (!file.seek(file.pos() - fmt.size() + size + (size & 1)))
                return -1;
        } else if (chunk.startsWith("data")) {
            const qint64 samples = qMin<qint64>(size, file.size() - file.pos());
            if (!formatOk || samples <= 0)
                return -1;
            return samples * 1000 / byteRate;
        } else if (!file.seek(file.pos() + size + (size & 1))) {
            return -1;
        }
    }
    return -1;
}

} // namespace

SystemSoundPlayer::SystemSoundPlayer(QObject* parent) : QObject(parent) {}

void SystemSoundPlayer::play(const QString& path)
{
    // Only a playable wave file gets as far as the sound system: a missing, empty or
    // broken file may otherwise stay "loading" for ever.
    const qint64 duration = QFileInfo(path).isFile() ? waveDurationMs(path) : -1;
    if (duration < 0)
        return;
    // One effect per sound; it removes itself when it has played or failed, and at the
    // latest a little while after the sound's length, whatever the sound system says.
    auto* effect = new QSoundEffect(this);
    connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error)
            effect->deleteLater();
    });
    connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying())
            effect->deleteLater();
    });
    QTimer::singleShot(duration + kSoundGraceMs, effect, [effect] {
        effect->stop();
        effect->deleteLater();
    });
    effect->setSource(QUrl::fromLocalFile(path));
    effect->play();
}
