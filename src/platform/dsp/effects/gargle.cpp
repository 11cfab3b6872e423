// A change of rate keeps the phase, so the modulation carries on without a jump.

#include "platform/dsp/effects/gargle.h"

#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

Gargle::Gargle(int sampleRate) : sampleRate_(sampleRate), glide_(glideCoefficient(0.005, sampleRate)) {
    setParameters_rt(GargleParams{});
}

void Gargle::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<GargleParams>(&params);
    if (p == nullptr) return;
    increment_ = p->dwRateHz / sampleRate_;
    squareTarget_ = p->dwWaveShape == 1 ? 1.0f : 0.0f;
}

void Gargle::reset_rt() {
    phase_ = 0.0;
    fresh_ = true;
}

void Gargle::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        square_ = squareTarget_;
        fresh_ = false;
    }
    double phase = phase_;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto triangle = static_cast<float>(1.0 - std::abs(2.0 * phase - 1.0));
        const float square = phase < 0.5 ? 1.0f : 0.0f;
        float m = square_ == 0.0f ? triangle : square;
        if (square_ != squareTarget_) {
            square_ += glide_ * (squareTarget_ - square_);
            m = triangle + square_ * (square - triangle);
        }
        stereo[2 * i] *= m;
        stereo[2 * i + 1] *= m;
        phase += increment_;
        if (phase >= 1.0) phase -= 1.0;
    }
    phase_ = phase;
    if (std::abs(square_ - squareTarget_) < 1e-6f) square_ = squareTarget_;
}

}  // namespace korvex::dsp::fx
