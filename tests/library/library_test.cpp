// The music library on a real SQLite file in a temporary folder: scans and rescans, search, durability
// (kill -9 during a scan, a full disk, a damaged file), the play count and the korvex-library command.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>

#include "library/library.h"
#include "library/library_database.h"
#include "library/library_scanner.h"
#include "library/play_counter.h"
#include "support/tagged_mp3.h"

namespace korvex::library {
namespace {

using Texts = std::vector<std::pair<std::string, std::string>>;

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        music_ = dir_.path().toStdString() + "/music";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(music_ + "/house")));
        frames_ = test::plainMp3Frames(dir_.path().toStdString());
        ASSERT_FALSE(frames_.empty()) << "the ffmpeg command makes the tone";
        dbPath_ = dir_.path() + QStringLiteral("/lib/library.db");
    }
    std::string song(const std::string& relative, const Texts& texts) {
        const std::string path = music_ + "/" + relative;
        EXPECT_TRUE(test::writeTaggedMp3(path, frames_, texts));
        return path;
    }
    std::vector<QString> titles(LibraryDatabase& db, const QString& words,
                                SortColumn column = SortColumn::kTitle, bool descending = false) {
        std::vector<QString> result;
        for (const TrackRow& row : db.rows(db.search(words, column, descending))) result.push_back(row.title);
        return result;
    }
    // Sets the file's modification time `seconds` into the past, so a rewrite within the same
    // tick still differs.
    static void age(const std::string& path, int seconds) {
        struct timeval times[2]{};
        times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - seconds;
        ASSERT_EQ(::utimes(path.c_str(), times), 0);
    }

    QTemporaryDir dir_;
    std::string music_;
    std::string frames_;
    QString dbPath_;
};

TEST_F(LibraryTest, ScanRescanAfterAddingChangingAndDeleting) {
    song("house/one.mp3", {{"TIT2", "First Light"},
                           {"TPE1", "Aurora Lane"},
                           {"TALB", "Dawn"},
                           {"TCON", "House"},
                           {"TDRC", "2019"}});
    const std::string two = song("house/two.mp3", {{"TIT2", "Second Wind"}, {"TPE1", "Aurora Lane"}});
    const std::string gone = song("three.MP3", {{"TIT2", "Third Time"}});
    song("untagged.flac.mp3", {});
    // A name that is not UTF-8 (Shift-JIS for "テ"), a broken file, a link back up the tree, a text file.
    song("\x83\x65.mp3", {{"TIT2", "Shift JIS name"}});
    std::ofstream(music_ + "/broken.mp3") << "no music in here";
    std::ofstream(music_ + "/notes.txt") << "not a song";
    ASSERT_EQ(::symlink("..", (music_ + "/house/loop").c_str()), 0);

    LibraryDatabase db;
    ASSERT_TRUE(db.open(dbPath_));
    ASSERT_TRUE(db.addFolder(music_));
    EXPECT_FALSE(db.addFolder(music_)) << "a folder is named once";
    // A folder that is not there (a drive not plugged in) is counted, not fatal.
    ASSERT_TRUE(db.addFolder(music_ + "-elsewhere"));

    ScanResult first = scanLibrary(db);
    EXPECT_TRUE(first.complete);
    EXPECT_EQ(first.found, 6);
    EXPECT_EQ(first.added, 5);
    EXPECT_EQ(first.broken, 1);
    EXPECT_EQ(first.loops, 1);
    EXPECT_EQ(first.unreadableFolders, 1);
    EXPECT_EQ(titles(db, {}), (std::vector<QString>{"First Light", "Second Wind", "Shift JIS name",
                                                    "Third Time", "untagged.flac"}));
    const TrackRow light = *db.row(db.search(QStringLiteral("first"), SortColumn::kTitle, false).at(0));
    EXPECT_EQ(light.artist, QStringLiteral("Aurora Lane"));
    EXPECT_EQ(light.album, QStringLiteral("Dawn"));
    ASSERT_TRUE(light.seconds.has_value());
    EXPECT_NEAR(*light.seconds, 0.3, 0.1);
    EXPECT_FALSE(light.bpm.has_value()) << "BPM stays empty until the analysis knows it";
    EXPECT_EQ(db.rows(db.search(QStringLiteral("shift"), SortColumn::kTitle, false)).at(0).path,
              music_ + "/\x83\x65.mp3")
        << "the name's bytes are kept";
    ASSERT_TRUE(db.recordPlay(two, 1000));

    // Nothing changed: nothing is read again.
    const ScanResult again = scanLibrary(db);
    EXPECT_EQ(again.unchanged, 6);
    EXPECT_EQ(again.added + again.updated + again.broken, 0);

    // One new, one changed, one deleted.
    song("house/four.mp3", {{"TIT2", "Fourth Floor"}});
    song("house/two.mp3", {{"TIT2", "Second Breath"}, {"TPE1", "Aurora Lane"}});
    age(two, 100);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));
    const ScanResult third = scanLibrary(db);
    EXPECT_EQ(third.added, 1);
    EXPECT_EQ(third.updated, 1);
    EXPECT_EQ(third.vanished, 1);
    EXPECT_EQ(titles(db, {}), (std::vector<QString>{"First Light", "Fourth Floor", "Second Breath",
                                                    "Shift JIS name", "untagged.flac"}));
    EXPECT_TRUE(titles(db, QStringLiteral("wind")).empty()) << "the old title is no longer found";
    EXPECT_EQ(db.row(db.search(QStringLiteral("breath"), SortColumn::kTitle, false).at(0))->playCount, 1)
        << "a changed file keeps its play count";
    const LibraryStats stats = db.stats();
    EXPECT_EQ(stats.tracks, 5);
    EXPECT_EQ(stats.missing, 1);
    EXPECT_EQ(stats.broken, 1);

    // The deleted song comes back with its row when the file does.
    song("three.MP3", {{"TIT2", "Third Time"}});
    scanLibrary(db);
    EXPECT_EQ(db.stats().missing, 0);
    ::unlink((music_ + "/house/loop").c_str());
}

