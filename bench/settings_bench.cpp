// Saving and loading the settings file with both lists full (2 × 32767 songs): what leaving and starting the
// program cost at the largest lists there can be.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "app/settings_file.h"
#include "deck/deck_fakes.h"
#include "songlist/list_fakes.h"
#include "songlist/song_list.h"

namespace {

using korvex::app::KeptSettings;
using korvex::app::SettingsFile;
using korvex::app::SettingsLoad;
using korvex::app::SettingsTargets;
using korvex::app::SlotSettings;

// The decks and everything else the settings file reaches, with stand-in players.
struct Rig {
    explicit Rig(const QString& path)
        : file(path,
               SettingsTargets{decks.transport, mixer, view, skinname, newtrim, startup, samplerenabled,
                               dialogFolder, kept, slots},
               messages) {}

    // Fills both lists to the limit with paths, titles and memories of realistic length and form.
    void fill() {
        for (int deck = 0; deck < 2; ++deck) {
            korvex::songlist::SongList& list = deck == 0 ? decks.listA : decks.listB;
            for (int i = 0; i < korvex::songlist::kMaxEntries; ++i) {
                const QString title = QStringLiteral("%1 - Track title number %2.mp3").arg(i % 100).arg(i);
                list.appendRow(
                    {QStringLiteral("/home/dj/Music/Artist %1/Album %2/").arg(i % 500).arg(i % 37) + title,
                     title, korvex::songlist::signedNumberText(100.0 + (i % 40) * 0.5, 7),
                     korvex::songlist::signedNumberText(2000 - (i % 21) * 100, 7),
                     korvex::songlist::signedNumberText(i * 0.125), QStringLiteral("-1"),
                     QStringLiteral("-1")});
            }
            list.select(deck == 0 ? 123 : 32000);
        }
    }

    korvex::deck::testing::DeckRig decks;
    korvex::mixer::MixerSettings mixer;
    korvex::appearance::ViewFlags view;
    QString skinname = QStringLiteral("orange");
    int newtrim = 20;
    bool startup = false;
    bool samplerenabled = false;
    QString dialogFolder = QStringLiteral("/home/dj/Music/");
    KeptSettings kept;
    SlotSettings slots;
    korvex::songlist::testing::FakeMessages messages;
    SettingsFile file;
};

void BM_SettingsSave2x32767(benchmark::State& state) {
    QTemporaryDir dir;
    Rig rig(dir.filePath(QStringLiteral("korvexp.ini")));
    rig.fill();
    for (auto _ : state) {
        if (!rig.file.savest()) state.SkipWithError("save failed");
    }
    state.counters["MB"] = static_cast<double>(QFile(rig.file.path()).size()) / 1e6;
}
BENCHMARK(BM_SettingsSave2x32767)->Unit(benchmark::kMillisecond);

void BM_SettingsLoad2x32767(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("korvexp.ini"));
    {
        Rig saved(path);
        saved.fill();
        if (!saved.file.savest()) state.SkipWithError("save failed");
    }
    for (auto _ : state) {
        // A fresh program each time: the lists fill from empty. Building and freeing them is not timed.
        state.PauseTiming();
        auto rig = std::make_unique<Rig>(path);
        state.ResumeTiming();
        if (rig->file.loadsettings() != SettingsLoad::kRead) state.SkipWithError("load failed");
        state.PauseTiming();
        rig.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SettingsLoad2x32767)->Unit(benchmark::kMillisecond);

}  // namespace
