#pragma once
// Parametric EQ: one peaking band on both channels. Centre, width and gain glide, and the coefficients
// follow them every few frames while they move.

#include "platform/dsp/effects/biquad.h"
#include "platform/dsp/effects/dsp_math.h"
#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class ParamEq final : public Effect {
public:
    explicit ParamEq(int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    void updateCoefficients();

    double sampleRate_;
    Glide log2Centre_;  // log2 of the centre in Hz, held at or below a third of the sample rate
    Glide octaves_;
    Glide gainDb_;
    BiquadCoefficients coefficients_;
    BiquadState left_;
    BiquadState right_;
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
