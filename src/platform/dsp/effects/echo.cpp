// Written into each line: input * sqrt(1 - fb^2) + tap * fb, so every repeat is the feedback times the one
// before and a long tail keeps the level of the input. The delay times glide (a brief tape-like pitch bend
// while they move) rather than jump, which would click.

#include "platform/dsp/effects/echo.h"

#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

namespace {
constexpr double kMaxDelayMs = 2000.0;
constexpr double kLevelGlideSeconds = 0.005;
constexpr double kDelayGlideSeconds = 0.03;
}  // namespace

Echo::Echo(int sampleRate)
    : sampleRate_(sampleRate),
      left_(static_cast<std::size_t>(kMaxDelayMs / 1000.0 * sampleRate) + 1),
      right_(static_cast<std::size_t>(kMaxDelayMs / 1000.0 * sampleRate) + 1) {
    wet_.coefficient = feedback_.coefficient = glideCoefficient(kLevelGlideSeconds, sampleRate);
    leftDelay_.coefficient = rightDelay_.coefficient = glideCoefficient(kDelayGlideSeconds, sampleRate);
    setParameters_rt(EchoParams{});
}

void Echo::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<EchoParams>(&params);
    if (p == nullptr) return;
    wet_.target = p->fWetDryMix / 100.0f;
    feedback_.target = p->fFeedback / 100.0f;
    leftDelay_.target = static_cast<float>(p->fLeftDelay / 1000.0 * sampleRate_);
    rightDelay_.target = static_cast<float>(p->fRightDelay / 1000.0 * sampleRate_);
    pan_ = p->lPanDelay != 0;
}

void Echo::reset_rt() {
    left_.clear();
    right_.clear();
    fresh_ = true;
}

void Echo::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        wet_.snap();
        feedback_.snap();
        leftDelay_.snap();
        rightDelay_.snap();
        fresh_ = false;
    }
    const DelayLine& sourceLeft = pan_ ? right_ : left_;
    const DelayLine& sourceRight = pan_ ? left_ : right_;
    for (std::size_t i = 0; i < frames; ++i) {
        const float w = wet_.step();
        const float fb = feedback_.step();
        const float dl = leftDelay_.step();
        const float dr = rightDelay_.step();
        // Read before this frame is written: a delay of d samples is d - 1 writes before the latest.
        const float tapL = sourceLeft.read(dl - 1.0f);
        const float tapR = sourceRight.read(dr - 1.0f);
        const float inL = stereo[2 * i];
        const float inR = stereo[2 * i + 1];
        const float keep = std::sqrt(std::max(0.0f, 1.0f - fb * fb));
        left_.write(inL * keep + tapL * fb);
        right_.write(inR * keep + tapR * fb);
        stereo[2 * i] = inL + w * (tapL - inL);
        stereo[2 * i + 1] = inR + w * (tapR - inR);
    }
    wet_.settle(1e-6f);
    feedback_.settle(1e-6f);
    leftDelay_.settle(1e-3f);
    rightDelay_.settle(1e-3f);
}

}  // namespace korvex::dsp::fx
