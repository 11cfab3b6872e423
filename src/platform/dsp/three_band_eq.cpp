#include "platform/dsp/three_band_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/dsp/flush_denormals.h"

namespace korvex::dsp {

namespace {

using V4 = float __attribute__((vector_size(16)));

// On x86-64 the filter loop is built twice, for plain SSE2 and for processors with fused multiply-add
// (AVX2 and FMA, most since 2013), and the loader picks one when the program starts.
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_EQ_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KORVEX_EQ_CLONES
#endif

// Frames per pass of the two-pass loop.
constexpr std::size_t kRun = 64;

// Q of the two sections of a 4th-order Butterworth filter.
constexpr std::array<double, 2> kButterworthQ{0.54119610014619698, 1.3065629648763766};

struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

enum class Kind { LowPass, HighPass, AllPass };

// A bilinear-transform section at `hz` (pre-warped) with quality `q`. Low-pass + high-pass of the same
// section pair sum to the all-pass exactly, in the digital domain too.
Biquad section(Kind kind, double hz, double q, int sampleRate) {
    const double k = std::tan(std::numbers::pi * hz / sampleRate);
    const double norm = 1.0 / (1.0 + k / q + k * k);
    Biquad s;
    s.a1 = 2.0 * (k * k - 1.0) * norm;
    s.a2 = (1.0 - k / q + k * k) * norm;
    switch (kind) {
        case Kind::LowPass:
            s.b0 = k * k * norm;
            s.b1 = 2.0 * s.b0;
            s.b2 = s.b0;
            break;
        case Kind::HighPass:
            s.b0 = norm;
            s.b1 = -2.0 * norm;
            s.b2 = norm;
            break;
        case Kind::AllPass:
            s.b0 = s.a2;
            s.b1 = s.a1;
            s.b2 = 1.0;
            break;
    }
    return s;
}

// Puts `s` into lanes `lane` and `lane + 1` (left and right) of `stage`.
template <typename Stage>
void place(Stage& stage, int lane, const Biquad& s) {
    for (int l = lane; l < lane + 2; ++l) {
        stage.b0[l] = static_cast<float>(s.b0);
        stage.b1[l] = static_cast<float>(s.b1);
        stage.b2[l] = static_cast<float>(s.b2);
        stage.a1[l] = static_cast<float>(s.a1);
        stage.a2[l] = static_cast<float>(s.a2);
    }
}

}  // namespace

ThreeBandEq::ThreeBandEq(int sampleRate)
    : rampFrames_(std::max(1, static_cast<int>(std::lround(kRampSeconds * sampleRate)))) {
    // A Linkwitz-Riley filter of order 8 is the 4th-order Butterworth pair twice.
    for (int i = 0; i < kStages; ++i) {
        const double q = kButterworthQ[static_cast<std::size_t>(i % 2)];
        const auto s = static_cast<std::size_t>(i);
        place(split_[s], 0, section(Kind::LowPass, kLowCrossover, q, sampleRate));
        place(split_[s], 2, section(Kind::HighPass, kLowCrossover, q, sampleRate));
        // The all-pass of the upper crossover needs only the pair once; its other stages pass through.
        place(upper_[s], 0, i < 2 ? section(Kind::AllPass, kHighCrossover, q, sampleRate) : Biquad{});
        place(upper_[s], 2, section(Kind::HighPass, kHighCrossover, q, sampleRate));
    }
}

void ThreeBandEq::setGains_rt(float low, float mid, float high) {
    std::array<float, 4> target{std::clamp(low, 0.0f, kMaxGain), std::clamp(mid, 0.0f, kMaxGain),
                                std::clamp(high, 0.0f, kMaxGain), 1.0f};
    if (target[0] == 1.0f && target[1] == 1.0f && target[2] == 1.0f) target[3] = 0.0f;
    if (target == targets_) return;
    targets_ = target;
    for (std::size_t b = 0; b < 4; ++b)
        steps_[b] = (targets_[b] - gains_[b]) / static_cast<float>(rampFrames_);
    rampLeft_ = rampFrames_;
}

void ThreeBandEq::jumpToGains_rt(float low, float mid, float high) {
    setGains_rt(low, mid, high);
    gains_ = targets_;
    steps_ = {};
    rampLeft_ = 0;
}

bool ThreeBandEq::bypassed() const {
    return rampLeft_ == 0 && gains_[3] == 0.0f;
}

void ThreeBandEq::reset_rt() {
    splitState_ = {};
    upperState_ = {};
}

KORVEX_EQ_CLONES void ThreeBandEq::process_rt(float* frames, std::size_t count) {
    if (bypassed()) {
        idle_ = true;
        return;
    }
    if (idle_) {
        // Leaving flat: the filters start from rest while the cross-fade from the untouched sound begins,
        // so what they make while settling is heard at the ramp's first, lowest steps only.
        reset_rt();
        idle_ = false;
    }
    const FlushDenormals flush;
    std::array<std::array<V4, 2 * kStages>, 2> z{splitState_, upperState_};

    std::size_t done = 0;
    while (done < count) {
        if (bypassed()) {
            // Glided back to flat: the rest is untouched.
            idle_ = true;
            break;
        }
        // One run with the gains gliding, or one steady (a steady run's gains are the targets, the share
        // of the filtered sound is 1).
        const bool gliding = rampLeft_ > 0;
        const std::size_t n =
            gliding ? std::min(count - done, static_cast<std::size_t>(rampLeft_)) : count - done;
        V4 g1{gains_[0], gains_[0], 1.0f, 1.0f};  // weights of the first split into u (and HP1 as is)
        V4 g2{gains_[1], gains_[1], 0.0f, 0.0f};  // the first split's high-pass into u
        const float d = gains_[2] - gains_[1];
        V4 g3{1.0f, 1.0f, d, d};  // the all-pass as is, HP2 by gHigh - gMid
        const V4 d1{steps_[0], steps_[0], 0.0f, 0.0f};
        const V4 d2{steps_[1], steps_[1], 0.0f, 0.0f};
        const float dd = steps_[2] - steps_[1];
        const V4 d3{0.0f, 0.0f, dd, dd};
        float wet = gains_[3];
        const float dWet = steps_[3];

        // Two passes over short runs: each pass has only four stages in a row per frame, so the processor
        // overlaps neighbouring frames instead of waiting on one long chain.
        for (std::size_t run = 0; run < n; run += kRun) {
            const std::size_t m = std::min(kRun, n - run);
            float* p = frames + 2 * (done + run);
            V4 between[kRun];
            for (std::size_t i = 0; i < m; ++i) {
                V4 x{p[2 * i], p[2 * i + 1], p[2 * i], p[2 * i + 1]};
                for (int s = 0; s < kStages; ++s) {
                    const auto u = static_cast<std::size_t>(s);
                    const Stage& c = split_[u];
                    const V4 y = c.b0 * x + z[0][2 * u];
                    z[0][2 * u] = c.b1 * x - c.a1 * y + z[0][2 * u + 1];
                    z[0][2 * u + 1] = c.b2 * x - c.a2 * y;
                    x = y;
                }
                const V4 swapped = __builtin_shufflevector(x, x, 2, 3, 0, 1);
                between[i] = x * g1 + swapped * g2;
                if (gliding) {
                    g1 += d1;
                    g2 += d2;
                }
            }
            for (std::size_t i = 0; i < m; ++i) {
                V4 x = between[i];
                for (int s = 0; s < kStages; ++s) {
                    const auto u = static_cast<std::size_t>(s);
                    const Stage& c = upper_[u];
                    const V4 y = c.b0 * x + z[1][2 * u];
                    z[1][2 * u] = c.b1 * x - c.a1 * y + z[1][2 * u + 1];
                    z[1][2 * u + 1] = c.b2 * x - c.a2 * y;
                    x = y;
                }
                x *= g3;
                if (gliding) {
                    // Into and out of flat, a cross-fade with the untouched sound.
                    p[2 * i] += wet * (x[0] + x[2] - p[2 * i]);
                    p[2 * i + 1] += wet * (x[1] + x[3] - p[2 * i + 1]);
                    g3 += d3;
                    wet += dWet;
                } else {
                    p[2 * i] = x[0] + x[2];
                    p[2 * i + 1] = x[1] + x[3];
                }
            }
        }
        done += n;
        if (gliding) {
            rampLeft_ -= static_cast<int>(n);
            if (rampLeft_ == 0) {
                gains_ = targets_;
                steps_ = {};
            } else {
                for (std::size_t b = 0; b < 4; ++b) gains_[b] += steps_[b] * static_cast<float>(n);
            }
        }
    }
    splitState_ = z[0];
    upperState_ = z[1];
}

float eqGainFromDb(double db) {
    if (std::isnan(db) || db == -HUGE_VAL) return 0.0f;
    return std::min(ThreeBandEq::kMaxGain, static_cast<float>(std::pow(10.0, db / 20.0)));
}

}  // namespace korvex::dsp
