#include "platform/dsp/effects/param_eq.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace korvex::dsp::fx {

namespace {
// Frames between coefficient updates while a parameter glides.
constexpr std::size_t kStep = 16;
constexpr double kGlideSeconds = 0.01;
}  // namespace

ParamEq::ParamEq(int sampleRate) : sampleRate_(sampleRate) {
    const float c = glideCoefficient(kGlideSeconds, sampleRate / static_cast<double>(kStep));
    log2Centre_.coefficient = octaves_.coefficient = gainDb_.coefficient = c;
    setParameters_rt(ParamEqParams{});
    log2Centre_.snap();
    octaves_.snap();
    gainDb_.snap();
    updateCoefficients();
}

void ParamEq::setParameters_rt(const EffectParams& params) {
    const auto* p = std::get_if<ParamEqParams>(&params);
    if (p == nullptr) return;
    // Above a third of the sample rate the band would crowd the top of the spectrum: hold it there.
    const double centre = std::min<double>(p->fCenter, sampleRate_ / 3.0);
    log2Centre_.target = static_cast<float>(std::log2(centre));
    octaves_.target = p->fBandwidth / 12.0f;
    gainDb_.target = p->fGain;
}

void ParamEq::reset_rt() {
    left_ = {};
    right_ = {};
    fresh_ = true;
}

void ParamEq::updateCoefficients() {
    coefficients_ = BiquadCoefficients::peaking(sampleRate_, std::exp2(static_cast<double>(log2Centre_.value)),
                                                octaves_.value, gainDb_.value);
}

void ParamEq::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        log2Centre_.snap();
        octaves_.snap();
        gainDb_.snap();
        updateCoefficients();
        fresh_ = false;
    }
    std::size_t done = 0;
    while (done < frames) {
        if (!log2Centre_.settled() || !octaves_.settled() || !gainDb_.settled()) {
            log2Centre_.step();
            octaves_.step();
            gainDb_.step();
            log2Centre_.settle(1e-4f);
            octaves_.settle(1e-4f);
            gainDb_.settle(1e-3f);
            updateCoefficients();
        }
        const std::size_t end = std::min(frames, done + kStep);
        const BiquadCoefficients c = coefficients_;
        for (std::size_t i = done; i < end; ++i) {
            stereo[2 * i] = left_.process(c, stereo[2 * i]);
            stereo[2 * i + 1] = right_.process(c, stereo[2 * i + 1]);
        }
        done = end;
    }
}

}  // namespace korvex::dsp::fx
