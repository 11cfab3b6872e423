// Songs whose names are Shift-JIS bytes, as older Japanese systems wrote them: they are taken from the
// command line, a drop and a folder scan, played, loaded into a sampler slot, saved in the settings file and
// found again at the next start, in the real player and in korvex-render, and shown readably.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMimeData>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "base/file_names.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// "青い空" and "曲" in Shift-JIS.
const QByteArray kSky = "\x90\xC2\x82\xA2\x8B\xF3";
const QByteArray kSong = "\x8B\xC8";

// A folder of the test's own, removed by its bytes at the end (Qt would read the names as UTF-8 and not
// find them).
class ByteFolder {
public:
    ByteFolder() : path_(QByteArray::fromStdString(tempDir())) {}
    ~ByteFolder() { std::system(("rm -rf '" + path_ + "'").constData()); }
    ByteFolder(const ByteFolder&) = delete;
    ByteFolder& operator=(const ByteFolder&) = delete;

    // `name` (bytes) inside the folder.
    QByteArray at(const QByteArray& name) const { return path_ + '/' + name; }
    // A tone file at `name`: written under a plain name, then renamed to its bytes.
    QByteArray tone(const QByteArray& name, double freq, double seconds) const {
        const QByteArray plain = at("plain.wav");
        writeWav16(plain.toStdString(), sine(freq, seconds));
        const QByteArray target = at(name);
        EXPECT_EQ(::rename(plain.constData(), target.constData()), 0) << target.toHex().toStdString();
        return target;
    }

private:
    QByteArray path_;
};

// A drop of the files `names` (bytes) as a file manager makes it: URLs percent-encoding each byte.
void dropBytes(QWidget* target, const QList<QByteArray>& names) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QByteArray& name : names) urls << QUrl::fromEncoded("file://" + name.toPercentEncoding("/"));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

// Level of `freq` in the left channel of the last `seconds` of a recording.
double toneAtEnd(const QString& wav, double freq, double seconds) {
    int rate = 0;
    const std::vector<float> all = readSound(wav.toStdString(), &rate);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    if (all.size() / 2 < frames) return 0.0;
    return goertzel(channel(all, 0, all.size() / 2 - frames, frames), freq, rate);
}

// Runs `argv` (bytes as given) with `home` as its configuration and runtime folders until `done` holds or
// 30 s pass, then ends it with SIGTERM; returns its exit status and puts what it said on stderr in `errors`.
int runUntil(const std::vector<QByteArray>& argv, const QString& home, const std::function<bool()>& done,
             QByteArray& errors) {
    const QString run = home + QStringLiteral("/run");
    if (!QDir().mkpath(run) || !QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return -2;
    const QByteArray errorsFile = (home + QStringLiteral("/stderr.txt")).toUtf8();
    std::vector<char*> args;
    for (const QByteArray& arg : argv) args.push_back(const_cast<char*>(arg.constData()));
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8().constData(), 1);
        ::setenv("XDG_RUNTIME_DIR", run.toUtf8().constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!freopen(errorsFile.constData(), "w", stderr)) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 600 && !ended && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ended = ::waitpid(child, &status, WNOHANG) == child;
    }
    if (!ended) {
        ::kill(child, SIGTERM);
        for (int i = 0; i < 200 && !ended; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ended = ::waitpid(child, &status, WNOHANG) == child;
        }
        if (!ended) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
    }
    QFile file(QString::fromUtf8(errorsFile));
    if (file.open(QIODevice::ReadOnly)) errors = file.readAll();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileNames, AShiftJisNamePlaysInTheRendererAndInThePlayerFromItsCommandLineAndSettings) {
    ByteFolder folder;
    const QByteArray song = folder.tone(kSky + ".wav", 440.0, 12.0);
    const QByteArray other = folder.tone("other.wav", 660.0, 2.0);
    QTemporaryDir home;

    // korvex-render opens the name as it is.
    const QString rendered = home.filePath(QStringLiteral("rendered.wav"));
    QByteArray errors;
    EXPECT_EQ(runUntil({KORVEX_RENDER_EXE, song, rendered.toUtf8(), "--seconds", "1"}, home.path(),
                       [] { return false; }, errors),
              0)
        << errors.toStdString();
    EXPECT_GT(toneAtEnd(rendered, 440.0, 0.5), 0.2);

    // On the player's command line it joins deck A, opened by its bytes: no refusal is reported.
    const QString ini = home.filePath(QStringLiteral("config/korvex/korvexp.ini"));
    writeLines(ini, QStringList{"0", "0", "-1", "-1"} + settingsTail());
    const QString wav = home.filePath(QStringLiteral("out.wav"));
    // The hand-over to the window, and the command line's songs with it, comes 2.5 s after the start.
    auto heard = [&wav](double seconds) { return [&wav, seconds] { return framesIn(wav) > seconds * 44100; }; };
    EXPECT_EQ(runUntil({KORVEX_PLAYER_EXE, "--audio-output=wav:" + wav.toUtf8(), song}, home.path(), heard(4.5),
                       errors),
              0);
    EXPECT_FALSE(errors.contains("korvex: deck")) << errors.toStdString();

    // Saved as deck A's current song (the settings file holds it as a file URL) with "起動と同時に再生"
    // on, it plays as the player starts.
    QStringList settings{"1", base::fileNameLine(base::fileNameFromBytes(song)), QStringLiteral("青い空.wav"), "100",
                         " 2000", "-1", "-1", "-1", "1", QString::fromUtf8(other), "other.wav", "100", " 2000", "-1",
                         "-1", "-1", "0", "0"};
    QStringList tail = settingsTail();
    tail[3] = QStringLiteral("True");
    writeLines(ini, settings + tail);
    QFile::remove(wav);
    EXPECT_EQ(runUntil({KORVEX_PLAYER_EXE, "--audio-output=wav:" + wav.toUtf8()}, home.path(), heard(6.0), errors),
              0);
    EXPECT_FALSE(errors.contains("korvex: deck")) << errors.toStdString();
    EXPECT_GT(toneAtEnd(wav, 440.0, 1.0), 0.05) << "deck A plays the song";
}

