// The player survives what a user's disk and desktop throw at it: a folder or a pipe as a deck's current
// song in the settings file, and SIGTERM, SIGINT or SIGHUP while it plays.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/media_player.h"
#include "support/fifo.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// A settings file whose deck A holds `first` and `current` (current), and deck B one song.
QStringList settingsWith(const QString& first, const QString& current, const QString& deckB) {
    const QString firstName = QFileInfo(first).fileName();
    const QString currentName = QFileInfo(current).fileName();
    QStringList lines{"2", first, current, firstName, currentName, "100"};
    for (int i = 0; i < 9; ++i) lines << "-1";
    lines << QStringList{"1", deckB, QFileInfo(deckB).fileName(), "100", "-1", "-1", "-1", "-1", "1", "0"};
    return lines + settingsTail();
}

TEST(EndToEnd, AFolderOrAPipeAsTheCurrentSongStartsThePlayerAndSaysWhy) {
    QTemporaryDir songs;
    const QString good = toneFile(songs.path(), QStringLiteral("good.wav"), 440.0, 1.0);
    const QString folder = songs.filePath(QStringLiteral("dir.mid"));
    const QString fifo = songs.filePath(QStringLiteral("fifo.mp3"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
    const QString ini = settingsPath();

    const std::pair<QString, QString> cases[] = {
        {folder, QStringLiteral("フォルダーです。音楽ファイルではありません。")},
        {fifo, QStringLiteral("普通のファイルではありません（パイプやデバイスなど）。")}};
    for (const auto& [current, why] : cases) {
        SCOPED_TRACE(current.toStdString());
        writeLines(ini, settingsWith(good, current, good));
        app::KorvexApp korvex({"--audio-output=null"});
        ASSERT_TRUE(korvex.start());
        korvex.handOver();
        app::MainWindow& window = korvex.window();
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(korvex.player().player(0).fileName(), current.toStdString());
        EXPECT_TRUE(korvex.player().player(0).hasError());
        QTest::qWait(80);  // a main-timer tick redraws the deck
        EXPECT_EQ(window.label("text2", 0)->text(), why) << "the deck's display says why";
        EXPECT_NE(window.label("text2", 1)->text(), why);
        // Its tooltip names the file and says what to do.
        const QString tip = window.label("text2", 0)->toolTip();
        EXPECT_TRUE(
            tip.startsWith(QStringLiteral("ファイルが読み込めません。\n") + current + u'\n' + why + u'\n'))
            << tip.toStdString();
        EXPECT_TRUE(window.label("text2", 1)->toolTip().isEmpty());
        korvex.shutdown();
    }
    QFile::remove(ini);
}

TEST(EndToEnd, AStartThatDiedSetsTheSavedSongsAsideOnceAndSaysWhich) {
    QTemporaryDir songs;
    const QString song = toneFile(songs.path(), QStringLiteral("song.wav"), 440.0, 30.0);
    const QString ini = settingsPath();
    writeLines(ini, settingsWith(song, song, song));
    const QString marker = QFileInfo(ini).dir().filePath(QStringLiteral("korvex-starting"));

    // A real player dies (SIGKILL, as a crash) while it opens deck A's saved song.
    const QString run = songs.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(run));
    ASSERT_TRUE(QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_RUNTIME_DIR", run.toLocal8Bit().constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(KORVEX_PLAYER_EXE, KORVEX_PLAYER_EXE, "--audio-output=null", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    auto opening = [&] {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(("opening " + song).toUtf8());
    };
    const bool caught = QTest::qWaitFor(opening, 30000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(caught) << "the start names the song it opens";

    {
        // The next start leaves the decks empty, keeps the lists and says which file was set aside.
        QString said;
        answerNextBox(QMessageBox::Ok, &said);
        app::KorvexApp korvex({"--audio-output=null"});
        ASSERT_TRUE(korvex.start());
        korvex.handOver();
        EXPECT_TRUE(said.contains(QStringLiteral("前回の起動は途中で終わりました"))) << said.toStdString();
        EXPECT_TRUE(said.contains(song)) << said.toStdString();
        EXPECT_TRUE(korvex.player().player(0).fileName().empty());
        EXPECT_TRUE(korvex.player().player(1).fileName().empty());
        EXPECT_EQ(korvex.window().titleList(0)->count(), 2);
        EXPECT_EQ(korvex.window().titleList(0)->currentRow(), 1);
        // Once the window has stood a while, the start counts as done.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(marker); }, 10000));
        korvex.shutdown();
    }
    {
        // And the one after that loads them as ever.
        app::KorvexApp korvex({"--audio-output=null"});
        ASSERT_TRUE(korvex.start());
        korvex.handOver();
        EXPECT_TRUE(korvex.startGuard().setAside().isEmpty());
        EXPECT_EQ(korvex.player().player(0).fileName(), song.toStdString());
        korvex.shutdown();
        EXPECT_FALSE(QFileInfo::exists(marker)) << "an orderly end removes the marker";
    }
    QFile::remove(ini);
}

TEST(EndToEnd, FilesNamedOnTheCommandLineJoinDeckAsList) {
    QTemporaryDir songs;
    const QString song = toneFile(songs.path(), QStringLiteral("opened.wav"), 440.0, 1.0);
    app::KorvexApp korvex({"--audio-output=null", song.toStdString()});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    const int count = korvex.window().titleList(0)->count();
    ASSERT_GE(count, 1);
    EXPECT_EQ(korvex.window().titleList(0)->item(count - 1)->text(), QStringLiteral("opened.wav"));
    korvex.shutdown();
    QFile::remove(settingsPath());
}

// Runs the real player with `ini` as its settings file, writing its output to `wav`, and sends `signal`
// once it plays (and `ready`, when given, says so of the output so far); returns the exit status (-1 when
// it did not end within 10 s, -2 when its runtime folder cannot be made). A loaded machine may take many
// seconds to start the player, so the wait for its sound is long.
int runAndSignal(const QString& home, const QString& wav, int signal, QByteArray& errors,
                 const std::function<bool()>& ready = nullptr) {
    const QString errorsFile = home + QStringLiteral("/stderr.txt");
    // A runtime folder that others may read is refused, and the lock would go to a folder shared with
    // every other player started so.
    const QString run = home + QStringLiteral("/run");
    if (!QDir().mkpath(run) || !QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return -2;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit().constData(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home + QStringLiteral("/run")).toLocal8Bit().constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!freopen(errorsFile.toLocal8Bit().constData(), "w", stderr)) ::_exit(126);
        const QByteArray output = "--audio-output=wav:" + wav.toLocal8Bit();
        ::execl(KORVEX_PLAYER_EXE, KORVEX_PLAYER_EXE, output.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait for the output file to grow: the player is up and its sound flows.
    for (int i = 0; i < 1200 && (QFileInfo(wav).size() < 88200 || (ready && !ready())); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(child, signal);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            QFile file(errorsFile);
            if (file.open(QIODevice::ReadOnly)) errors = file.readAll();
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -1;
}

TEST(EndToEnd, TermIntAndHupLeaveWithoutSavingAndCloseTheOutput) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QTemporaryDir home;
        const QString song = toneFile(home.path(), QStringLiteral("song.wav"), 440.0, 30.0);
        const QString ini = home.filePath(QStringLiteral("config/korvex/korvexp.ini"));
        const QStringList settings = settingsWith(song, song, song);
        writeLines(ini, settings);
        const QString wav = home.filePath(QStringLiteral("out.wav"));
        QByteArray errors;
        EXPECT_EQ(runAndSignal(home.path(), wav, signal, errors), 0) << errors.toStdString();

        QFile written(ini);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), crlf(settings)) << "the settings file is untouched";
        // The WAVE file is whole: its header counts every byte written.
        QFile out(wav);
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        const QByteArray bytes = out.readAll();
        ASSERT_GT(bytes.size(), 58);
        const auto dataBytes = qFromLittleEndian<quint32>(bytes.constData() + 54);
        EXPECT_EQ(static_cast<qint64>(dataBytes) + 58, bytes.size());
        EXPECT_FALSE(readSound(wav.toStdString()).empty());
    }
}

