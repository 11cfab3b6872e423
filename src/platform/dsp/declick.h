#pragma once
// The short ramp that hides every discontinuity of a playing source (start, pause, stop, seek, the pause
// loop's return): a fading-out head and a fading-in head cross over its length. The raised-cosine shape
// keeps the two gains summing to one, so crossing a signal with a slightly earlier copy of itself (the
// pause loop) never swells above the signal's own level.

#include <array>
#include <cstddef>
#include <cmath>
#include <numbers>

namespace korvex::dsp {

class DeclickRamp {
public:
    // Ramp length in frames: 5 ms at 44.1 kHz.
    static constexpr int kFrames = 220;

    DeclickRamp() {
        for (int i = 0; i <= kFrames; ++i)
        {
            const double s = std::sin(0.5 * std::numbers::pi * i / kFrames);
            gains_[static_cast<std::size_t>(i)] = static_cast<float>(s * s);
        }
    }

    // Gain at ramp phase 0 (silent) .. kFrames (full).
    float gain(int phase) const { return gains_[static_cast<std::size_t>(phase)]; }

    // Adds `frames` stereo frames of `in` to `out` through the ramp, rising from `phase` to full level or
    // falling from it to silence; `phase` moves on. False once a falling head has reached silence.
    bool mix_rt(float* out, const float* in, std::size_t frames, int& phase, bool rising) const {
        std::size_t i = 0;
        if (rising) {
            for (; i < frames && phase < kFrames; ++i, ++phase) {
                const float g = gain(phase);
                out[2 * i] += g * in[2 * i];
                out[2 * i + 1] += g * in[2 * i + 1];
            }
            for (; i < frames; ++i) {
                out[2 * i] += in[2 * i];
                out[2 * i + 1] += in[2 * i + 1];
            }
            return true;
        }
        for (; i < frames && phase > 0; ++i) {
            --phase;
            const float g = gain(phase);
            out[2 * i] += g * in[2 * i];
            out[2 * i + 1] += g * in[2 * i + 1];
        }
        return phase > 0;
    }

private:
    std::array<float, kFrames + 1> gains_{};
};

}  // namespace korvex::dsp