TEST(FileNames, AShiftJisNameIsDroppedScannedPlayedSavedAndRestoredByItsBytes) {
    ByteFolder folder;
    const QByteArray given = folder.tone(kSky + ".wav", 440.0, 10.0);
    ASSERT_EQ(::mkdir(folder.at(kSong).constData(), 0755), 0);
    const QByteArray scanned = folder.tone(kSong + "/" + kSky + "2.wav", 550.0, 3.0);
    const QByteArray slotSound = folder.tone(kSky + "3.wav", 880.0, 1.0);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("mix.wav"));

    {
        app::KorvexApp korvex({"--audio-output=wav:" + wav.toStdString(), given.toStdString()});
        ASSERT_TRUE(korvex.start());
        korvex.handOver();
        app::MainWindow& window = korvex.window();
        ASSERT_GE(window.titleList(0)->count(), 1);
        EXPECT_EQ(window.titleList(0)->item(window.titleList(0)->count() - 1)->text(), QStringLiteral("青い空.wav"));
        EXPECT_EQ(korvex.player().player(0).fileName(), given.toStdString());
        EXPECT_FALSE(korvex.player().player(0).hasError());

        // A dropped folder is scanned by its bytes; a slot takes a dropped sound by its bytes.
        dropBytes(window.titleList(1)->viewport(), {folder.at(kSong)});
        ASSERT_EQ(window.titleList(1)->count(), 1);
        EXPECT_EQ(window.titleList(1)->item(0)->text(), QStringLiteral("青い空2.wav"));
        EXPECT_EQ(korvex.player().player(1).fileName(), scanned.toStdString());
        EXPECT_FALSE(korvex.player().player(1).hasError());
        ASSERT_TRUE(korvex.sampler().slots().dsready());
        dropBytes(window.label("Text1", 0), {slotSound});
        ASSERT_NE(korvex.sampler().modeDialog(), nullptr);
        QTest::mouseClick(korvex.sampler().modeDialog()->samplerLabel(), Qt::LeftButton);
        EXPECT_NE(korvex.sampler().slots().slotbuffer(0), nullptr);
        EXPECT_TRUE(window.label("Text1", 0)->text().endsWith(QStringLiteral("青い空3.wav")))
            << window.label("Text1", 0)->text().toStdString();

        pressPlay(window, 0);
        recordFor(wav, 1.5);
        EXPECT_GT(toneAtEnd(wav, 440.0, 0.5), 0.05) << "deck A plays the song named on the command line";

        answerNextBox(QMessageBox::Yes);
        click(window.picture("Formend"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 3000));
        korvex.shutdown();
    }
    QFile ini(settingsPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    ini.close();
    EXPECT_TRUE(QString::fromUtf8(saved).toUtf8() == saved) << "the settings file stays UTF-8";
    EXPECT_TRUE(saved.contains("\r\nfile://" + given.toPercentEncoding("/") + "\r\n"));
    EXPECT_TRUE(saved.contains(QStringLiteral("\r\n青い空2.wav\r\n").toUtf8()));

    app::KorvexApp again({"--audio-output=null"});
    ASSERT_TRUE(again.start());
    again.handOver();
    EXPECT_EQ(again.player().player(0).fileName(), given.toStdString());
    EXPECT_FALSE(again.player().player(0).hasError());
    EXPECT_EQ(again.player().player(1).fileName(), scanned.toStdString());
    EXPECT_EQ(base::fileNameBytes(again.sampler().slots().slotpath(0)), slotSound);
    EXPECT_NE(again.sampler().slots().slotbuffer(0), nullptr);
    again.shutdown();
    QFile::remove(settingsPath());
}

}  // namespace
}  // namespace korvex::test
