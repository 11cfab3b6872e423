// The music library: the first scan and an unchanged rescan of 20 000 small tagged files, and a search,
// the window's opening and its memory with 100 000 songs. Run them by hand, each in its own process:
//
//   build/bench/korvex_bench --benchmark_filter=BM_Library
//
// The 20 000 files (0.3 s MP3s, one made by the ffmpeg command, each behind its own ID3v2 tag) are made once
// in /tmp/korvex-bench-library/music; the 100 000 rows go straight into a database there.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "library/library.h"
#include "library/library_database.h"
#include "library/library_scanner.h"
#include "library/ui/library_window.h"
#include "support/tagged_mp3.h"

namespace {

using namespace korvex::library;
using Clock = std::chrono::steady_clock;

const std::string kRoot = "/tmp/korvex-bench-library";
constexpr int kFiles = 20'000;
constexpr int kRows = 100'000;

const char* const kWords[] = {"Blue",   "Night",  "Love",     "Dance",    "Fire",  "Summer", "Dream",
                              "City",   "Heart",  "Star",     "Rain",     "Gold",  "Shadow", "River",
                              "Light",  "Ocean",  "Electric", "Midnight", "Sky",   "Storm",  "東京",
                              "夜明け", "さくら", "恋",       "星空",     "ダンス"};
constexpr int kWordCount = static_cast<int>(std::size(kWords));

std::string word(unsigned n) {
    return kWords[n % kWordCount];
}

// The 20 000 tagged files in 200 folders, made once.
std::string twentyThousandFiles() {
    const std::string music = kRoot + "/music";
    const std::string last = music + "/f199/s19999.mp3";
    if (QFile::exists(QString::fromStdString(last))) return music;
    QDir().mkpath(QString::fromStdString(music));
    const std::string& frames = korvex::test::plainMp3Frames(kRoot, 0.3);
    for (int i = 0; i < kFiles; ++i) {
        const std::string folder = music + "/f" + std::to_string(i / 100);
        if (i % 100 == 0) QDir().mkpath(QString::fromStdString(folder));
        const auto n = static_cast<unsigned>(i);
        korvex::test::writeTaggedMp3(
            folder + "/s" + std::to_string(i) + ".mp3", frames,
            {{"TIT2", word(n * 7) + " " + word(n * 13 + 1) + " " + std::to_string(i)},
             {"TPE1", word(n * 3 + 2) + " " + word(n / 7)},
             {"TALB", word(n / 11) + " Album"},
             {"TCON", word(n % 5)},
             {"TDRC", std::to_string(1980 + i % 40)}});
    }
    return music;
}

// A word of a made-up vocabulary of 4 000 (the real words above among them), common words more often than
// rare ones, as song titles have them.
class Vocabulary {
public:
    std::string next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const double u = static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 53);
        const auto n = static_cast<unsigned>(u * u * kSize);
        if (n < static_cast<unsigned>(kWordCount)) return kWords[n];
        static const char* const kSyllables[] = {"ka",  "ri",  "mon", "tel", "sa", "vo",  "lu",
                                                 "ne",  "ber", "sto", "ta",  "mi", "zen", "or",
                                                 "qua", "del", "fi",  "ro",  "xa", "pe"};
        std::string w;
        for (unsigned k = n; k > 0 || w.empty(); k /= 20) w += kSyllables[k % 20];
        w[0] = static_cast<char>(w[0] - 'a' + 'A');
        return w;
    }

private:
    static constexpr unsigned kSize = 4000;
    std::uint64_t state_ = 42;
};

// A database of 100 000 songs, written straight in, made once: titles of two to four words, 8 000 artists.
QString hundredThousandRows() {
    const QString path = QString::fromStdString(kRoot + "/rows/library.db");
    if (QFile::exists(path)) return path;
    LibraryDatabase db;
    if (!db.open(path) || !db.begin()) std::abort();
    Vocabulary words;
    std::vector<std::string> artists;
    for (int i = 0; i < 8000; ++i) artists.push_back(words.next() + " " + words.next());
    for (int i = 0; i < kRows; ++i) {
        TrackFile t;
        t.path = "/music/f" + std::to_string(i / 100) + "/s" + std::to_string(i) + ".mp3";
        t.size = 1000 + i;
        t.mtimeNs = i;
        std::string title = words.next();
        for (int w = 0; w < 1 + i % 3; ++w) title += " " + words.next();
        t.title = QString::fromStdString(title);
        t.artist = QString::fromStdString(artists[static_cast<std::size_t>(i * 7919) % artists.size()]);
        t.album = QString::fromStdString(words.next() + " " + words.next());
        t.genre = QString::fromStdString(word(static_cast<unsigned>(i) % 5));
        t.seconds = 180 + i % 200;
        db.putTrack(t, 0);
    }
    if (!db.commit()) std::abort();
    return path;
}

