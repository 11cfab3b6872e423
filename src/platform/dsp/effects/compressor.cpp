// The followers run on the gain reduction in dB (not on the level), so the attack and release times are
// those of the gain a listener hears: after a step in level the reduction closes 90 % of its step in the
// set time. The peak hold lets the reduction start at once on a rise and wait one to two windows (10 to
// 20 ms) before releasing, which keeps the gain from rippling with the waves of a bass tone down to 50 Hz.

#include "platform/dsp/effects/compressor.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

namespace {
constexpr double kMaxPredelayMs = 4.0;
constexpr double kWindowSeconds = 0.01;
constexpr double kGlideSeconds = 0.005;
// Below this level (-120 dB) the detector reads silence.
constexpr float kFloor = 1e-6f;

// Per-sample coefficient of a one-pole follower that closes 90 % of a step in `ms`.
float closing(double ms, double sampleRate) {
    return static_cast<float>(1.0 - std::exp(std::log(0.1) / (ms / 1000.0 * sampleRate)));
}
}  // namespace

Compressor::Compressor(int sampleRate)
    : sampleRate_(sampleRate),
      left_(static_cast<std::size_t>(kMaxPredelayMs / 1000.0 * sampleRate) + 2),
      right_(static_cast<std::size_t>(kMaxPredelayMs / 1000.0 * sampleRate) + 2),
      window_(std::max<std::size_t>(1, static_cast<std::size_t>(kWindowSeconds * sampleRate))) {
    predelay_.coefficient = outputDb_.coefficient = glideCoefficient(kGlideSeconds, sampleRate);
    setParameters_rt(CompressorParams{});
}

void Compressor::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<CompressorParams>(&params);
    if (p == nullptr) return;
    threshold_ = p->fThreshold;
    slope_ = 1.0f - 1.0f / p->fRatio;
    attack_ = closing(p->fAttack, sampleRate_);
    release_ = closing(p->fRelease, sampleRate_);
    predelay_.target = static_cast<float>(p->fPredelay / 1000.0 * sampleRate_);
    outputDb_.target = p->fGain;
}

void Compressor::reset_rt() {
    left_.clear();
    right_.clear();
    windowFill_ = 0;
    currentPeak_ = lastPeak_ = 0.0f;
    reductionDb_ = 0.0f;
    fresh_ = true;
}

void Compressor::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        predelay_.snap();
        outputDb_.snap();
        fresh_ = false;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float inL = stereo[2 * i];
        const float inR = stereo[2 * i + 1];
        currentPeak_ = std::max(currentPeak_, 0.5f * (std::abs(inL) + std::abs(inR)));
        const float level = std::max({currentPeak_, lastPeak_, kFloor});
        if (++windowFill_ == window_) {
            lastPeak_ = currentPeak_;
            currentPeak_ = 0.0f;
            windowFill_ = 0;
        }
        const float over = gainToDb(level) - threshold_;
        const float wanted = over > 0.0f ? over * slope_ : 0.0f;
        reductionDb_ += (wanted > reductionDb_ ? attack_ : release_) * (wanted - reductionDb_);
        const float gain = dbToGain(outputDb_.step() - reductionDb_);
        // The sound is heard `predelay` late, so the reduction meets the peak that caused it.
        left_.write(inL);
        right_.write(inR);
        const float d = predelay_.step();
        stereo[2 * i] = gain * left_.read(d);
        stereo[2 * i + 1] = gain * right_.read(d);
    }
    predelay_.settle(1e-3f);
    outputDb_.settle(1e-5f);
}

}  // namespace korvex::dsp::fx
