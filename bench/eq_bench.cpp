// Cost of a deck's three-band equaliser per stereo frame: bands shaped and steady, and a knob dragged
// (new gains every block, so the bands glide all the time).
//
// The equaliser runs on the audio thread for each deck, so it should stay under 15 ns per frame.
// ns_per_frame is this thread's CPU time around process_rt per stereo frame, in 512-frame blocks of noise.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

#include "platform/dsp/three_band_eq.h"

namespace {

using korvex::dsp::eqGainFromDb;
using korvex::dsp::ThreeBandEq;

constexpr int kRate = 44100;
constexpr std::size_t kBlock = 512;
constexpr std::size_t kStreamBlocks = 64;

std::int64_t threadNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void runEq(benchmark::State& state, bool dragged) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> source(2 * kBlock * kStreamBlocks);
    for (float& x : source) x = uniform(random);
    std::vector<float> block(2 * kBlock);
    ThreeBandEq eq(kRate);
    eq.jumpToGains_rt(eqGainFromDb(-HUGE_VAL), eqGainFromDb(3.0), eqGainFromDb(-6.0));
    std::int64_t busy = 0;
    std::size_t frames = 0;
    std::size_t n = 0;
    for (auto _ : state) {
        const std::size_t b = n++ % kStreamBlocks;
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(2 * kBlock * b), 2 * kBlock, block.begin());
        const std::int64_t begin = threadNanoseconds();
        if (dragged) eq.setGains_rt(static_cast<float>(b) / kStreamBlocks, 1.2f, 0.8f);
        eq.process_rt(block.data(), kBlock);
        busy += threadNanoseconds() - begin;
        frames += kBlock;
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["ns_per_frame"] = static_cast<double>(busy) / static_cast<double>(frames);
}

void BM_EqPerDeck(benchmark::State& state) {
    runEq(state, false);
}
BENCHMARK(BM_EqPerDeck);

void BM_EqPerDeckWhileDragged(benchmark::State& state) {
    runEq(state, true);
}
BENCHMARK(BM_EqPerDeckWhileDragged);

}  // namespace
