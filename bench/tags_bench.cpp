// Tag titles of a hundred songs: what adding them costs the user-interface thread (the list rows and the
// queue for the background reader), and what the background reader spends on their headers.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/decode/song_tags.h"
#include "songlist/song_list.h"
#include "songlist/tag_titles.h"

namespace {

constexpr int kSongs = 100;

// A hundred 5-minute 192 kbit/s MP3s with ID3v2 tags (one made by the ffmpeg command, then copied), once.
QStringList hundredTaggedSongs() {
    static QStringList songs;
    if (!songs.isEmpty()) return songs;
    const QString folder = QStringLiteral("/tmp/korvex-bench-tagged");
    QDir().mkpath(folder);
    const QString first = folder + QStringLiteral("/song-000.mp3");
    if (!QFile::exists(first)) {
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=220:d=300\" -ac 2 -b:a 192k "
            "-metadata artist='Aoi' -metadata title='青い空 (Extended Mix)' '" +
            first.toStdString() + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make %s\n", qPrintable(first));
    }
    for (int i = 0; i < kSongs; ++i) {
        const QString song = folder + QStringLiteral("/song-%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        if (i > 0 && !QFile::exists(song)) QFile::copy(first, song);
        songs << song;
    }
    return songs;
}

// The user-interface thread's part of adding a hundred songs: the rows, then each row's title as the list
// draws it (with tags on, each is queued for the reader and shows its file name until read).
void addHundred(benchmark::State& state, bool fromTags) {
    const QStringList songs = hundredTaggedSongs();
    for (auto _ : state) {
        state.PauseTiming();
        auto titles = std::make_unique<korvex::songlist::TagTitles>();
        korvex::songlist::SongList list;
        state.ResumeTiming();
        for (const QString& song : songs) list.append(song, QFileInfo(song).fileName(), 20);
        QStringList shown;
        for (int i = 0; i < list.count(); ++i) {
            const std::optional<QString> tagged =
                fromTags ? titles->title(list.field(korvex::songlist::kPath, i)) : std::nullopt;
            shown << (tagged ? *tagged : list.field(korvex::songlist::kTitle, i));
        }
        benchmark::DoNotOptimize(shown);
        state.PauseTiming();
        titles.reset();
        state.ResumeTiming();
    }
}

void BM_AddHundredSongsWithTagTitles(benchmark::State& state) {
    addHundred(state, true);
}
void BM_AddHundredSongsWithFileNames(benchmark::State& state) {
    addHundred(state, false);
}
BENCHMARK(BM_AddHundredSongsWithTagTitles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddHundredSongsWithFileNames)->Unit(benchmark::kMicrosecond);

// The background reader's part: a hundred headers read and made into titles, one after another.
void BM_ReadHundredTagTitles(benchmark::State& state) {
    const QStringList songs = hundredTaggedSongs();
    for (auto _ : state) {
        int titled = 0;
        for (const QString& song : songs) {
            korvex::decode::SongTags tags;
            if (korvex::decode::readSongTags(song.toStdString(), tags) &&
                !korvex::songlist::tagTitle(tags).isEmpty())
                ++titled;
        }
        if (titled != kSongs) state.SkipWithError("a song's tags were not read");
    }
}
BENCHMARK(BM_ReadHundredTagTitles)->Unit(benchmark::kMillisecond);

}  // namespace