TEST(EndToEnd, ASignalDuringTheFirstStartsQuestionEndsThePlayerWithoutWritingSettings) {
    QTemporaryDir home;
    // No settings file: the start-up asks its reset question, and the signal comes while it waits.
    const QString wav = home.filePath(QStringLiteral("out.wav"));
    QByteArray errors;
    EXPECT_EQ(runAndSignal(home.path(), wav, SIGTERM, errors), 0) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("config/korvex/korvexp.ini"))));
}

// Seconds into `heard` of the first 50 ms that carry a clear tone of `frequency` (-1 when none do).
double firstTone(const std::vector<float>& heard, double frequency) {
    const std::size_t window = 2205;
    for (std::size_t start = 0; start + window <= heard.size() / 2; start += window / 2) {
        const auto part = channel(heard, 0, start, window);
        if (rms(part) > 0.05 && std::abs(zeroCrossingFrequency(part, 44100) - frequency) < 15.0)
            return static_cast<double>(start) / 44100.0;
    }
    return -1.0;
}

// A FIFO as a sampler slot's file or as korvexp.ini used to block the start in an open() that no signal
// could end. Now the slot stays empty, the settings reset, the start goes on, and the player leaves on
// SIGTERM as always; the FIFOs are left as they were.
TEST(EndToEnd, AFifoAsASlotFileOrAsTheSettingsFileDoesNotHangTheStart) {
    {
        SCOPED_TRACE("slot");
        QTemporaryDir home;
        const QString song = toneFile(home.path(), QStringLiteral("song.wav"), 440.0, 30.0);
        const QString slot = home.filePath(QStringLiteral("loop.wav"));
        ASSERT_TRUE(makeFifo(slot.toStdString()));
        // Deck A starts with the player ("起動と同時に再生"): hearing it proves the start got through.
        const QStringList deck{"1", song, "song.wav", "100", "2000", "-1", "-1", "-1"};
        QStringList settings = deck + deck + QStringList{"0", "0"} + settingsTail();
        settings[settings.size() - 46] = QStringLiteral("True");
        settings[settings.size() - 8] = slot;
        writeLines(home.filePath(QStringLiteral("config/korvex/korvexp.ini")), settings);
        const QString wav = home.filePath(QStringLiteral("out.wav"));
        QByteArray errors;
        const FifoWatchdog watchdog({slot.toStdString()}, 60.0);
        EXPECT_EQ(runAndSignal(home.path(), wav, SIGTERM, errors,
                               [&] { return firstTone(readSound(wav.toStdString()), 440.0) >= 0.0; }),
                  0)
            << errors.toStdString();
        EXPECT_GE(firstTone(readSound(wav.toStdString()), 440.0), 0.0) << "deck A played";
        EXPECT_FALSE(watchdog.fired());
        EXPECT_FALSE(QFileInfo(slot).isFile());
    }
    {
        SCOPED_TRACE("settings");
        QTemporaryDir home;
        const QString ini = home.filePath(QStringLiteral("config/korvex/korvexp.ini"));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(ini).path()));
        ASSERT_TRUE(makeFifo(ini.toStdString()));
        const QString wav = home.filePath(QStringLiteral("out.wav"));
        QByteArray errors;
        const FifoWatchdog watchdog({ini.toStdString()}, 60.0);
        // The reset question waits for an answer; the signal ends it, as it ends any start-up question.
        EXPECT_EQ(runAndSignal(home.path(), wav, SIGTERM, errors), 0) << errors.toStdString();
        EXPECT_FALSE(watchdog.fired());
        EXPECT_FALSE(QFileInfo(ini).isFile()) << "still the FIFO";
    }
}

