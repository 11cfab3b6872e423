#pragma once
// Chorus and flanger: a delay whose tap swings around a centre under a low-frequency oscillator, mixed
// with the dry sound. The chorus feeds one line with the mean of both channels and reads it with two
// oscillators; the flanger keeps a line per channel. Feedback comes from the unmodulated centre tap.

#include "platform/dsp/effects/dsp_math.h"
#include "platform/dsp/effects/effect.h"

namespace korvex::dsp::fx {

class ModulatedDelay final : public Effect {
public:
    // `chorus` picks the chorus (one shared line, ChorusParams) over the flanger (FlangerParams).
    ModulatedDelay(bool chorus, int sampleRate);
    void setParameters_rt(const EffectParams& params) override;
    void process_rt(float* stereo, std::size_t frames) override;
    void reset_rt() override;

private:
    // The fields chorus and flanger share.
    void setTargets(float wetDryMix, float depth, float feedback, float frequency, int waveform,
                    float delayMs, int phase);
    // process_rt's loop once nothing glides and the oscillator is a pure sine or triangle.
    void processStill(float* stereo, std::size_t frames, bool sine);

    bool chorus_;
    double sampleRate_;
    DelayLine left_;          // the shared line of the chorus
    DelayLine right_;         // unused by the chorus
    Glide wet_;               // 0 .. 1
    Glide feedback_;          // -0.99 .. 0.99
    Glide delay_;             // centre, samples
    Glide swing_;             // samples either side of the centre
    Glide sine_;              // 1 sine, 0 triangle (a switch glides between the two shapes)
    Glide offset_;            // the right oscillator's lead in turns
    float increment_ = 0.0f;  // oscillator turns per sample
    float phase_ = 0.0f;      // turns, 0 .. 1
    bool fresh_ = true;
};

}  // namespace korvex::dsp::fx
