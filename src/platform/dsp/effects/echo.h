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
    // A read position that moves by crossfading from the old delay to the new one, so a new delay time is
    // neither a jump (a click) nor a glide (a pitch bend). A target that arrives during a fade is taken up
    // as soon as that fade ends.
    struct Tap {
        float from = 0.0f;    // samples
        float to = 0.0f;      // samples
        float target = 0.0f;  // samples
        float fade = 1.0f;    // 0 .. 1 from `from` to `to`; 1 when still
    };
    // Where a tap reads this frame: a blend of two delays.
    struct Position {
        float from;
        float to;
        float fade;
    };
    // This frame's position of `tap`, advancing its fade.
    Position step(Tap& tap) const;
    // The sound at `at` on `line`, read before this frame is written.
    static float read(const DelayLine& line, const Position& at);
    // True when nothing glides or fades and each side reads a single line.
    bool still() const;
    // process_rt's loop for that steady state.
    void processStill(float* stereo, std::size_t frames);

    double sampleRate_;
    float fadeStep_;  // fade advance per sample
    DelayLine left_;
    DelayLine right_;
    Glide wet_;       // 0 .. 1
    Glide feedback_;  // 0 .. 1
    Glide cross_;     // 0 each side reads its own line, 1 the other side's (pan delay)
    Tap leftTap_;
    Tap rightTap_;
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
