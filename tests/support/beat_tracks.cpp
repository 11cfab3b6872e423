#include "support/beat_tracks.h"

#include <cmath>
#include <numbers>
#include <random>

namespace korvex::test {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Adds a decaying sine burst at `at` seconds.
void burst(std::vector<float>& out, int rate, double at, double freq, double decay, double amplitude,
           double length) {
    const auto frames = static_cast<long>(out.size() / 2);
    const long first = std::lround(at * rate);
    const long count = std::lround(length * rate);
    for (long i = 0; i < count; ++i) {
        const long f = first + i;
        if (f < 0 || f >= frames) continue;
        const double t = static_cast<double>(i) / rate;
        const auto v = static_cast<float>(amplitude * std::exp(-t / decay) * std::sin(kTwoPi * freq * t));
        out[2 * f] += v;
        out[2 * f + 1] += v;
    }
}

}  // namespace

std::vector<float> clickTrack(double bpm, double seconds, double firstBeat, int rate, double clickHz) {
    std::vector<float> out(static_cast<std::size_t>(seconds * rate) * 2, 0.0f);
    const double period = 60.0 / bpm;
    int n = 0;
    for (double t = firstBeat; t < seconds; t = firstBeat + (++n) * period) {
        const double loud = n % 4 == 0 ? 0.5 : 0.35;
        burst(out, rate, t, clickHz, 0.004, loud, 0.03);
        burst(out, rate, t, 60.0, 0.03, loud, 0.12);
    }
    return out;
}

std::vector<float> drumGroove(double bpm, double seconds, double firstBeat, unsigned seed, int rate) {
    std::vector<float> out(static_cast<std::size_t>(seconds * rate) * 2, 0.0f);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double period = 60.0 / bpm;
    const double swing = 0.5 + 0.17 * unit(random);  // where the off-beat hat falls, as a share of the beat
    const double bassRoot = 41.2 * std::pow(2.0, std::floor(unit(random) * 7.0) / 12.0);
    const double padRoot = 220.0 * std::pow(2.0, std::floor(unit(random) * 7.0) / 12.0);
    const long frames = static_cast<long>(out.size() / 2);
    // A soft chord pad under everything, changing every bar.
    for (long f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const int bar = static_cast<int>(std::floor((t - firstBeat) / (4 * period)));
        const double root = padRoot * (bar % 2 == 0 ? 1.0 : 1.3348);
        const auto v = static_cast<float>(0.03 * (std::sin(kTwoPi * root * t) + std::sin(kTwoPi * root * 1.26 * t) +
                                                  std::sin(kTwoPi * root * 1.498 * t)));
        out[2 * f] += v;
        out[2 * f + 1] += v;
    }
    int n = 0;
    for (double t = firstBeat; t < seconds; t = firstBeat + (++n) * period) {
        burst(out, rate, t, 55.0, 0.06, 0.55, 0.25);  // kick
        if (n % 2 == 1) {
            // snare: a tone and a noise burst
            burst(out, rate, t, 190.0, 0.03, 0.25, 0.12);
            const long first = std::lround(t * rate);
            for (long i = 0; i < rate / 8; ++i) {
                if (first + i >= frames) break;
                const auto v = static_cast<float>(0.2 * std::exp(-static_cast<double>(i) / rate / 0.04) *
                                                  (2.0 * unit(random) - 1.0));
                out[2 * (first + i)] += v;
                out[2 * (first + i) + 1] += v;
            }
        }
        for (const double at : {0.0, swing}) {
            // closed hats: short noise
            const long first = std::lround((t + at * period) * rate);
            for (long i = 0; i < rate / 40; ++i) {
                if (first + i >= frames || first + i < 0) break;
                const auto v = static_cast<float>(0.06 * std::exp(-static_cast<double>(i) / rate / 0.008) *
                                                  (2.0 * unit(random) - 1.0));
                out[2 * (first + i)] += v;
                out[2 * (first + i) + 1] += v;
            }
        }
        // bass on the off-beat, a fifth up every other bar
        const double note = bassRoot * ((n / 4) % 2 == 0 ? 1.0 : 1.498);
        burst(out, rate, t + 0.5 * period, note, 0.12, 0.18, 0.4 * period);
    }
    return out;
}

}  // namespace korvex::test
