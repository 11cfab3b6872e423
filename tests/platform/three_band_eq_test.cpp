// The deck equaliser: a flat sum at 0 dB, deep kills, and gain moves that never click.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "platform/dsp/three_band_eq.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Frequency response of one channel, from the equaliser's impulse response (one second) at these gains.
class Response {
public:
    Response(float low, float mid, float high) {
        dsp::ThreeBandEq eq(kRate);
        eq.jumpToGains_rt(low, mid, high);
        ir_.assign(2 * kRate, 0.0f);
        ir_[0] = 1.0f;  // left
        ir_[1] = 0.5f;  // right, at another level: the lanes must not mix
        eq.process_rt(ir_.data(), kRate);
    }
    Response& operator+=(const Response& other) {
        for (std::size_t i = 0; i < ir_.size(); ++i) ir_[i] += other.ir_[i];
        return *this;
    }
    double db(double freq, int which) const {
        std::complex<double> sum;
        const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi * freq / kRate);
        std::complex<double> w = 1.0;
        for (std::size_t n = 0; n < kRate; ++n, w *= turn) sum += w * static_cast<double>(ir_[2 * n + which]);
        return 20.0 * std::log10(std::abs(sum) / (which == 0 ? 1.0 : 0.5));
    }

private:
    std::vector<float> ir_;
};

TEST(ThreeBandEq, BandsSumFlatAndEachKillIsDeepAtItsCentre) {
    // Each band on its own (the filters in the path), added up.
    Response flat(1.0f, 0.0f, 0.0f);
    flat += Response(0.0f, 1.0f, 0.0f);
    flat += Response(0.0f, 0.0f, 1.0f);
    for (double f = 20.0; f <= 20000.0; f *= 1.1)
        for (int ch = 0; ch < 2; ++ch) EXPECT_NEAR(flat.db(f, ch), 0.0, 0.1) << f << " Hz, channel " << ch;

    // The bands' centres: geometric means of their edges (20 Hz, 250 Hz, 2.5 kHz, 20 kHz).
    const double low = std::sqrt(20.0 * 250.0), mid = std::sqrt(250.0 * 2500.0),
                 high = std::sqrt(2500.0 * 20000.0);
    const Response lowKilled(0.0f, 1.0f, 1.0f), midKilled(1.0f, 0.0f, 1.0f), highKilled(1.0f, 1.0f, 0.0f);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_LT(lowKilled.db(low, ch), -60.0);
        EXPECT_LT(midKilled.db(mid, ch), -60.0);
        EXPECT_LT(highKilled.db(high, ch), -60.0);
        // The other bands stay where they were.
        EXPECT_NEAR(lowKilled.db(high, ch), 0.0, 0.1);
        EXPECT_NEAR(highKilled.db(low, ch), 0.0, 0.1);
        EXPECT_NEAR(midKilled.db(low, ch), 0.0, 0.1);
    }

    // +6 dB and -12 dB land on the band's centre.
    const Response shaped(dsp::eqGainFromDb(6.0), dsp::eqGainFromDb(-12.0), 1.0f);
    EXPECT_NEAR(shaped.db(low, 0), 6.0, 0.1);
    EXPECT_NEAR(shaped.db(mid, 0), -12.0, 0.2);
    EXPECT_EQ(dsp::eqGainFromDb(-HUGE_VAL), 0.0f);
    EXPECT_EQ(dsp::eqGainFromDb(0.0), 1.0f);
    EXPECT_FLOAT_EQ(dsp::eqGainFromDb(20.0), dsp::ThreeBandEq::kMaxGain);
}

// A knob dragged block by block, and kills switched, while a steady tone of that band plays: no sample
// steps further than the tone itself does.
TEST(ThreeBandEq, GainMovesAndKillsGlideWithoutAClick) {
    struct Case {
        double freq;
        int band;
    };
    for (const Case c : {Case{70.0, 0}, Case{790.0, 1}, Case{7000.0, 2}}) {
        dsp::ThreeBandEq eq(kRate);
        std::vector<float> tone = sine(c.freq, 3.0, kRate, 0.5f);
        const std::size_t block = 64;
        const std::size_t blocks = tone.size() / 2 / block;
        for (std::size_t b = 0; b < blocks; ++b) {
            std::array<float, 3> gains{1.0f, 1.0f, 1.0f};
            const double t = static_cast<double>(b * block) / kRate;
            if (t >= 1.0 && t < 1.5) gains[static_cast<std::size_t>(c.band)] = 0.0f;  // kill, then back
            if (t >= 2.0)
                gains[static_cast<std::size_t>(c.band)] = static_cast<float>(b % 5) / 4.0f;  // dragged
            eq.setGains_rt(gains[0], gains[1], gains[2]);
            eq.process_rt(tone.data() + 2 * b * block, block);
        }
        const double natural = 0.5 * 2.0 * std::numbers::pi * c.freq / kRate;
        const std::vector<float> out = channel(tone, 0, kRate / 2, blocks * block - kRate / 2);
        EXPECT_LT(maxStep(out), 1.5 * natural) << c.freq << " Hz";
        // Back to flat, the tone passes sample for sample.
        eq.setGains_rt(1.0f, 1.0f, 1.0f);
        std::vector<float> after = sine(c.freq, 0.1, kRate, 0.5f);
        const std::vector<float> before = after;
        eq.process_rt(after.data(), after.size() / 2);
        EXPECT_EQ(std::vector<float>(after.begin() + kRate / 25, after.end()),
                  std::vector<float>(before.begin() + kRate / 25, before.end()));
        // The kill did take the tone away (its middle, after the glide).
        EXPECT_LT(rms(channel(tone, 0, kRate * 5 / 4, kRate / 10)), 0.5 * 1e-3) << c.freq << " Hz";
    }
}

}  // namespace
}  // namespace korvex::test
