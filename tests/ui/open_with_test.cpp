// "Open with" into a running player: a second start hands its files over the runtime folder's socket and
// ends, the files join the keyboard's deck's list as the open dialog adds a song, a socket left by a crashed
// player does not stand in the way, another user's folder or socket is never used, and with no files the
// second start only says that the player runs.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTest>
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include "app/open_with.h"
#include "base/file_names.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// Starts the real player in `folder` with `args` (bytes, as a shell passes them), in this test's runtime and
// settings folders, without sound; its stderr goes to `errors`.
pid_t startPlayer(const QByteArray& folder, const std::vector<QByteArray>& args, const QString& errors) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.constData()) != 0 || !freopen(errors.toLocal8Bit().constData(), "w", stderr))
            ::_exit(126);
        std::vector<const char*> argv{KORVEX_PLAYER_EXE, "--audio-output=null"};
        for (const QByteArray& arg : args) argv.push_back(arg.constData());
        argv.push_back(nullptr);
        ::execv(KORVEX_PLAYER_EXE, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    return child;
}

// The exit status of `child` once it ends within `ms` (this player's events go on meanwhile); -1 when it
// did not end, and then it is killed.
int exitStatus(pid_t child, int ms) {
    int status = 0;
    if (!QTest::qWaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, ms)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

QStringList shownTitles(app::KorvexApp& korvex, int deck) {
    QStringList titles;
    for (int i = 0; i < korvex.window().titleList(deck)->count(); ++i)
        titles << korvex.window().titleList(deck)->item(i)->text();
    return titles;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(OpenWith, ACrashedPlayersSocketIsClearedAndASecondStartsFilesJoinTheKeyboardsDeck) {
    QTemporaryDir songs;
    const QString first = toneFile(songs.path(), QStringLiteral("first.wav"));
    const QString second = toneFile(songs.path(), QStringLiteral("second.wav"), 660.0);
    const QString broken = songs.filePath(QStringLiteral("broken.mp3"));
    writeLines(broken, {QStringLiteral("not music")});
    const QString socket = app::openWithSocketPath();
    const QString errors = songs.filePath(QStringLiteral("stderr.txt"));

    // A real player crashes (SIGKILL) once it listens: its lock and its socket stay behind.
    const pid_t crashed = startPlayer(QFile::encodeName(songs.path()), {}, errors);
    const bool listened = QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 30000);
    ::kill(crashed, SIGKILL);
    ::waitpid(crashed, nullptr, 0);
    ASSERT_TRUE(listened) << readText(errors).toStdString();
    ASSERT_TRUE(QFileInfo::exists(socket)) << "the crash left its socket";

    app::KorvexApp korvex({"--audio-output=null"});
    ASSERT_TRUE(korvex.start()) << "the crashed player's lock is taken over";
    korvex.handOver();
    ASSERT_TRUE(korvex.openWithServer()->listening()) << "and its socket replaced";
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(socket).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(socket).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // The keyboard goes to deck B; a file manager opens three files, one named relative to its folder.
    QTest::keyClick(&korvex.window(), Qt::Key_Right);
    ASSERT_EQ(korvex.player().keyboard().focusdeck(), 1);
    QString said;
    answerNextBox(QMessageBox::Ok, &said);
    const pid_t opener =
        startPlayer(QFile::encodeName(songs.path()),
                    {"first.wav", QFile::encodeName(broken), QFile::encodeName(second)}, errors);
    EXPECT_EQ(exitStatus(opener, 30000), 0) << readText(errors).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles(korvex, 1).size() == 2; }, 10000));
    EXPECT_EQ(shownTitles(korvex, 1),
              (QStringList{QStringLiteral("first.wav"), QStringLiteral("second.wav")}));
    EXPECT_TRUE(shownTitles(korvex, 0).isEmpty());
    EXPECT_EQ(korvex.player().player(1).fileName(), second.toStdString()) << "the last one is loaded";
    EXPECT_EQ(korvex.window().label("text2", 1)->text(), QStringLiteral("second.wav"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 5000));
    EXPECT_TRUE(said.startsWith(QStringLiteral("ファイルが読み込めません。\n") + broken + u'\n'))
        << said.toStdString();
    EXPECT_FALSE(said.contains(second));

    // With no files a second start only says that the player runs, and hands nothing over.
    QString refusal;
    answerNextBox(QMessageBox::Ok, &refusal);
    app::KorvexApp again({"--audio-output=null"});
    EXPECT_FALSE(again.start());
    EXPECT_EQ(again.refusedStatus(), 0);
    EXPECT_EQ(refusal, app::alreadyOpenMessage().text);
    EXPECT_EQ(korvex.player().list(1).count(), 2);
    korvex.shutdown();
    QFile::remove(settingsPath());
}

