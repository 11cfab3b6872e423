#pragma once
// Echo: a delay line per channel with feedback. Each channel hears its own line at its own delay, or with
// pan delay the other channel's line, so repeats bounce between the sides.

#include "platform/dsp/effects/dsp_math.h"
#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class Echo final : public Effect {
public:
    explicit Echo(int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    double sampleRate_;
    DelayLine left_;
    DelayLine right_;
    Glide wet_;         // 0 .. 1
    Glide feedback_;    // 0 .. 1
    Glide leftDelay_;   // samples
    Glide rightDelay_;  // samples
    bool pan_ = false;
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