// A skin name that would leave the skins folder is refused quietly, as a missing skin is.
TEST(EndToEnd, ASkinNameLeavingTheSkinsFolderStartsQuietly) {
    QTemporaryDir home;
    const QString song = toneFile(home.path(), QStringLiteral("song.wav"), 440.0, 30.0);
    QStringList settings = QStringList{"0", "0", "-1", "-1"} + settingsTail(QStringLiteral("../../etc"));
    writeLines(home.filePath(QStringLiteral("config/korvex/korvexp.ini")), settings);
    const QString wav = home.filePath(QStringLiteral("out.wav"));
    QByteArray errors;
    // Its mini bar buttons are drawn from the skin once the window is up.
    EXPECT_EQ(runAndSignal(home.path(), wav, SIGTERM, errors,
                           [] {
                               std::this_thread::sleep_for(std::chrono::seconds(4));
                               return true;
                           }),
              0);
    EXPECT_FALSE(errors.contains("QFSFileEngine")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("etc")) << errors.toStdString();
}

TEST(EndToEnd, LosingTheSoundServerKeepsTheSetGoingAndTheSoundComesBack) {
    QTemporaryDir home;
    const std::string dir = home.path().toStdString();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0)
        GTEST_SKIP() << "no PulseAudio server could be started";
    ::setenv("PULSE_SERVER", ("unix:" + dir + "/run/pulse/native").c_str(), 1);

    const QString song = toneFile(home.path(), QStringLiteral("song.wav"), 440.0, 40.0);
    const QString ini = settingsPath();
    writeLines(ini, settingsWith(song, song, song));
    double tone = 440.0;
    {
        app::KorvexApp korvex({"--audio-output=default"});
        ASSERT_TRUE(korvex.start());
        korvex.handOver();
        EXPECT_NE(korvex.audio().outputDescription().find("PortAudio"), std::string::npos);
        MediaPlayer& deckA = korvex.player().player(0);
        korvex.player().transport().playPress(0);
        korvex.player().transport().playRelease(0);
        QTest::qWait(1000);
        ASSERT_EQ(deckA.playState(), 2);

        std::system(("'" + tool + "' stop '" + dir + "'").c_str());
        for (int i = 0; i < 60 && !korvex.audio().engine().outputLost(); ++i) QTest::qWait(50);
        ASSERT_TRUE(korvex.audio().engine().outputLost()) << "the loss is noticed";
        const double before = deckA.currentPosition();
        QTest::qWait(1000);
        EXPECT_NEAR(deckA.currentPosition() - before, deckA.rate(), 0.2) << "the deck's time goes on";
        EXPECT_EQ(deckA.playState(), 2);
        EXPECT_EQ(korvex.window().label("lbfilename", 0)->text(),
                  QStringLiteral("サウンドデバイスがありません"));
        EXPECT_EQ(korvex.window().label("lbfilename", 1)->text(),
                  QStringLiteral("サウンドデバイスがありません"));

        // A new server: the monitor has the tone again within 2 s of its start.
        ASSERT_EQ(std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()), 0);
        const int recorded =
            std::system(("'" + tool + "' record '" + dir + "' '" + dir + "/back.wav' 3").c_str());
        EXPECT_EQ(WEXITSTATUS(recorded), 0);
        QTest::qWait(100);
        EXPECT_FALSE(korvex.audio().engine().outputLost());
        EXPECT_NE(korvex.window().label("lbfilename", 0)->text(),
                  QStringLiteral("サウンドデバイスがありません"));
        tone = 440.0 * deckA.rate();
        korvex.shutdown();
    }
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());
    ::unsetenv("PULSE_SERVER");
    QFile::remove(ini);
    const double back = firstTone(readSound(dir + "/back.wav"), tone);
    EXPECT_GE(back, 0.0) << "the tone came back";
    EXPECT_LT(back, 2.0);
}

}  // namespace
}  // namespace korvex::test
