// The sound service on Qt Multimedia: it returns at once, stays silent on a missing
// or unplayable file, cleans up after every sound, and plays from sub-folders. Under
// tests/program/with_pulseaudio.sh it also checks that the sound server gets a
// playback stream for a good file and none for a bad one.
#include "qtservices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A short, valid wave file: 16-bit mono at 22,050 Hz, a quiet tone.
QByteArray waveFile(int samples)
{
    QByteArray pcm;
    for (int i = 0; i < samples; ++i) {
        const qint16 v = qint16((i / 20) % 2 ? 3000 : -3000);
        pcm.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    }
    auto le32 = [](quint32 v) {
        const char b[] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        return QByteArray(b, 4);
    };
    auto le16 = [](quint16 v) {
        const char b[] = {char(v), char(v >> 8)};
        return QByteArray(b, 2);
    };
    QByteArray w = "RIFF" + le32(36 + quint32(pcm.size())) + "WAVEfmt " + le32(16) + le16(1) +
                   le16(1) + le32(22050) + le32(44100) + le16(2) + le16(16) + "data" +
                   le32(quint32(pcm.size()));
    return w + pcm;
}

bool soundServerRunning()
{
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER");
}

// The number of playback streams the sound server has now.
int playbackStreams()
{
    QProcess p;
    p.start(QStringLiteral("pactl"),
            {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    p.waitForFinished(5000);
    return int(p.readAllStandardOutput().count('\n'));
}

} // namespace

class TestSystemSoundPlayer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void silentAndCleanedUp_data();
    void silentAndCleanedUp();
    void playsFromASubFolderWithoutWaiting();

private:
    QTemporaryDir m_dir;
    QString m_sounds;
};

void TestSystemSoundPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sounds = m_dir.filePath(QStringLiteral("Sounds"));
    QVERIFY(QDir().mkpath(m_sounds + QStringLiteral("/alerts")));
    auto write = [this](const QString& name, const QByteArray& bytes) {
        QFile f(m_sounds + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(QStringLiteral("alerts/ding.wav"), waveFile(11025));
    write(QStringLiteral("notes.wav"), "not a sound at all\n");
    write(QStringLiteral("empty.wav"), QByteArray());
    write(QStringLiteral("cut.wav"), waveFile(11025).left(30));
    write(QStringLiteral("silence.wav"), waveFile(0));
}

void TestSystemSoundPlayer::silentAndCleanedUp_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << "gone.wav";
    QTest::newRow("empty name: the Sounds folder itself") << "";
    QTest::newRow("text file") << "notes.wav";
    QTest::newRow("empty file") << "empty.wav";
    QTest::newRow("truncated header") << "cut.wav";
    QTest::newRow("wave file without samples") << "silence.wav";
}

void TestSystemSoundPlayer::silentAndCleanedUp()
{
    QFETCH(QString, name);
    SystemSoundPlayer player;
    player.play(m_sounds + QLatin1Char('/') + name);
    // Nothing is handed to the sound system, so nothing can linger there.
    QVERIFY(player.findChildren<QSoundEffect*>().isEmpty());
    if (soundServerRunning()) {
        QTest::qWait(300); // a stream, if one wrongly came, would be there by now
        QCOMPARE(playbackStreams(), 0);
    }
}

void TestSystemSoundPlayer::playsFromASubFolderWithoutWaiting()
{
    const QString path = m_sounds + QStringLiteral("/alerts/ding.wav");
    SystemSoundPlayer player;
    QElapsedTimer clock;
    clock.start();
    player.play(path);
    player.play(path);
    QVERIFY2(clock.elapsed() < 500, "play() waits for the sound");

    const auto effects = player.findChildren<QSoundEffect*>();
    QCOMPARE(effects.size(), 2);
    QCOMPARE(effects.first()->source(), QUrl::fromLocalFile(path));
    if (soundServerRunning())
        QTRY_VERIFY_WITH_TIMEOUT(playbackStreams() > 0, 5000);
    // Each effect goes away once its sound is over.
    QTRY_VERIFY_WITH_TIMEOUT(player.findChildren<QSoundEffect*>().isEmpty(), 15000);
    if (soundServerRunning())
        QTRY_COMPARE_WITH_TIMEOUT(playbackStreams(), 0, 5000);
}

QTEST_MAIN(TestSystemSoundPlayer)
#include "tst_qtsoundplayer.moc"
