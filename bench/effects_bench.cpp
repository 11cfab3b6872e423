// Cost of the sampler's effects per stereo frame, alone and all seven in one chain, and how soon a new
// record is heard.
//
// A slot's chain runs on the audio thread beside the decks, so each effect should stay under 40 ns per
// frame and a chain of all seven under 200 ns. ns_per_frame is the time per stereo frame in 512-frame
// blocks of noise. blocks_of_delay counts the blocks between a record being set and the first block that
// sounds different: 0 means the very next block already carries the change.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/dsp/effect_chain.h"
#include "platform/dsp/effect_info.h"

namespace {

using namespace korvex::dsp;

constexpr int kRate = 44100;
constexpr std::size_t kBlock = 512;
constexpr std::size_t kStreamFrames = 64 * kBlock;

std::vector<float> noise(std::size_t frames) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> v(2 * frames);
    for (float& x : v) x = uniform(random);
    return v;
}

// Nanoseconds per frame for a benchmark that processes kBlock frames per iteration.
benchmark::Counter nsPerFrame() {
    return benchmark::Counter(static_cast<double>(kBlock) * 1e-9,
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs `chain` over a looping stream of noise, one block per iteration.
void stream(benchmark::State& state, EffectChain& chain) {
    const std::vector<float> source = noise(kStreamFrames);
    std::vector<float> work = source;
    std::size_t at = 0;
    for (auto _ : state) {
        float* block = work.data() + 2 * at;
        chain.process_rt(block, kBlock);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        at += kBlock;
        if (at == kStreamFrames) {
            state.PauseTiming();
            work = source;
            at = 0;
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_frame"] = nsPerFrame();
}

// One effect at its defaults. Arg: EffectKind.
void BM_Effect(benchmark::State& state) {
    const auto kind = static_cast<EffectKind>(state.range(0));
    state.SetLabel(std::string(effectName(kind)));
    EffectChain chain({kind}, kRate);
    stream(state, chain);
}
BENCHMARK(BM_Effect)->DenseRange(0, kEffectKinds - 1);

// All seven in the order of the effect lists.
void BM_AllSevenInOneChain(benchmark::State& state) {
    EffectChain chain({EffectKind::Echo, EffectKind::Chorus, EffectKind::Flanger, EffectKind::Distortion,
                       EffectKind::Compressor, EffectKind::ParamEq, EffectKind::Gargle},
                      kRate);
    stream(state, chain);
}
BENCHMARK(BM_AllSevenInOneChain);

// A slider dragged across the parametric EQ's centre: a new record every block, so the band glides and
// its coefficients follow all the time.
void BM_ParamEqWhileDragged(benchmark::State& state) {
    EffectChain chain({EffectKind::ParamEq}, kRate);
    const std::vector<float> source = noise(kBlock);
    std::vector<float> work = source;
    float centre = 200.0f;
    for (auto _ : state) {
        centre = centre > 12000.0f ? 200.0f : centre * 1.05f;
        state.PauseTiming();
        chain.setParameters(0, ParamEqParams{centre, 12, 9});
        work = source;
        state.ResumeTiming();
        chain.process_rt(work.data(), kBlock);
        benchmark::DoNotOptimize(work.data());
    }
    state.counters["ns_per_frame"] = nsPerFrame();
}
BENCHMARK(BM_ParamEqWhileDragged);

// Blocks between setting a record and hearing it, the worst of the seven. Times nothing useful.
void BM_ParameterChangeLatency(benchmark::State& state) {
    const std::vector<EffectParams> changes{
        EchoParams{20, 50, 500, 500, 0},       ChorusParams{80, 10, 25, 1.1f, 1, 16, 3},
        FlangerParams{50, 100, -50, 0.25f, 1, 2, 0}, DistortionParams{-6, 15, 2400, 2400, 8000},
        CompressorParams{6, 10, 200, -20, 3, 4}, ParamEqParams{1000, 12, 12},
        GargleParams{20, 1}};
    const std::vector<float> source = noise(kStreamFrames);
    int worst = 0;
    for (auto _ : state) {
        worst = 0;
        for (const EffectParams& change : changes) {
            EffectChain changed({kindOf(change)}, kRate);
            EffectChain kept({kindOf(change)}, kRate);
            std::vector<float> a = source;
            std::vector<float> b = source;
            changed.process_rt(a.data(), 8 * kBlock);
            kept.process_rt(b.data(), 8 * kBlock);
            changed.setParameters(0, change);
            int blocks = 0;
            for (std::size_t at = 8 * kBlock; at < kStreamFrames; at += kBlock, ++blocks) {
                changed.process_rt(a.data() + 2 * at, kBlock);
                kept.process_rt(b.data() + 2 * at, kBlock);
                if (!std::equal(a.begin() + 2 * at, a.begin() + 2 * (at + kBlock), b.begin() + 2 * at)) break;
            }
            worst = std::max(worst, blocks);
        }
    }
    state.counters["blocks_of_delay"] = worst;
}
BENCHMARK(BM_ParameterChangeLatency)->Iterations(1);

}  // namespace
