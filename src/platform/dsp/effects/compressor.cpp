// The followers run on the gain reduction in dB (not on the level), so the attack and release times are
// those of the gain a listener hears: after a step in level the reduction closes 90 % of its step in the
// set time. The detector's window lets the reduction start at once on a rise but makes it wait one window
// (10 ms) before releasing, which keeps the gain from rippling with the waves of a bass tone; the release
// follower is that much quicker, so a release still takes the set time in all.

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
    std::size_t size = 1;
    while (size < window_ + 1) size <<= 1;
    peakValues_.assign(size, 0.0f);
    peakFrames_.assign(size, 0);
    mask_ = size - 1;
    predelay_.coefficient = outputDb_.coefficient = glideCoefficient(kGlideSeconds, sampleRate);
    setParameters_rt(CompressorParams{});
}

void Compressor::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<CompressorParams>(&params);
    if (p == nullptr) return;
    threshold_ = p->fThreshold;
    slope_ = 1.0f - 1.0f / p->fRatio;
    attack_ = closing(p->fAttack, sampleRate_);
    release_ = closing(p->fRelease - kWindowSeconds * 1000.0, sampleRate_);
    predelay_.target = static_cast<float>(p->fPredelay / 1000.0 * sampleRate_);
    outputDb_.target = p->fGain;
}

void Compressor::reset_rt() {
    left_.clear();
    right_.clear();
    head_ = tail_ = 0;
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
        const float rectified = 0.5f * (std::abs(inL) + std::abs(inR));
        while (tail_ != head_ && peakValues_[(tail_ - 1) & mask_] <= rectified) --tail_;
        peakValues_[tail_ & mask_] = rectified;
        peakFrames_[tail_ & mask_] = frame_;
        ++tail_;
        if (peakFrames_[head_ & mask_] + window_ <= frame_) ++head_;
        ++frame_;
        const float level = std::max(peakValues_[head_ & mask_], kFloor);
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
