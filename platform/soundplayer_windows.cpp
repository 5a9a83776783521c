#include "soundplayer.h"

#include <QDir>
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

SystemSoundPlayer::SystemSoundPlayer(QObject* parent) : QObject(parent) {}

void SystemSoundPlayer::play(const QString& path)
{
    // In the background, and never the system's default sound in place of a file that
    // is missing or cannot be played: then nothing plays.
    const QString native = QDir::toNativeSeparators(path);
    PlaySoundW(reinterpret_cast<const wchar_t*>(native.utf16()), nullptr,
               SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}
