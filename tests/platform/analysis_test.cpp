// Song analysis: tempo, beats and loudness of music made here with known beats, the beat grid's fit, and
// the on-disk cache the worker keeps.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <string>

#include "platform/analysis/analysis_cache.h"
#include "platform/analysis/analysis_worker.h"
#include "platform/analysis/analyze_file.h"
#include "platform/analysis/analyzer.h"
#include "platform/analysis/beat_grid.h"
#include "support/beat_tracks.h"
#include "support/signals.h"

namespace korvex::analysis {
namespace {

TrackAnalysis analyse(const std::vector<float>& stereo) {
    Analyzer analyzer(44100);
    // In pieces, as the file reader feeds it.
    for (std::size_t at = 0; at < stereo.size() / 2; at += 3000)
        analyzer.feed(stereo.data() + 2 * at, std::min<std::size_t>(3000, stereo.size() / 2 - at));
    return analyzer.finish();
}

// The distance from `t` to the nearest beat of the grid (bpm, first).
double offGrid(double t, double bpm, double first) {
    const double period = 60.0 / bpm;
    const double k = std::round((t - first) / period);
    return std::abs(t - (first + k * period));
}

TEST(Analysis, AClickTrackGivesItsTempoAndBeats) {
    for (const double bpm : {72.0, 128.0, 174.0}) {
        const double first = 0.37;
        const TrackAnalysis a = analyse(test::clickTrack(bpm, 40.0, first));
        EXPECT_NEAR(a.bpm, bpm, 0.1) << bpm;
        EXPECT_NEAR(a.firstBeat, first, 0.010) << bpm;
        EXPECT_NEAR(a.duration, 40.0, 0.001);
        // Every beat lies within 10 ms of a real one, from the first to the end.
        double worst = 0.0;
        for (const double t : a.beats) worst = std::max(worst, offGrid(t, bpm, first));
        EXPECT_LE(worst, 0.010) << bpm;
        EXPECT_NEAR(static_cast<double>(a.beats.size()), std::floor((40.0 - first) * bpm / 60.0) + 1, 1.0) << bpm;
    }
}

TEST(Analysis, AGrooveWithSwingAndOffBeatBassIsNeitherHalvedNorDoubled) {
    unsigned seed = 1;
    for (const double bpm : {70.5, 93.0, 124.0, 150.0, 178.0}) {
        const TrackAnalysis a = analyse(test::drumGroove(bpm, 45.0, 0.2, seed++));
        EXPECT_NEAR(a.bpm, bpm, 0.1) << bpm;
        EXPECT_LE(offGrid(a.firstBeat, bpm, 0.2), 0.010) << bpm;
    }
}

TEST(Analysis, LoudnessAndWaveformFollowTheSignal) {
    // A full-scale 1 kHz sine reads -3.01 LUFS in one channel by the standard's own definition, so
    // 0 LUFS in both; a tenth of it 20 LU less.
    const std::vector<float> tone = test::sine(1000.0, 20.0, 44100, 1.0f);
    const TrackAnalysis loud = analyse(tone);
    EXPECT_NEAR(loud.loudness, 0.0, 0.1);
    std::vector<float> quiet = tone;
    for (float& v : quiet) v *= 0.1f;
    EXPECT_NEAR(analyse(quiet).loudness, -20.0, 0.1);
    EXPECT_FALSE(loud.hasTempo());
    // The waveform: enough columns for a wide strip, none louder than the signal.
    EXPECT_GE(loud.waveform.size(), 700u);
    EXPECT_LE(loud.waveform.size(), 4096u);
    EXPECT_NEAR(loud.waveformColumnSeconds * loud.waveform.size(), 20.0, loud.waveformColumnSeconds);
    for (const auto c : loud.waveform) EXPECT_GE(c, 250);
    const TrackAnalysis silent = analyse(std::vector<float>(44100 * 4, 0.0f));
    EXPECT_TRUE(std::isinf(silent.loudness));
    EXPECT_FALSE(silent.hasTempo());
}

TEST(BeatGrid, FitsThroughWobblyBeatsAndLeavesOutSlippedOnes) {
    std::vector<double> beats;
    const double period = 60.0 / 126.3;
    for (int k = 0; k < 200; ++k) {
        double t = 1.0 + k * period + ((k * 7919) % 11 - 5) * 0.002;  // +-10 ms of wobble
        if (k % 37 == 0) t += period / 2;                              // slipped half a beat
        beats.push_back(t);
    }
    const std::optional<BeatGrid> grid = fitBeatGrid(beats, medianInterval(beats) * 1.02);
    ASSERT_TRUE(grid);
    EXPECT_NEAR(60.0 / grid->period, 126.3, 0.01);
    EXPECT_EQ(grid->inliers, 200 - 6);
    EXPECT_DOUBLE_EQ(foldTempo(45.0), 90.0);
    EXPECT_DOUBLE_EQ(foldTempo(190.0), 95.0);
    EXPECT_DOUBLE_EQ(foldTempo(180.0), 180.0);
    EXPECT_FALSE(fitBeatGrid({1.0, 2.0, 3.0}, 1.0));
}

class AnalysisCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::tempDir();
        song_ = dir_ + "/song.wav";
        test::writeWav16(song_, test::clickTrack(120.0, 12.0, 0.5));
    }
    std::string dir_;
    std::string song_;
};

