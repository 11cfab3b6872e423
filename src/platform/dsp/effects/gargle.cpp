// A change of rate keeps the phase, so the modulation carries on without a jump.

#include "platform/dsp/effects/gargle.h"

#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

Gargle::Gargle(int sampleRate) : sampleRate_(sampleRate) { setParameters_rt(GargleParams{}); }

void Gargle::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<GargleParams>(&params);
    if (p == nullptr) return;
    increment_ = p->dwRateHz / sampleRate_;
    square_ = p->dwWaveShape == 1;
}

void Gargle::reset_rt() { phase_ = 0.0; }

void Gargle::process_rt(float* stereo, std::size_t frames) {
    double phase = phase_;
    for (std::size_t i = 0; i < frames; ++i) {
        float m = 0.0f;
        if (square_) m = phase < 0.5 ? 1.0f : 0.0f;
        else m = static_cast<float>(1.0 - std::abs(2.0 * phase - 1.0));
        stereo[2 * i] *= m;
        stereo[2 * i + 1] *= m;
        phase += increment_;
        if (phase >= 1.0) phase -= 1.0;
    }
    phase_ = phase;
}

}  // namespace korvex::dsp::fx
