#pragma once
// Small building blocks of the effects: cheap approximations of the transcendental functions the inner
// loops need per sample, a one-pole glide for parameters, and a fractional-delay line.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace korvex::dsp::fx {

// sin(2*pi*turns) for any turns, within 5e-6.
inline float sinTurns(float turns) {
    float x = turns - std::floor(turns + 0.5f);  // -0.5 .. 0.5
    if (x > 0.25f)
        x = 0.5f - x;
    else if (x < -0.25f)
        x = -0.5f - x;
    const float t = 2.0f * std::numbers::pi_v<float> * x;  // -pi/2 .. pi/2
    const float t2 = t * t;
    return t * (1.0f + t2 * (-1.0f / 6 + t2 * (1.0f / 120 + t2 * (-1.0f / 5040 + t2 * (1.0f / 362880)))));
}

// Triangle with the phase of sinTurns: 0 at 0, 1 at a quarter turn, -1 at three quarters.
inline float triangleTurns(float turns) {
    const float x = turns - std::floor(turns);
    if (x < 0.25f) return 4.0f * x;
    if (x < 0.75f) return 2.0f - 4.0f * x;
    return 4.0f * x - 4.0f;
}

// Base-2 logarithm of a positive normal float, within 1e-4.
inline float log2Approx(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const float exponent = static_cast<float>(static_cast<int>(bits >> 23) - 127);
    const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u);  // 1 .. 2
    // log2(m) on [1, 2) through u = (m - 1) / (m + 1): log2(m) = 2/ln2 * (u + u^3/3 + u^5/5 + u^7/7).
    const float u = (m - 1.0f) / (m + 1.0f);
    const float u2 = u * u;
    return exponent + u * (2.8853900817779268f +
                           u2 * (0.9617966939259756f + u2 * (0.5770780163555854f + u2 * 0.41219858311f)));
}

// 2^x for x in about -126 .. 127, within 2e-6 relative.
inline float exp2Approx(float x) {
    if (x < -126.0f) return 0.0f;
    const float whole = std::floor(x);
    const float f = x - whole;  // 0 .. 1
    // 2^f by its Taylor series in f*ln2, to the sixth power.
    const float t = f * std::numbers::ln2_v<float>;
    const float p =
        1.0f +
        t * (1.0f + t * (0.5f + t * (1.0f / 6 + t * (1.0f / 24 + t * (1.0f / 120 + t * (1.0f / 720))))));
    const auto e = static_cast<std::uint32_t>(static_cast<int>(whole) + 127) << 23;
    return p * std::bit_cast<float>(e);
}

// log2(10): decibels to octaves of amplitude.
inline constexpr float kLog2Of10 = 3.32192809488736234787f;

// Decibels to a linear factor and back.
inline float dbToGain(float db) {
    return exp2Approx(db * (kLog2Of10 / 20.0f));
}
inline float gainToDb(float gain) {
    return log2Approx(gain) * (20.0f / kLog2Of10);
}

// Per-sample coefficient of a one-pole glide whose time constant is `seconds`.
inline float glideCoefficient(double seconds, double sampleRate) {
    return static_cast<float>(1.0 - std::exp(-1.0 / (seconds * sampleRate)));
}

// A value gliding towards its target by a fixed fraction of the distance per step.
struct Glide {
    float value = 0.0f;
    float target = 0.0f;
    float coefficient = 1.0f;

    void snap() { value = target; }
    float step() {
        value += coefficient * (target - value);
        return value;
    }
    bool settled() const { return value == target; }
    // Ends the glide once it is closer than `epsilon`, so steady states cost nothing extra.
    void settle(float epsilon) {
        if (std::abs(target - value) < epsilon) value = target;
    }
};

// A circular line of mono samples with reads at fractional delays (linear interpolation). The capacity is
// a power of two so the indices wrap with a mask.
class DelayLine {
public:
    // Allocates room for delays up to `maxDelay` samples.
    explicit DelayLine(std::size_t maxDelay) {
        std::size_t size = 1;
        while (size < maxDelay + 2) size <<= 1;
        samples_.assign(size, 0.0f);
        mask_ = size - 1;
    }

    void clear() { std::fill(samples_.begin(), samples_.end(), 0.0f); }

    // The sample written `delay` writes before the latest one (read(0) is the latest), interpolated
    // linearly between neighbours. 0 <= delay <= the capacity asked for.
    float read(float delay) const {
        delay = std::max(delay, 0.0f);  // rounding may leave a swing's low end a hair below zero
        // Through a 32-bit integer: a float to size_t conversion takes a branch on x86-64.
        const auto truncated = static_cast<std::int32_t>(delay);
        const float frac = delay - static_cast<float>(truncated);
        const auto whole = static_cast<std::size_t>(truncated);
        const float a = samples_[(cursor_ - whole) & mask_];
        const float b = samples_[(cursor_ - whole - 1) & mask_];
        return a + frac * (b - a);
    }
    // Appends a sample: afterwards read(0) returns it.
    void write(float sample) {
        cursor_ = (cursor_ + 1) & mask_;
        samples_[cursor_] = sample;
    }

private:
    std::vector<float> samples_;
    std::size_t mask_ = 0;
    std::size_t cursor_ = 0;
};

}  // namespace korvex::dsp::fx
