#pragma once
// Distortion (all wet): a one-pole low-pass at the pre-low-pass cutoff, a soft clipper whose knee drops as
// the edge rises, a band-pass post-EQ at the centre and bandwidth, then the gain.

#include "platform/dsp/effects/biquad.h"
#include "platform/dsp/effects/dsp_math.h"
#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class Distortion final : public Effect {
public:
    explicit Distortion(int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    void updateFilters();

    double sampleRate_;
    // Frequencies glide in octaves (log2 Hz), every few frames, held at or below a third of the rate.
    Glide log2Cutoff_;
    Glide log2Centre_;
    Glide log2Bandwidth_;
    Glide driveDb_;  // the clipper's drive, 0 .. 36 dB as the edge goes 0 .. 100
    Glide gain_;     // linear
    float lowpass_ = 1.0f;  // one-pole coefficient
    float lowL_ = 0.0f;
    float lowR_ = 0.0f;
    BiquadCoefficients bandPass_;
    BiquadState left_;
    BiquadState right_;
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
