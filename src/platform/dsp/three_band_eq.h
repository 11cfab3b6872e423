#pragma once
// A deck's three-band equaliser with kills: low, mid and high gains around crossovers at 250 Hz and
// 2.5 kHz.
//
// Why it is shaped this way: the bands come from 8th-order Linkwitz-Riley crossovers (two 4th-order
// Butterworth filters in a row, 48 dB per octave). A Linkwitz-Riley low-pass and high-pass add up to an
// all-pass, so with every band at 0 dB the output has exactly the input's magnitude at every frequency;
// the low band runs through the upper crossover's all-pass so that its phase matches the other two.
// 4th-order crossovers would leave 40-50 dB of the neighbouring bands' skirts at a killed band's centre;
// the 8th order takes a kill below 75 dB there.
//
// Rearranged so that no band needs its own all-pass: with u = gLow * low1 + gMid * high1 (the first
// split, already weighted),
//     out = AP2(u) + (gHigh - gMid) * HP2(high1)
// which is the same as the three weighted bands (AP2 = LP2 + HP2). The work is eight biquad stages on
// four float lanes: left and right of the first split's low-pass and high-pass, then left and right of
// the all-pass (two stages, the rest pass through) and of the second high-pass. GCC's vector types turn
// the lanes into SSE2 on x86-64 and into plain code elsewhere.
//
// With every band at 0 dB the input passes untouched and the filters rest, so a flat deck costs nothing
// (the sum would be the input through an all-pass, its phase smeared around the crossovers for nothing).
// Leaving or reaching flat cross-fades between the untouched and the filtered sound, and every change
// ramps linearly over kRampSeconds, a kill included, so nothing clicks. All of this runs on the audio
// thread: no allocation, no locks.

#include <array>
#include <cstddef>

namespace korvex::dsp {

class ThreeBandEq {
public:
    static constexpr double kLowCrossover = 250.0;    // Hz
    static constexpr double kHighCrossover = 2500.0;  // Hz
    static constexpr double kRampSeconds = 0.01;
    // Highest band gain, +6 dB.
    static constexpr float kMaxGain = 1.9952623f;

    explicit ThreeBandEq(int sampleRate);

    // Glides to these band gains (linear, 0 = killed .. kMaxGain) over the ramp; a new target in the
    // middle of a glide starts a new glide from where it is.
    void setGains_rt(float low, float mid, float high);
    // Takes these gains at once (for a deck that starts silent).
    void jumpToGains_rt(float low, float mid, float high);
    // Filters `frames` interleaved stereo frames in place.
    void process_rt(float* frames, std::size_t count);
    // Forgets the filters' memory (after silence has rung out).
    void reset_rt();

    // True while every band is at 0 dB and no glide is running: the output is the input, sample for sample.
    bool bypassed() const;

private:
    static constexpr int kStages = 4;
    // Four float lanes (SSE2 registers on x86-64).
    using Lanes = float __attribute__((vector_size(16)));
    // One biquad stage per lane, transposed direct form II.
    struct Stage {
        Lanes b0, b1, b2, a1, a2;
    };

    std::array<Stage, kStages> split_{};  // lanes: LP1 L, LP1 R, HP1 L, HP1 R
    std::array<Stage, kStages> upper_{};  // lanes: AP2 L, AP2 R, HP2 L, HP2 R
    std::array<Lanes, 2 * kStages> splitState_{};
    std::array<Lanes, 2 * kStages> upperState_{};

    int rampFrames_ = 1;
    // Low, mid, high and the share of the filtered signal (0 while flat): where the glide is now.
    std::array<float, 4> gains_{1.0f, 1.0f, 1.0f, 0.0f};
    std::array<float, 4> targets_{1.0f, 1.0f, 1.0f, 0.0f};
    std::array<float, 4> steps_{};
    int rampLeft_ = 0;
    bool idle_ = true;  // the filters rested while flat
};

// A band gain in dB (-inf .. +6) to the linear gain the equaliser takes.
float eqGainFromDb(double db);

}  // namespace korvex::dsp