TEST_F(AnalysisCacheTest, TheWorkerAnalysesOnceAndAgainWhenTheFileOrEntryChanges) {
    AnalysisWorker worker(AnalysisCache(dir_ + "/cache"));
    worker.request(song_, AnalysisSource::Priority::Deck);
    worker.waitIdle();
    const auto first = worker.find(song_);
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->bpm, 120.0, 0.1);
    EXPECT_EQ(worker.analysesRun(), 1);

    // Another worker (a new start of the player) reads the entry instead of analysing.
    AnalysisWorker again(AnalysisCache(dir_ + "/cache"));
    again.request(song_, AnalysisSource::Priority::Deck);
    again.waitIdle();
    ASSERT_TRUE(again.find(song_));
    EXPECT_EQ(*again.find(song_), *first);
    EXPECT_EQ(again.analysesRun(), 0);
    EXPECT_EQ(cachedAnalysis(song_), std::nullopt);  // not in the default folder
    EXPECT_EQ(AnalysisCache(dir_ + "/cache").load(song_), *first);

    // A damaged entry is analysed again, and so is a changed file.
    const std::string entry = again.cache().entryPath(song_);
    {
        std::fstream f(entry, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(40);
        f.put('\x7f');
    }
    EXPECT_EQ(AnalysisCache(dir_ + "/cache").load(song_), std::nullopt);
    again.request(song_, AnalysisSource::Priority::Deck);
    again.waitIdle();
    EXPECT_EQ(again.analysesRun(), 1);
    EXPECT_TRUE(AnalysisCache(dir_ + "/cache").load(song_));

    test::writeWav16(song_, test::clickTrack(100.0, 12.0, 0.5));
    // Make sure the modification time moves even on a coarse file system.
    struct timespec times[2] = {{0, UTIME_NOW}, {time(nullptr) + 5, 0}};
    ::utimensat(AT_FDCWD, song_.c_str(), times, 0);
    EXPECT_EQ(AnalysisCache(dir_ + "/cache").load(song_), std::nullopt);
    again.request(song_, AnalysisSource::Priority::Deck);
    again.waitIdle();
    EXPECT_EQ(again.analysesRun(), 2);
    EXPECT_NEAR(again.find(song_)->bpm, 100.0, 0.1);
}

TEST_F(AnalysisCacheTest, AFileThatIsNoSongGivesAReasonAndNoEntry) {
    const std::string text = dir_ + "/notes.mp3";
    std::ofstream(text) << "not music at all";
    std::string error;
    EXPECT_FALSE(analyzeFile(text, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(analyzeFile(dir_ + "/missing.mp3", error));
    AnalysisWorker worker(AnalysisCache(dir_ + "/cache"));
    worker.request(text, AnalysisSource::Priority::List);
    worker.waitIdle();
    EXPECT_FALSE(worker.find(text));
    EXPECT_NE(::access(worker.cache().entryPath(text).c_str(), F_OK), 0);
}

TEST(AnalyzeFile, ReadsMp3AndMidiSongs) {
    std::string error;
    const auto mp3 = analyzeFile(std::string(KORVEX_TEST_DATA) + "/tone440.mp3", error);
    ASSERT_TRUE(mp3) << error;
    EXPECT_GT(mp3->duration, 0.5);
    EXPECT_TRUE(std::isfinite(mp3->loudness));
    const auto midi = analyzeFile(std::string(KORVEX_TEST_DATA) + "/tone440.mid", error);
    ASSERT_TRUE(midi) << error;
    EXPECT_GT(midi->duration, 0.5);
}

}  // namespace
}  // namespace korvex::analysis