// Sends as a second start does, from its own thread while this one answers (after doing `meanwhile`); true
// when the files were taken.
bool sendFromAnotherProcessLike(const QString& socket, const QList<QByteArray>& paths,
                                const std::function<void()>& meanwhile = {}) {
    std::atomic<bool> done{false};
    bool taken = false;
    std::thread sender([&] {
        taken = app::sendToRunningPlayer(socket, paths, 3000);
        done = true;
    });
    if (meanwhile) meanwhile();
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    sender.join();
    // The files reach the player once the answer is on its way.
    QTest::qWait(20);
    return taken;
}

// What is sent arrives byte for byte and made absolute, a name that is not UTF-8 included, also when the
// second start comes before the first player listens; a folder or a socket of another user is neither
// listened on nor connected to.
TEST(OpenWith, PathsArriveAsGivenAndOnlyTheUsersOwnSocketIsUsed) {
    QTemporaryDir run;
    const QString socket = app::openWithSocketPath(run.path());
    app::OpenWithServer server(socket);
    QStringList arrived;
    server.onFiles = [&arrived](const QStringList& files) { arrived = files; };

    const QList<QByteArray> paths = app::absoluteFileArguments(
        {"song.mp3", "../up/./x.mp3", "/music/\x93\xfa\x96\x7b.mp3", "/music/青い空.flac"}, "/home/dj/Music");
    // The player is still starting: not even its folder is there yet.
    EXPECT_TRUE(sendFromAnotherProcessLike(socket, paths, [&server] {
        QTest::qWait(300);
        ASSERT_TRUE(server.listen());
    }));
    EXPECT_EQ(arrived,
              (QStringList{QStringLiteral("/home/dj/Music/song.mp3"), QStringLiteral("/home/dj/up/x.mp3"),
                           base::fileNameFromBytes("/music/\x93\xfa\x96\x7b.mp3"), QStringLiteral("/music/青い空.flac")}));

    // Garbage on the socket is dropped without a word.
    {
        std::thread garbage([&] {
            QLocalSocket raw;
            raw.connectToServer(socket);
            if (raw.waitForConnected(2000)) {
                raw.write(QByteArray("KORVEX-OPEN 1\n\xff\xff\xff\xfe", 18));
                raw.waitForBytesWritten(2000);
                raw.waitForDisconnected(2000);
            }
        });
        arrived.clear();
        QTest::qWait(300);
        garbage.join();
        EXPECT_TRUE(arrived.isEmpty());
    }

    // Another user's socket (or folder) in its place: the second start gives up at once, and a player
    // would not listen there.
    if (::chown(QFile::encodeName(socket).constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "needs root to make another user's socket";
    arrived.clear();
    EXPECT_FALSE(sendFromAnotherProcessLike(socket, paths)) << "the server still listens, but is not ours";
    EXPECT_TRUE(arrived.isEmpty());
    app::OpenWithServer other(socket);
    EXPECT_FALSE(other.listen());
    EXPECT_TRUE(QFileInfo::exists(socket)) << "another user's socket is never removed";
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), ::geteuid(), ::getegid()), 0);
    ASSERT_EQ(::chown(QFile::encodeName(QFileInfo(socket).path()).constData(), 65534, 65534), 0);
    EXPECT_FALSE(sendFromAnotherProcessLike(socket, paths));
    EXPECT_FALSE(other.listen());
}

class OpenWithWindow : public WindowTest {};

// Files handed to a playing deck join its list and leave its song playing, with "演奏中のデッキを保護" on or
// off; a folder among them is refused, not listed.
TEST_F(OpenWithWindow, APlayingDeckKeepsItsSongAndTakesTheFilesIntoItsList) {
    const QString playing = tone(QStringLiteral("playing.wav"));
    dropFiles(window().titleList(0)->viewport(), {playing});
    pressPlay(window(), 0);
    ASSERT_EQ(player().player(0).playState(), 2);
    const QString folder = dir_.filePath(QStringLiteral("folder.mp3"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QStringList titles{QStringLiteral("playing.wav")};
    for (const bool protect : {false, true}) {
        player().settings().protectLiveDeck = protect;
        const QString next = tone(QStringLiteral("next%1.wav").arg(int(protect)), 550.0);
        QString said;
        answerNextBox(QMessageBox::Ok, &said);
        EXPECT_TRUE(sendFromAnotherProcessLike(app::openWithSocketPath(),
                                               {QFile::encodeName(next), QFile::encodeName(folder)}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 5000));
        EXPECT_TRUE(said.contains(folder + u'\n')) << said.toStdString();
        titles << QFileInfo(next).fileName();
        EXPECT_EQ(shownTitles(*app_, 0), titles);
        EXPECT_EQ(player().player(0).fileName(), playing.toStdString());
        EXPECT_EQ(player().player(0).playState(), 2);
        EXPECT_EQ(player().list(0).current(), 0) << "the list's current entry stays the playing song";
        EXPECT_EQ(window().titleList(0)->currentRow(), 0);
    }
}

}  // namespace
}  // namespace korvex::test
