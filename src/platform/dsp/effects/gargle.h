#pragma once
// Gargle (all wet): the sound times a triangle (0 up to 1 and back over a period) or a square (1 for the
// first half of the period, 0 for the second) at the rate.

#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class Gargle final : public Effect {
public:
    explicit Gargle(int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    double sampleRate_;
    double increment_ = 0.0;  // turns per sample
    double phase_ = 0.0;      // turns, 0 .. 1
    bool square_ = false;
};

}  // namespace korvex::dsp::fx
