#pragma once
// Second-order filter sections in the widely published audio-EQ cookbook forms, run in transposed direct
// form II (one stereo pair of states per section).

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvex::dsp::fx {

struct BiquadCoefficients {
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;

    // Peaking EQ at `centre` Hz, `octaves` wide between the frequencies of half the gain in dB, boosting or
    // cutting by `gainDb` at the centre.
    static BiquadCoefficients peaking(double sampleRate, double centre, double octaves, double gainDb) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w0 = 2.0 * std::numbers::pi * centre / sampleRate;
        const double sinW = std::sin(w0);
        const double alpha = sinW * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / sinW);
        const double a0 = 1.0 + alpha / a;
        return make((1.0 + alpha * a) / a0, -2.0 * std::cos(w0) / a0, (1.0 - alpha * a) / a0,
                    -2.0 * std::cos(w0) / a0, (1.0 - alpha / a) / a0);
    }

    // Band-pass at `centre` Hz with a peak gain of 1 and a -3 dB width of `bandwidthHz`.
    static BiquadCoefficients bandPass(double sampleRate, double centre, double bandwidthHz) {
        const double w0 = 2.0 * std::numbers::pi * centre / sampleRate;
        const double q = centre / bandwidthHz;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        return make(alpha / a0, 0.0, -alpha / a0, -2.0 * std::cos(w0) / a0, (1.0 - alpha) / a0);
    }

private:
    static BiquadCoefficients make(double b0, double b1, double b2, double a1, double a2) {
        return {static_cast<float>(b0), static_cast<float>(b1), static_cast<float>(b2), static_cast<float>(a1),
                static_cast<float>(a2)};
    }
};

// The two running states of one channel.
struct BiquadState {
    float s1 = 0.0f, s2 = 0.0f;

    float process(const BiquadCoefficients& c, float x) {
        const float y = c.b0 * x + s1;
        s1 = c.b1 * x - c.a1 * y + s2;
        s2 = c.b2 * x - c.a2 * y;
        return y;
    }
};

}  // namespace korvex::dsp::fx
