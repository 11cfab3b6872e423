#include "platform/analysis/beat_grid.h"

#include <algorithm>
#include <cmath>

namespace korvex::analysis {
namespace {

// A beat further than this part of a period from the line is not one of its beats.
constexpr double kInlierShare = 0.2;
constexpr int kMinimumBeats = 4;

struct Line {
    double a = 0.0;  // time of beat number 0
    double b = 0.0;  // seconds per beat
};

// Least squares through the points (k, t).
std::optional<Line> fitLine(const std::vector<double>& k, const std::vector<double>& t) {
    const auto n = static_cast<double>(k.size());
    if (k.size() < 2) return std::nullopt;
    double sk = 0, st = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        sk += k[i];
        st += t[i];
    }
    const double mk = sk / n, mt = st / n;
    double skk = 0, skt = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        skk += (k[i] - mk) * (k[i] - mk);
        skt += (k[i] - mk) * (t[i] - mt);
    }
    if (skk <= 0.0) return std::nullopt;
    const double b = skt / skk;
    return Line{mt - b * mk, b};
}

}  // namespace

double medianInterval(const std::vector<double>& beats) {
    if (beats.size() < 2) return 0.0;
    std::vector<double> gaps;
    gaps.reserve(beats.size() - 1);
    for (std::size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
    auto mid = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
    std::nth_element(gaps.begin(), mid, gaps.end());
    return *mid;
}

std::optional<BeatGrid> fitBeatGrid(const std::vector<double>& beats, double periodGuess) {
    if (beats.size() < static_cast<std::size_t>(kMinimumBeats) || !(periodGuess > 0.0)) return std::nullopt;
    // Start from the guess through the median beat and widen the stretch of song the line is fitted to
    // round by round: far from the start, a slightly wrong period would number beats wrongly and yet see
    // them fit.
    const double centre = beats[beats.size() / 2];
    Line line{centre, periodGuess};
    std::vector<double> k, t;
    for (int round = 0; round < 10; ++round) {
        k.clear();
        t.clear();
        const double reach = round < 8 ? 8.0 * (1 << round) * line.b : HUGE_VAL;
        const double share = round < 2 ? 0.35 : kInlierShare;
        for (const double beat : beats) {
            if (std::abs(beat - centre) > reach) continue;
            const double n = std::round((beat - line.a) / line.b);
            if (std::abs(beat - (line.a + n * line.b)) > share * line.b) continue;
            k.push_back(n);
            t.push_back(beat);
        }
        if (k.size() < static_cast<std::size_t>(kMinimumBeats)) {
            if (round < 8) continue;
            return std::nullopt;
        }
        const std::optional<Line> next = fitLine(k, t);
        if (!next || !(next->b > 0.0)) return std::nullopt;
        line = *next;
    }
    BeatGrid grid;
    grid.period = line.b;
    // The first beat that fitted, placed on the line.
    grid.anchor = line.a + k.front() * line.b;
    grid.inliers = static_cast<int>(k.size());
    grid.beats = static_cast<int>(beats.size());
    return grid;
}

double foldTempo(double bpm) {
    if (!(bpm > 0.0) || !std::isfinite(bpm)) return bpm;
    while (bpm < kLowestBpm - kFoldMargin) bpm *= 2.0;
    while (bpm > kHighestBpm + kFoldMargin) bpm /= 2.0;
    return bpm;
}

}  // namespace korvex::analysis