void BM_LibraryFirstScan20k(benchmark::State& state) {
    const std::string music = twentyThousandFiles();
    const QString path = QString::fromStdString(kRoot + "/scan/library.db");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(QString::fromStdString(kRoot + "/scan")).removeRecursively();
        // The files' pages are in the cache as after the first scan of a session.
        state.ResumeTiming();
        LibraryDatabase db;
        db.open(path);
        db.addFolder(music);
        const ScanResult result = scanLibrary(db);
        if (result.added != kFiles) state.SkipWithError("not every file was added");
    }
    state.counters["files"] = kFiles;
}
BENCHMARK(BM_LibraryFirstScan20k)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_LibraryRescanUnchanged20k(benchmark::State& state) {
    const std::string music = twentyThousandFiles();
    const QString path = QString::fromStdString(kRoot + "/rescan/library.db");
    {
        LibraryDatabase db;
        db.open(path);
        db.addFolder(music);
        scanLibrary(db);
    }
    for (auto _ : state) {
        LibraryDatabase db;
        db.open(path);
        const ScanResult result = scanLibrary(db);
        if (result.unchanged != kFiles) state.SkipWithError("the rescan read files again");
    }
}
BENCHMARK(BM_LibraryRescanUnchanged20k)->Unit(benchmark::kMillisecond)->UseRealTime();

QApplication& application() {
    // Another benchmark of this program may have made it already.
    if (auto* made = qobject_cast<QApplication*>(QCoreApplication::instance())) return *made;
    static int argc = 1;
    static char name[] = "korvex_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// From a keystroke to result rows: the matching ids in title order and the first screen of rows read, as
// the window's table has them, for a round of typical searches (a prefix, two words, Japanese, a rare word).
void searchRound(benchmark::State& state, const std::vector<QString>& searches) {
    LibraryDatabase db;
    db.open(hundredThousandRows());
    LibraryTableModel model(&db);
    model.refresh();
    std::size_t i = 0;
    std::size_t matched = 0;
    for (auto _ : state) {
        model.setSearch(searches[i++ % searches.size()]);
        matched += static_cast<std::size_t>(model.rowCount());
        for (int row = 0; row < std::min(30, model.rowCount()); ++row)
            benchmark::DoNotOptimize(model.data(model.index(row, 0), Qt::DisplayRole));
    }
    state.counters["rows_per_search"] =
        static_cast<double>(matched) / static_cast<double>(std::max<std::size_t>(1, i));
}

void BM_LibrarySearch100k(benchmark::State& state) {
    searchRound(state, {QStringLiteral("nig"), QStringLiteral("blue dan"), QStringLiteral("東京"),
                        QStringLiteral("midnight sto"), QStringLiteral("さくら 夜明"), QStringLiteral("kari"),
                        QStringLiteral("elec")});
}
BENCHMARK(BM_LibrarySearch100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case: one letter typed, which matches a large part of the library.
void BM_LibrarySearch100kOneLetter(benchmark::State& state) {
    searchRound(state, {QStringLiteral("s")});
}
BENCHMARK(BM_LibrarySearch100kOneLetter)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window opened on 100 000 songs: made, shown and painted once.
void BM_LibraryWindowOpen100k(benchmark::State& state) {
    application();
    Library library;
    library.open(hundredThousandRows());
    for (auto _ : state) {
        auto window = std::make_unique<LibraryWindow>(library);
        window->show();
        window->repaint();
        state.PauseTiming();
        if (window->model()->rowCount() != kRows) state.SkipWithError("not every song shows");
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LibraryWindowOpen100k)->Unit(benchmark::kMillisecond)->UseRealTime();

long rssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// What the library adds to the player's memory with 100 000 songs: the database open, the window shown,
// scrolled from top to bottom and searched (run alone in its process).
void BM_LibraryMemory100k(benchmark::State& state) {
    application();
    const QString path = hundredThousandRows();
    {
        // Qt's widgets and fonts once, so they do not count as the library's.
        QTableView warm;
        warm.show();
        warm.repaint();
    }
    double mb = 0.0;
    for (auto _ : state) {
        const long before = rssKb();
        Library library;
        library.open(path);
        LibraryWindow window(library);
        window.show();
        window.repaint();
        QTableView* table = window.table();
        for (int row = 0; row < kRows; row += 997) {
            table->scrollTo(window.model()->index(row, 0));
            table->repaint();
        }
        window.searchBox()->setText(QStringLiteral("blue"));
        window.repaint();
        mb = static_cast<double>(rssKb() - before) / 1024.0;
    }
    state.counters["MB_more"] = mb;
}
BENCHMARK(BM_LibraryMemory100k)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
