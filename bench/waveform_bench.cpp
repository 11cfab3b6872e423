// What the waveform overview and beat loops cost: drawing a song's strip picture once, repainting the play
// head's columns on a tick, and two decks rendering while both loop a beat.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPixmap>
#include <cmath>
#include <memory>
#include <random>

#include "app/ui/waveform_strip.h"
#include "bench_app.h"
#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/media_player.h"
#include "support/signals.h"

namespace {

// A five-minute song at 128 BPM as the analysis gives it: 86 summary columns a second, a beat every 0.47 s.
std::shared_ptr<const korvex::analysis::TrackAnalysis> fiveMinutes() {
    auto a = std::make_shared<korvex::analysis::TrackAnalysis>();
    a->duration = 300.0;
    a->bpm = 128.0;
    a->firstBeat = 0.1;
    for (double t = a->firstBeat; t < a->duration; t += 60.0 / 128.0) a->beats.push_back(t);
    a->waveformColumnSeconds = 1.0 / 86;
    std::mt19937 random(7);
    for (int i = 0; i < 300 * 86; ++i) a->waveform.push_back(static_cast<std::uint8_t>(random() % 256));
    return a;
}

// The strip's picture for a new song (once per song and size): waveform and bar marks, 210 x 10 pixels.
void BM_WaveformStripPicture(benchmark::State& state) {
    application();
    const auto analysis = fiveMinutes();
    QImage background(210, 10, QImage::Format_RGB32);
    background.fill(Qt::black);
    QImage image(210, 10, QImage::Format_RGB32);
    for (auto _ : state) {
        korvex::app::paintWaveform(image, analysis.get(), background, QColor(255, 154, 48));
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_WaveformStripPicture)->Unit(benchmark::kMicrosecond);

// One move of the play head by a pixel column: the three columns the strip paints again.
void BM_WaveformStripHeadStep(benchmark::State& state) {
    application();
    korvex::app::WaveformStrip strip(nullptr);
    strip.resize(210, 10);
    strip.setAnalysis(fiveMinutes());
    strip.setMarks({300.0, 12.0, 5.0, 250.0, -1.0, -1.0});
    QPixmap target(210, 10);
    int column = 0;
    for (auto _ : state) {
        column = (column + 1) % 200;
        strip.setPlayhead((column + 0.5) * 300.0 / 210);
        strip.render(&target, QPoint(column - 1, 0), QRegion(column - 1, 0, 3, 10));
    }
}
BENCHMARK(BM_WaveformStripHeadStep)->Unit(benchmark::kMicrosecond);

// Two decks at rate 1.07, each looping one beat of 120 BPM (a seam about every 0.47 s, a crossfade in
// every 80th block), plain (0) or keylocked (1): the render cost per output frame, to set beside the
// two-deck figures without loops.
void BM_TwoDecksBeatLooping(benchmark::State& state) {
    const std::string path = korvex::test::tempDir() + "/loop.wav";
    korvex::test::writeWav16(path, korvex::test::sine(440.0, 30.0));
    korvex::audio::AudioEngine engine(44100);
    korvex::MediaPlayer a(engine, 0);
    korvex::MediaPlayer b(engine, 1);
    for (korvex::MediaPlayer* deck : {&a, &b}) {
        deck->setFileName(path);
        deck->waitUntilDecoded();
        deck->setKeylock(state.range(0) != 0);
        deck->setRate(1.07);
        deck->setVolume(-300);
        deck->setCurrentPosition(deck == &a ? 2.0 : 7.0);
        deck->setLoop(deck == &a ? 2.0 : 7.0, deck == &a ? 2.5 : 7.5);
        deck->play();
    }
    constexpr std::size_t kBlock = 256;
    std::vector<float> out(kBlock * 2);
    std::size_t blocks = 0;
    for (auto _ : state) {
        engine.render_rt(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        if (++blocks % 64 == 0) {
            state.PauseTiming();
            engine.dispatchEvents();
            state.ResumeTiming();
        }
    }
    if (a.currentPosition() > 2.6 || b.currentPosition() > 7.6) state.SkipWithError("a deck left its loop");
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_TwoDecksBeatLooping)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
