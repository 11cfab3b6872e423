// Render cost of the mixer with both decks playing, and how soon a command is heard.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/audio/phones_feed.h"
#include "platform/media_player.h"
#include "support/signals.h"

namespace {

using korvex::MediaPlayer;
using korvex::audio::AudioEngine;

const std::string& toneFile() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/tone.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 60.0));
        return p;
    }();
    return path;
}

// Two decks at rate 1.07, mixed, master applied; with `loop` both decks also jump back every 90 ms as
// the pause loop does, so the de-click crossfades are part of the cost. With `keylock` both play through
// Rubber Band's `engine`; with `phones` the headphone bus runs too: deck B pre-listened, the mix half way,
// written to the second device's feed.
void twoDecks(benchmark::State& state, bool loop, bool keylock = false,
              korvex::dsp::TimeStretcher::Engine stretchEngine = korvex::dsp::TimeStretcher::Engine::kFaster,
              bool phones = false) {
    AudioEngine engine(44100, stretchEngine);
    korvex::audio::PhonesFeed feed(44100);
    if (phones) {
        engine.setPhonesRoute(korvex::audio::PhonesRoute::kDevice);
        engine.setPhonesTap(&feed);
        engine.setPhonesMix(0.5f);
    }
    MediaPlayer a(engine, 0);
    MediaPlayer b(engine, 1);
    for (MediaPlayer* deck : {&a, &b}) {
        deck->setFileName(toneFile());
        deck->waitUntilDecoded();
        deck->setKeylock(keylock);
        deck->setRate(1.07);
        deck->setVolume(-300);
        deck->setBalance(500);
        deck->setCurrentPosition(deck == &a ? 1.0 : 7.0);
        deck->play();
    }
    b.setPrelisten(phones);
    std::vector<float> heard(256 * 2);
    engine.setMasterVolume(0x80008000u);
    constexpr std::size_t kBlock = 256;
    std::vector<float> out(kBlock * 2);
    std::size_t blocks = 0;
    for (auto _ : state) {
        engine.render_rt(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        if (++blocks % 16 == 0) {
            state.PauseTiming();
            // The headphone device's side, off the clock: it keeps the ring from filling up.
            if (phones)
                for (int i = 0; i < 16; ++i) feed.render_rt(heard.data(), 256);
            engine.dispatchEvents();
            if (loop) {
                a.setCurrentPosition(1.0);
                b.setCurrentPosition(7.0);
            } else if (a.currentPosition() > 50.0) {
                a.setCurrentPosition(1.0);
                b.setCurrentPosition(7.0);
            }
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlock);
    // CPU nanoseconds per output frame for both decks together (the figure the target is set in).
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
        benchmark::Counter::OneK::kIs1000);
}

void BM_TwoDecksAtRate107(benchmark::State& state) { twoDecks(state, false); }
void BM_TwoDecksAtRate107PauseLoop(benchmark::State& state) { twoDecks(state, true); }
// The same with the headphone bus (the ≤ 10 % row).
void BM_TwoDecksAtRate107Headphones(benchmark::State& state) {
    twoDecks(state, false, false, korvex::dsp::TimeStretcher::Engine::kFaster, true);
}
BENCHMARK(BM_TwoDecksAtRate107)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwoDecksAtRate107Headphones)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwoDecksAtRate107PauseLoop)->Unit(benchmark::kMicrosecond);

// Keylock on both decks, with each of Rubber Band's engines (the player uses the faster one).
void BM_TwoKeylockedDecksAtRate107Faster(benchmark::State& state) {
    twoDecks(state, false, true, korvex::dsp::TimeStretcher::Engine::kFaster);
}
void BM_TwoKeylockedDecksAtRate107Finer(benchmark::State& state) {
    twoDecks(state, false, true, korvex::dsp::TimeStretcher::Engine::kFiner);
}
BENCHMARK(BM_TwoKeylockedDecksAtRate107Faster)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwoKeylockedDecksAtRate107Finer)->Unit(benchmark::kMicrosecond);

// Blocks rendered after a play or a seek command before the deck sounds from its new place: 0 means the
// command took effect in the first block.
void BM_CommandLatencyBlocks(benchmark::State& state) {
    AudioEngine engine(44100);
    MediaPlayer deck(engine, 0);
    deck.setFileName(toneFile());
    deck.waitUntilDecoded();
    korvex::audio::ManualOutput output(engine);
    double worst = 0;
    for (auto _ : state) {
        deck.stop();
        deck.setCurrentPosition(2.0);
        output.render(256);
        deck.play();
        int late = 0;
        while (std::abs(output.render(256)[2 * 200]) < 1e-4f && late < 100) ++late;
        deck.setCurrentPosition(10.0);
        output.render(256);
        if (std::abs(deck.currentPosition() - (10.0 + 256.0 / 44100)) > 1e-6) ++late;
        worst = std::max<double>(worst, late);
        engine.dispatchEvents();
    }
    state.counters["blocks_of_delay"] = worst;
}
BENCHMARK(BM_CommandLatencyBlocks)->Iterations(200);

}  // namespace