TEST_F(LibraryTest, EveryWordMatchesSomewhereInAnyScript) {
    song("a.mp3", {{"TIT2", "Blue Monday"}, {"TPE1", "New Order"}, {"TALB", "Power"}, {"TCON", "Synth-pop"}});
    song("b.mp3", {{"TIT2", "Halo"}, {"TPE1", "Beyoncé"}});
    song("c.mp3", {{"TIT2", "東京タワーの夜"}, {"TPE1", "山田花子"}, {"TCON", "シティポップ"}});
    song("d.mp3", {{"TIT2", "大阪ナイト"}, {"TPE1", "山田太郎"}});
    song("Mr. Blue Sky.mp3", {});
    LibraryDatabase db;
    ASSERT_TRUE(db.open(dbPath_));
    ASSERT_TRUE(db.addFolder(music_));
    ASSERT_TRUE(scanLibrary(db).complete);

    EXPECT_EQ(titles(db, QStringLiteral("blue")), (std::vector<QString>{"Blue Monday", "Mr. Blue Sky"}));
    EXPECT_EQ(titles(db, QStringLiteral("blue ord")), (std::vector<QString>{"Blue Monday"}))
        << "words across fields";
    EXPECT_EQ(titles(db, QStringLiteral("BLUE pow synth")), (std::vector<QString>{"Blue Monday"}));
    EXPECT_TRUE(titles(db, QStringLiteral("blue halo")).empty()) << "every word must match";
    EXPECT_EQ(titles(db, QStringLiteral("beyonce")), (std::vector<QString>{"Halo"})) << "accents fold";
    EXPECT_EQ(titles(db, QStringLiteral("sky.mp3")), (std::vector<QString>{"Mr. Blue Sky"}))
        << "the file name";
    EXPECT_EQ(titles(db, QStringLiteral("\"blue\" -")), (std::vector<QString>{"Blue Monday", "Mr. Blue Sky"}))
        << "quotes and lone punctuation are no query syntax";

    EXPECT_EQ(titles(db, QStringLiteral("東京")), (std::vector<QString>{"東京タワーの夜"}));
    EXPECT_EQ(titles(db, QStringLiteral("京タワ")), (std::vector<QString>{"東京タワーの夜"}))
        << "inside a run";
    EXPECT_EQ(titles(db, QStringLiteral("ﾀﾜｰ")), (std::vector<QString>{"東京タワーの夜"}))
        << "half-width kana";
    EXPECT_EQ(titles(db, QStringLiteral("山田")), (std::vector<QString>{"大阪ナイト", "東京タワーの夜"}));
    EXPECT_EQ(titles(db, QStringLiteral("山田 夜")), (std::vector<QString>{"東京タワーの夜"}));
    EXPECT_EQ(titles(db, QStringLiteral("ポップ")), (std::vector<QString>{"東京タワーの夜"})) << "the genre";
    EXPECT_TRUE(titles(db, QStringLiteral("東京ナイト")).empty()) << "a run is searched as it stands";

    // Sorting: descending title, and play count with the most played first.
    EXPECT_EQ(titles(db, QStringLiteral("山田"), SortColumn::kTitle, true),
              (std::vector<QString>{"東京タワーの夜", "大阪ナイト"}));
    const std::vector<std::int64_t> all = db.search({}, SortColumn::kTitle, false);
    ASSERT_TRUE(db.recordPlay(db.row(all.back())->path, 5));
    EXPECT_EQ(titles(db, {}, SortColumn::kPlayCount, true).front(), db.row(all.back())->title);
    ASSERT_TRUE(db.setAnalysis(db.row(all.front())->path, 128.0, -9.5));
    EXPECT_EQ(titles(db, {}, SortColumn::kBpm, true).front(), db.row(all.front())->title);
}

