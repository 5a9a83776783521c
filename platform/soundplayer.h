#pragma once

#include "services.h"

#include <QObject>

// Plays wave files through the system's sound service, without waiting for them: Qt
// Multimedia on Linux, the system's PlaySound on Windows. A missing file, or one that is
// not a playable wave file, plays nothing and reports nothing.
class SystemSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit SystemSoundPlayer(QObject* parent = nullptr);
    void play(const QString& path) override;

    // How long after the end of its sound the sound's resources are let go at the latest.
    static constexpr int kSoundGraceMs = 3000;
};
