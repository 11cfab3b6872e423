// Resampler cost per output frame and its fidelity on a sine, next to linear interpolation.
//
// The engine renders two decks within 60 ns per output frame, so the resampler should stay well under
// 20 ns per stereo frame at a typical pitch of +7 %. The SNR benchmarks time nothing useful; they report
// snr_db against the ideal resampled sine, whose phase comes straight from the read positions.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "platform/dsp/resampler.h"

namespace {

using korvex::dsp::Resampler;

constexpr double kSampleRate = 44100.0;
constexpr double kPitch = 1.07;
constexpr std::size_t kBlock = 256;

// Interleaved stereo sine of amplitude 0.5, the right channel a quarter turn ahead.
std::vector<float> stereoSine(double hz, std::size_t frames) {
    std::vector<float> v(frames * 2);
    const double w = 2.0 * std::numbers::pi * hz / kSampleRate;
    for (std::size_t n = 0; n < frames; ++n) {
        v[2 * n] = static_cast<float>(0.5 * std::sin(w * static_cast<double>(n)));
        v[2 * n + 1] = static_cast<float>(0.5 * std::cos(w * static_cast<double>(n)));
    }
    return v;
}

// Frames to render for an SNR figure.
constexpr std::size_t kSnrFrames = 64 * kBlock;

// Read positions of kSnrFrames output frames at a fixed increment, stepped block by block through
// Resampler::advance as the engine steps them.
std::vector<double> readPositions(double inc) {
    std::vector<double> positions;
    double pos = Resampler::kHalfWidth + 0.3;
    for (std::size_t b = 0; b < kSnrFrames / kBlock; ++b) {
        for (std::size_t j = 0; j < kBlock; ++j) positions.push_back(pos + static_cast<double>(j) * inc);
        pos = Resampler::advance(pos, inc, inc, kBlock);
    }
    return positions;
}

// Input frames that cover readPositions(inc) with the kernel's context.
std::size_t framesFor(double inc) {
    return static_cast<std::size_t>(static_cast<double>(kSnrFrames) * inc) +
           std::size_t{4} * Resampler::kHalfWidth;
}

// Signal-to-error ratio in dB of `out` against stereoSine(hz) read exactly at `positions`.
double sineSnr(double hz, const std::vector<double>& positions, const std::vector<float>& out) {
    const double w = 2.0 * std::numbers::pi * hz / kSampleRate;
    double signal = 0.0;
    double error = 0.0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const double l = 0.5 * std::sin(w * positions[i]);
        const double r = 0.5 * std::cos(w * positions[i]);
        signal += l * l + r * r;
        error += (out[2 * i] - l) * (out[2 * i] - l) + (out[2 * i + 1] - r) * (out[2 * i + 1] - r);
    }
    return 10.0 * std::log10(signal / error);
}

// Time per output frame (shown in seconds with an SI prefix, e.g. 11.8n), for a benchmark that renders
// kBlock frames per iteration.
benchmark::Counter frameTime() {
    return benchmark::Counter(static_cast<double>(kBlock),
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Cost of one 256-frame block, reading through half a megabyte of noise as a playing deck would.
void BM_ResamplerBlock(benchmark::State& state) {
    const double inc = static_cast<double>(state.range(0)) / 1000.0;
    const Resampler resampler;
    const std::size_t inFrames = std::size_t{64} * 1024;
    std::vector<float> in(inFrames * 2);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (float& s : in) s = noise(rng);
    std::vector<float> out(kBlock * 2);
    const double start = Resampler::kHalfWidth + 0.25;
    const double limit = static_cast<double>(inFrames) - Resampler::kHalfWidth - 1.0;
    double pos = start;
    for (auto _ : state) {
        if (Resampler::advance(pos, inc, inc, kBlock) >= limit) pos = start;
        pos = resampler.process_rt(in.data(), inFrames, pos, inc, inc, out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
    state.counters["frame_time"] = frameTime();
}
BENCHMARK(BM_ResamplerBlock)->Arg(1070)->Arg(780)->Arg(1220)->Arg(2500)->Arg(8000);

// The same block with the increment gliding, as when the pitch fader moves.
void BM_ResamplerGlide(benchmark::State& state) {
    const Resampler resampler;
    const std::size_t inFrames = std::size_t{4} * 1024;
    const std::vector<float> in = stereoSine(440.0, inFrames);
    std::vector<float> out(kBlock * 2);
    for (auto _ : state) {
        const double end =
            resampler.process_rt(in.data(), inFrames, Resampler::kHalfWidth, 1.0, kPitch, out.data(), kBlock);
        benchmark::DoNotOptimize(end);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frame_time"] = frameTime();
}
BENCHMARK(BM_ResamplerGlide);

// SNR of the resampler at +7 %, in 256-frame blocks as the engine calls it. Arg: sine frequency in Hz.
void BM_ResamplerSnr(benchmark::State& state) {
    const double hz = static_cast<double>(state.range(0));
    const Resampler resampler;
    const std::size_t inFrames = framesFor(kPitch);
    const std::vector<float> in = stereoSine(hz, inFrames);
    const std::vector<double> positions = readPositions(kPitch);
    std::vector<float> out(kSnrFrames * 2);
    for (auto _ : state) {
        for (std::size_t b = 0; b < kSnrFrames; b += kBlock) {
            resampler.process_rt(in.data(), inFrames, positions[b], kPitch, kPitch, out.data() + 2 * b,
                                 kBlock);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["snr_db"] = sineSnr(hz, positions, out);
}
BENCHMARK(BM_ResamplerSnr)->Arg(1000)->Arg(12000)->Iterations(1);

// The same measure for linear interpolation, for reference.
void BM_LinearSnr(benchmark::State& state) {
    const double hz = static_cast<double>(state.range(0));
    const std::size_t inFrames = framesFor(kPitch);
    const std::vector<float> in = stereoSine(hz, inFrames);
    const std::vector<double> positions = readPositions(kPitch);
    std::vector<float> out(kSnrFrames * 2);
    for (auto _ : state) {
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const auto n = static_cast<std::size_t>(positions[i]);
            const auto f = static_cast<float>(positions[i] - static_cast<double>(n));
            for (std::size_t c = 0; c < 2; ++c) {
                const float a = in[2 * n + c];
                out[2 * i + c] = a + f * (in[2 * n + 2 + c] - a);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["snr_db"] = sineSnr(hz, positions, out);
}
BENCHMARK(BM_LinearSnr)->Arg(1000)->Arg(12000)->Iterations(1);

}  // namespace