TEST_F(LibraryTest, FullDiskStopsTheScanAndKeepsTheLibraryReadable) {
    for (int i = 0; i < 400; ++i)
        song("house/s" + std::to_string(i) + ".mp3",
             {{"TIT2", "Song number " + std::to_string(i) + std::string(300, 'x')}, {"TPE1", "Filler"}});
    LibraryDatabase db;
    ASSERT_TRUE(db.open(dbPath_));
    ASSERT_TRUE(db.addFolder(music_));
    // A disk with room for about fifty pages: SQLite's page limit stands in for a full file system.
    db.limitPages(50);
    const ScanResult result = scanLibrary(db, nullptr, nullptr, 50);
    EXPECT_FALSE(result.complete);
    EXPECT_TRUE(result.diskFull) << result.errorEnglish;
    EXPECT_TRUE(result.error.contains(QStringLiteral("ディスクの空き")));
    const std::int64_t kept = db.stats().tracks;
    EXPECT_GT(kept, 0) << "the batches before the full one stay";
    EXPECT_LT(kept, 400);
    EXPECT_EQ(static_cast<std::int64_t>(db.search(QStringLiteral("song"), SortColumn::kTitle, false).size()),
              kept);
    db.limitPages(1'000'000);
    EXPECT_TRUE(scanLibrary(db).complete) << "with room again, the next scan finishes";
    EXPECT_EQ(db.stats().tracks, 400);
}

TEST_F(LibraryTest, DamagedFileIsSetAsideAndTheNextScanRebuildsIt) {
    song("a.mp3", {{"TIT2", "Survivor"}});
    {
        LibraryDatabase db;
        ASSERT_TRUE(db.open(dbPath_));
        ASSERT_TRUE(db.addFolder(music_));
        ASSERT_TRUE(scanLibrary(db).complete);
    }
    {
        QFile file(dbPath_);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(4096, '\x5a'));
    }
    Library library;
    ASSERT_TRUE(library.open(dbPath_));
    EXPECT_TRUE(library.messageIsProblem());
    EXPECT_TRUE(library.message().contains(QStringLiteral("退避")));
    EXPECT_TRUE(QFile::exists(library.database().setAsidePath()));
    EXPECT_EQ(library.folders(), QStringList{QString::fromStdString(music_)})
        << "the folders are kept beside";
    // The replacement is scanned at once.
    for (int i = 0; i < 500 && !library.poll(); ++i) QThread::msleep(10);
    EXPECT_EQ(library.database().stats().tracks, 1);

    // Another kind of damage: a file that is no database at all.
    library.database().close();
    QFile::remove(dbPath_);
    std::ofstream(dbPath_.toStdString()) << "just text";
    LibraryDatabase again;
    ASSERT_TRUE(again.open(dbPath_));
    EXPECT_FALSE(again.notice().isEmpty());
}

TEST_F(LibraryTest, KilledScanGoesOnAtTheNextStart) {
    constexpr int kSongs = 3000;
    for (int i = 0; i < kSongs; ++i)
        song("house/k" + std::to_string(i) + ".mp3", {{"TIT2", "Kill " + std::to_string(i)}});
    QProcess add;
    add.start(QStringLiteral(KORVEX_LIBRARY_EXE),
              {QStringLiteral("--db"), dbPath_, QStringLiteral("add"), QString::fromStdString(music_)});
    ASSERT_TRUE(add.waitForFinished(10000));
    ASSERT_EQ(add.exitCode(), 0);

    QProcess scan;
    scan.start(QStringLiteral(KORVEX_LIBRARY_EXE), {QStringLiteral("--db"), dbPath_, QStringLiteral("scan")});
    ASSERT_TRUE(scan.waitForStarted());
    // Killed as soon as a few batches are in.
    LibraryDatabase watch;
    ASSERT_TRUE(watch.open(dbPath_));
    std::int64_t seen = 0;
    for (int i = 0; i < 2000 && seen < 400; ++i) {
        QThread::msleep(5);
        seen = watch.stats().tracks;
    }
    ::kill(static_cast<pid_t>(scan.processId()), SIGKILL);
    scan.waitForFinished();
    const std::int64_t kept = watch.stats().tracks;
    ASSERT_GE(kept, 400);
    ASSERT_LT(kept, kSongs) << "the scan was killed before its end";
    EXPECT_EQ(watch.meta("scan-state"), "running");
    watch.close();

    // The next start finds the scan unfinished and goes on from where it was.
    Library library;
    ASSERT_TRUE(library.open(dbPath_));
    ASSERT_TRUE(library.scanning());
    ScanResult result;
    library.onScanDone = [&result](const ScanResult& r) { result = r; };
    for (int i = 0; i < 3000 && !library.poll(); ++i) QThread::msleep(10);
    EXPECT_TRUE(result.complete);
    EXPECT_GE(result.unchanged, kept);
    EXPECT_EQ(library.database().stats().tracks, kSongs);
    EXPECT_EQ(library.database().meta("scan-state"), "done");
}

