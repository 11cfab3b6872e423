// The clipper is tanh(g * x) / tanh(g): unity at full scale, with a drive g that rises from 1 (a gentle
// curve) to 63 (36 dB, close to a square) as the edge goes from 0 to 100, so the point where the curve
// bends, about 1 / g, drops. tanh is a rational approximation that reaches 1 exactly at 3.

#include "platform/dsp/effects/distortion.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <variant>

namespace korvex::dsp::fx {

namespace {
constexpr std::size_t kStep = 16;
constexpr double kGlideSeconds = 0.01;
constexpr float kMaxDriveDb = 36.0f;

float softTanh(float x) {
    if (x >= 3.0f) return 1.0f;
    if (x <= -3.0f) return -1.0f;
    const float x2 = x * x;
    return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}
}  // namespace

Distortion::Distortion(int sampleRate) : sampleRate_(sampleRate) {
    const float slow = glideCoefficient(kGlideSeconds, sampleRate / static_cast<double>(kStep));
    log2Cutoff_.coefficient = log2Centre_.coefficient = log2Bandwidth_.coefficient = driveDb_.coefficient = slow;
    gain_.coefficient = glideCoefficient(kGlideSeconds / 2, sampleRate);
    setParameters_rt(DistortionParams{});
    for (Glide* g : {&log2Cutoff_, &log2Centre_, &log2Bandwidth_, &driveDb_, &gain_}) g->snap();
    updateFilters();
}

void Distortion::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<DistortionParams>(&params);
    if (p == nullptr) return;
    const double third = sampleRate_ / 3.0;
    log2Cutoff_.target = static_cast<float>(std::log2(std::min<double>(p->fPreLowpassCutoff, third)));
    log2Centre_.target = static_cast<float>(std::log2(std::min<double>(p->fPostEQCenterFrequency, third)));
    log2Bandwidth_.target = static_cast<float>(std::log2(std::min<double>(p->fPostEQBandwidth, third)));
    driveDb_.target = p->fEdge / 100.0f * kMaxDriveDb;
    gain_.target = std::pow(10.0f, p->fGain / 20.0f);
}

void Distortion::reset_rt() {
    lowL_ = lowR_ = 0.0f;
    left_ = {};
    right_ = {};
    fresh_ = true;
}

void Distortion::updateFilters() {
    const double cutoff = std::exp2(static_cast<double>(log2Cutoff_.value));
    lowpass_ = static_cast<float>(1.0 - std::exp(-2.0 * std::numbers::pi * cutoff / sampleRate_));
    bandPass_ = BiquadCoefficients::bandPass(sampleRate_, std::exp2(static_cast<double>(log2Centre_.value)),
                                             std::exp2(static_cast<double>(log2Bandwidth_.value)));
}

void Distortion::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        for (Glide* g : {&log2Cutoff_, &log2Centre_, &log2Bandwidth_, &driveDb_, &gain_}) g->snap();
        updateFilters();
        fresh_ = false;
    }
    std::size_t done = 0;
    while (done < frames) {
        bool moved = false;
        for (Glide* g : {&log2Cutoff_, &log2Centre_, &log2Bandwidth_, &driveDb_}) {
            if (g->settled()) continue;
            g->step();
            g->settle(1e-4f);
            moved = true;
        }
        if (moved) updateFilters();
        const float drive = dbToGain(driveDb_.value);
        const float norm = 1.0f / softTanh(drive);
        const float a = lowpass_;
        const BiquadCoefficients c = bandPass_;
        const std::size_t end = std::min(frames, done + kStep);
        for (std::size_t i = done; i < end; ++i) {
            const float g = gain_.step();
            lowL_ += a * (stereo[2 * i] - lowL_);
            lowR_ += a * (stereo[2 * i + 1] - lowR_);
            stereo[2 * i] = g * left_.process(c, norm * softTanh(drive * lowL_));
            stereo[2 * i + 1] = g * right_.process(c, norm * softTanh(drive * lowR_));
        }
        done = end;
    }
    gain_.settle(1e-7f);
}

}  // namespace korvex::dsp::fx
