#pragma once
// Second-order filters in the trapezoidal state-variable form. Their responses are those of the widely
// published audio-EQ cookbook (the same analogue prototypes through the same pre-warped bilinear
// transform), but the state is held as two integrator charges, so coefficients that move while a slider
// is dragged do not make the filter ring or jump the way a direct-form section does.

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvex::dsp::fx {

struct FilterCoefficients {
    float a1 = 1.0f, a2 = 0.0f, a3 = 0.0f;  // the integrators' update
    float m0 = 1.0f, m1 = 0.0f, m2 = 0.0f;  // output mix of input, band and low outputs

    // Peaking EQ at `centre` Hz, `octaves` wide between the frequencies of half the gain in dB, boosting or
    // cutting by `gainDb` at the centre.
    static FilterCoefficients peaking(double sampleRate, double centre, double octaves, double gainDb) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * std::numbers::pi * centre / sampleRate;
        const double inverseQ = 2.0 * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / std::sin(w0));
        const double k = inverseQ / a;
        return make(std::tan(w0 / 2.0), k, 1.0, k * (a * a - 1.0), 0.0);
    }

    // Band-pass at `centre` Hz with a peak gain of 1 and a -3 dB width of `bandwidthHz`.
    static FilterCoefficients bandPass(double sampleRate, double centre, double bandwidthHz) {
        const double w0 = 2.0 * std::numbers::pi * centre / sampleRate;
        const double k = bandwidthHz / centre;  // 1 / Q
        return make(std::tan(w0 / 2.0), k, 0.0, k, 0.0);
    }

private:
    static FilterCoefficients make(double g, double k, double m0, double m1, double m2) {
        const double a1 = 1.0 / (1.0 + g * (g + k));
        const double a2 = g * a1;
        return {static_cast<float>(a1), static_cast<float>(a2), static_cast<float>(g * a2),
                static_cast<float>(m0), static_cast<float>(m1), static_cast<float>(m2)};
    }
};

// The two integrator charges of one channel.
struct FilterState {
    float ic1 = 0.0f, ic2 = 0.0f;

    float process(const FilterCoefficients& c, float x) {
        const float v3 = x - ic2;
        const float v1 = c.a1 * ic1 + c.a2 * v3;
        const float v2 = ic2 + c.a2 * ic1 + c.a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        return c.m0 * x + c.m1 * v1 + c.m2 * v2;
    }
};

}  // namespace korvex::dsp::fx
