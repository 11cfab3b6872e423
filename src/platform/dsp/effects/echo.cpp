// Written into each line: input * sqrt(1 - fb^2) + tap * fb, so every repeat is the feedback times the one
// before and a long tail keeps the level of the input. Switching pan delay crossfades from reading the own
// line to reading the other side's; both taps are read all the time, which costs less than a branch.

#include "platform/dsp/effects/echo.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

namespace {
constexpr double kMaxDelayMs = 2000.0;
constexpr double kLevelGlideSeconds = 0.005;
constexpr double kFadeSeconds = 0.02;
}  // namespace

Echo::Echo(int sampleRate)
    : sampleRate_(sampleRate),
      fadeStep_(static_cast<float>(1.0 / (kFadeSeconds * sampleRate))),
      left_(static_cast<std::size_t>(kMaxDelayMs / 1000.0 * sampleRate) + 1),
      right_(static_cast<std::size_t>(kMaxDelayMs / 1000.0 * sampleRate) + 1) {
    wet_.coefficient = feedback_.coefficient = cross_.coefficient =
        glideCoefficient(kLevelGlideSeconds, sampleRate);
    setParameters_rt(EchoParams{});
}

void Echo::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<EchoParams>(&params);
    if (p == nullptr) return;
    wet_.target = p->fWetDryMix / 100.0f;
    feedback_.target = p->fFeedback / 100.0f;
    cross_.target = p->lPanDelay != 0 ? 1.0f : 0.0f;
    leftTap_.target = static_cast<float>(p->fLeftDelay / 1000.0 * sampleRate_);
    rightTap_.target = static_cast<float>(p->fRightDelay / 1000.0 * sampleRate_);
}

void Echo::reset_rt() {
    left_.clear();
    right_.clear();
    fresh_ = true;
}

Echo::Position Echo::step(Tap& tap) const {
    if (tap.fade >= 1.0f) {
        if (tap.target == tap.to) return {tap.to, tap.to, 1.0f};
        tap.from = tap.to;
        tap.to = tap.target;
        tap.fade = 0.0f;
    }
    const Position at{tap.from, tap.to, tap.fade};
    tap.fade = std::min(1.0f, tap.fade + fadeStep_);
    return at;
}

float Echo::read(const DelayLine& line, const Position& at) {
    // A delay of d samples, read before this frame is written, lies d - 1 writes before the latest.
    const float b = line.read(at.to - 1.0f);
    if (at.fade >= 1.0f) return b;
    const float a = line.read(at.from - 1.0f);
    return a + at.fade * (b - a);
}

void Echo::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        wet_.snap();
        feedback_.snap();
        cross_.snap();
        for (Tap* tap : {&leftTap_, &rightTap_}) *tap = {tap->target, tap->target, tap->target, 1.0f};
        fresh_ = false;
    }
    if (still()) {
        processStill(stereo, frames);
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float w = wet_.step();
        const float fb = feedback_.step();
        const float x = cross_.step();
        // Each side's tap reads both lines; pan delay picks (or, while switching, blends) the other's.
        const Position atL = step(leftTap_);
        const Position atR = step(rightTap_);
        const float ownL = read(left_, atL);
        const float otherL = read(right_, atL);
        const float ownR = read(right_, atR);
        const float otherR = read(left_, atR);
        const float tapL = ownL + x * (otherL - ownL);
        const float tapR = ownR + x * (otherR - ownR);
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
    cross_.settle(1e-6f);
}

bool Echo::still() const {
    const auto tapStill = [](const Tap& tap) { return tap.fade >= 1.0f && tap.target == tap.to; };
    return wet_.settled() && feedback_.settled() && cross_.settled() &&
           (cross_.value == 0.0f || cross_.value == 1.0f) && tapStill(leftTap_) && tapStill(rightTap_);
}

void Echo::processStill(float* stereo, std::size_t frames) {
    // Nothing glides and each side reads one line only: the per-frame work is two reads and two writes.
    const float w = wet_.value;
    const float fb = feedback_.value;
    const float keep = std::sqrt(std::max(0.0f, 1.0f - fb * fb));
    const bool crossed = cross_.value == 1.0f;
    const DelayLine& forLeft = crossed ? right_ : left_;
    const DelayLine& forRight = crossed ? left_ : right_;
    const float delayL = leftTap_.to - 1.0f;
    const float delayR = rightTap_.to - 1.0f;
    for (std::size_t i = 0; i < frames; ++i) {
        const float tapL = forLeft.read(delayL);
        const float tapR = forRight.read(delayR);
        const float inL = stereo[2 * i];
        const float inR = stereo[2 * i + 1];
        left_.write(inL * keep + tapL * fb);
        right_.write(inR * keep + tapR * fb);
        stereo[2 * i] = inL + w * (tapL - inL);
        stereo[2 * i + 1] = inR + w * (tapR - inR);
    }
}

}  // namespace korvex::dsp::fx