TEST_F(LibraryTest, CommandLine) {
    for (int i = 0; i < 120; ++i)
        song("house/c" + std::to_string(1000 + i) + ".mp3",
             {{"TIT2", "Track " + std::to_string(1000 + i)}, {"TPE1", "Line\tArtist"}});
    song("j.mp3", {{"TIT2", "さくら"}, {"TPE1", "歌手"}});
    auto run = [this](const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.start(QStringLiteral(KORVEX_LIBRARY_EXE), QStringList{QStringLiteral("--db"), dbPath_} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (out != nullptr) *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode();
    };
    QString out;
    EXPECT_EQ(run({QStringLiteral("scan")}), 1) << "no folders yet";
    EXPECT_EQ(run({QStringLiteral("add"), QString::fromStdString(music_ + "/none")}), 1);
    EXPECT_EQ(run({QStringLiteral("add"), QString::fromStdString(music_)}), 0);
    EXPECT_EQ(run({QStringLiteral("scan")}, &out), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("added 121"))) << out.toStdString();

    EXPECT_EQ(run({QStringLiteral("search"), QStringLiteral("track")}, &out), 0);
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 100) << "at most 100 lines";
    const QStringList fields = lines.front().split(u'\t');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[0], QString::fromStdString(music_ + "/house/c1000.mp3"));
    EXPECT_EQ(fields[1], QStringLiteral("Line Artist")) << "a tab inside a field becomes a blank";
    EXPECT_EQ(fields[2], QStringLiteral("Track 1000"));
    EXPECT_NEAR(fields[3].toDouble(), 0.3, 0.1);
    EXPECT_EQ(fields[4], QString());

    EXPECT_EQ(run({QStringLiteral("search"), QStringLiteral("歌手"), QStringLiteral("さく")}, &out), 0);
    EXPECT_TRUE(out.startsWith(QString::fromStdString(music_ + "/j.mp3\t歌手\tさくら\t")))
        << out.toStdString();

    EXPECT_EQ(run({QStringLiteral("stats")}, &out), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("tracks\t121\n"))) << out.toStdString();
    EXPECT_EQ(run({QStringLiteral("frobnicate")}), 2);
    EXPECT_EQ(run({QStringLiteral("search")}), 2);
}

TEST(PlayCounter, CountsOnceAfterThirtySecondsOfPlay) {
    PlayCounter counter;
    double t = 0.0;
    auto tick = [&](const std::string& file, bool playing, bool stopped = false) {
        t += 1.0;
        return counter.observe(0, file, playing, stopped, t);
    };
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(tick("a.mp3", true));
    for (int i = 0; i < 60; ++i) EXPECT_FALSE(tick("a.mp3", false)) << "a pause does not count";
    // The first observation starts the clock: 19 + 11 = 30 s so far, not yet more.
    for (int i = 0; i < 11; ++i) EXPECT_FALSE(tick("a.mp3", true));
    EXPECT_EQ(tick("a.mp3", true), std::optional<std::string>("a.mp3")) << "past 30 s";
    EXPECT_FALSE(tick("a.mp3", true)) << "once";
    // Another song, a stop and a stalled program start over or count nothing.
    for (int i = 0; i < 25; ++i) EXPECT_FALSE(tick("b.mp3", true));
    EXPECT_FALSE(tick("b.mp3", false, true));
    for (int i = 0; i < 25; ++i) EXPECT_FALSE(tick("b.mp3", true));
    t += 100.0;
    EXPECT_FALSE(tick("b.mp3", true));
    EXPECT_FALSE(counter.observe(1, "b.mp3", true, false, t)) << "each deck counts its own";
}

}  // namespace
}  // namespace korvex::library
