#pragma once
// Compressor (all wet): the level is the peak of the mean of |L| and |R| over the last 10 ms, so a steady
// tone down to 50 Hz reads steady; above the threshold the gain drops by (level - threshold) * (1 - 1 / ratio) dB,
// reached through attack and release followers; the sound itself runs through a look-ahead delay of the
// pre-delay, and the output gain comes last.

#include <cstdint>
#include <vector>

#include "platform/dsp/effects/dsp_math.h"
#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class Compressor final : public Effect {
public:
    explicit Compressor(int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    double sampleRate_;
    DelayLine left_;
    DelayLine right_;
    float threshold_ = -20.0f;      // dB
    float slope_ = 0.0f;            // 1 - 1 / ratio
    float attack_ = 1.0f;           // per-sample coefficients closing 90 % of a step in the set time
    float release_ = 1.0f;
    Glide predelay_;                // samples
    Glide outputDb_;
    // Running maximum over the last window_ samples: a queue of falling values with the frame each
    // arrived at, oldest first (head_ .. tail_, wrapping with mask_); the oldest is the maximum.
    std::size_t window_;
    std::vector<float> peakValues_;
    std::vector<std::uint64_t> peakFrames_;
    std::size_t mask_ = 0;
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    std::uint64_t frame_ = 0;
    float reductionDb_ = 0.0f;      // the follower's gain reduction, >= 0
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
