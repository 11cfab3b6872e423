#include "platform/analysis/analyzer.h"

#include <aubio/aubio.h>
#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "platform/analysis/beat_grid.h"

namespace korvex::analysis {
namespace {

// The analysis hop (11.6 ms at 44.1 kHz). The beat tracker runs at half the rate (pairs of samples
// averaged; its onsets need no treble), with a window of two such hops.
constexpr unsigned kHop = 512;
constexpr unsigned kTrackerHop = kHop / 2;
constexpr unsigned kTrackerWindow = 2 * kTrackerHop;
// Waveform columns start this long and are merged in pairs whenever there are more than kMaxColumns, so
// a song of any length has between half and all of kMaxColumns (enough for a strip of 700 pixels).
constexpr std::size_t kFirstColumnFrames = 1024;
constexpr std::size_t kMaxColumns = 4096;
// Below kBassHz the bass band (kick drums, bass notes), up to kBodyHz the body of snares and toms, above it
// the crack of snares, hi-hats and cymbals; each band's level is measured on its own.
constexpr double kBassHz = 200.0;
constexpr double kBodyHz = 1000.0;
// Midpoints between beats at least this strong against the beats make the beats half the real ones;
// every second beat this weak against the others makes them twice the real ones.
constexpr double kDoubleShare = 0.6;
constexpr double kHalfShare = 0.35;
// The grid's period is searched this far either side of the tracker's, in steps of kSearchStep, over the
// first kSearchSeconds of the song; then refined over the whole song from the drift of the beats' phase
// from one kSegmentSeconds stretch to the next.
constexpr double kSearchSpan = 0.05;
constexpr double kSearchStep = 0.0002;
constexpr double kSearchSeconds = 120.0;
constexpr double kSegmentSeconds = 16.0;
// Where in its hop a rise of level is placed, in hops: a click's rise shows half a hop after its start, a
// drum's (its attack takes a few milliseconds) a hop after; this puts both within 6 ms.
constexpr double kHopLag = 0.0;
// A song whose rises of level line up with its best period less than this share has no beat (a steady
// tone, speech, a mix of many tempi).
constexpr double kLeastCoherence = 0.08;

// The strength series' component at `period`: the sum of strength(h) * e^(i 2 pi t_h / period) over the
// hops [from, to). Its size says how strongly the song pulses at that period, its angle where the pulses
// fall.
std::complex<double> pulse(const std::vector<float>& strength, double hopSeconds, double period, std::size_t from,
                           std::size_t to) {
    const double step = 2.0 * std::numbers::pi * hopSeconds / period;
    const std::complex<double> turn = std::polar(1.0, step);
    std::complex<double> z = std::polar(1.0, step * (static_cast<double>(from) + kHopLag));
    std::complex<double> sum = 0.0;
    for (std::size_t h = from; h < to; ++h) {
        sum += static_cast<double>(strength[h]) * z;
        z *= turn;
        if ((h & 1023) == 0) z /= std::abs(z);
    }
    return sum;
}

// The period near `guess`, or near half of it, at which the song pulses most, refined over the whole song.
double refinePeriod(const std::vector<float>& strength, double hopSeconds, double guess) {
    const std::size_t hops = strength.size();
    const auto searched = std::min(hops, static_cast<std::size_t>(kSearchSeconds / hopSeconds));
    // A period is scored with its half: a tracker locked onto every second beat has the real beats at the
    // half period, where every beat adds up, while at its own period they cancel out every second time.
    double best = guess, bestSize = -1.0;
    for (double f = 1.0 - kSearchSpan; f <= 1.0 + kSearchSpan; f += kSearchStep) {
        const double size = std::abs(pulse(strength, hopSeconds, guess * f, 0, searched)) +
                            std::abs(pulse(strength, hopSeconds, guess * f / 2.0, 0, searched));
        if (size > bestSize) {
            bestSize = size;
            best = guess * f;
        }
    }
    // Refined (and returned) at whichever of the two pulses more strongly, so the beats' phase is taken
    // from where they add up.
    const double scale = std::abs(pulse(strength, hopSeconds, best / 2.0, 0, searched)) >
                                 std::abs(pulse(strength, hopSeconds, best, 0, searched))
                             ? 2.0
                             : 1.0;
    best /= scale;
    // The beats' phase in each stretch of the song drifts at 2 pi (1/period - 1/true period) per second.
    const auto segment = static_cast<std::size_t>(kSegmentSeconds / hopSeconds);
    for (int round = 0; round < 2 && hops >= 2 * segment; ++round) {
        double sw = 0, st = 0, sp = 0, stt = 0, stp = 0, previous = 0;
        bool first = true;
        for (std::size_t from = 0; from + segment <= hops; from += segment) {
            const std::complex<double> z = pulse(strength, hopSeconds, best, from, from + segment);
            const double w = std::abs(z);
            if (w <= 0.0) continue;
            double phase = std::arg(z);
            if (!first) phase += 2.0 * std::numbers::pi * std::round((previous - phase) / (2.0 * std::numbers::pi));
            first = false;
            previous = phase;
            const double t = (static_cast<double>(from) + segment / 2.0) * hopSeconds;
            sw += w;
            st += w * t;
            sp += w * phase;
            stt += w * t * t;
            stp += w * t * phase;
        }
        const double denominator = sw * stt - st * st;
        if (sw <= 0.0 || denominator <= 0.0) break;
        const double drift = (sw * stp - st * sp) / denominator;
        best = 1.0 / (1.0 / best - drift / (2.0 * std::numbers::pi));
    }
    return best;
}

}  // namespace

struct Analyzer::State {
    int sampleRate;
    std::size_t frames = 0;

    aubio_tempo_t* tempo = nullptr;
    fvec_t* hopIn = nullptr;
    fvec_t* beatOut = nullptr;
    unsigned hopFill = 0;
    double pairSum = 0.0;
    std::vector<double> beats;

    ebur128_state* loudness = nullptr;

    std::vector<std::uint8_t> columns;
    std::size_t columnFrames = kFirstColumnFrames;
    std::size_t columnFill = 0;
    float columnPeak = 0.0f;

    // Per hop, how much the level rose since the hop before: `strength` over the whole sound (the bass
    // counting double), where the beats are placed; `body` in the bass and body bands only (kicks and
    // snares, not hats), which tells beats from half beats.
    std::vector<float> strength;
    std::vector<float> body;
    double bassCoeff = 0.0, bodyCoeff = 0.0;
    double bass1 = 0.0, bass2 = 0.0, low1 = 0.0, low2 = 0.0;
    double bassEnergy = 0.0, midEnergy = 0.0, highEnergy = 0.0;
    double lastBass = 0.0, lastMid = 0.0, lastHigh = 0.0;

    explicit State(int rate) : sampleRate(rate) {
        tempo = new_aubio_tempo("default", kTrackerWindow, kTrackerHop, static_cast<uint_t>(rate / 2));
        hopIn = new_fvec(kTrackerHop);
        beatOut = new_fvec(2);
        loudness = ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I);
        bassCoeff = 1.0 - std::exp(-2.0 * M_PI * kBassHz / rate);
        bodyCoeff = 1.0 - std::exp(-2.0 * M_PI * kBodyHz / rate);
    }
    ~State() {
        if (tempo) del_aubio_tempo(tempo);
        if (hopIn) del_fvec(hopIn);
        if (beatOut) del_fvec(beatOut);
        if (loudness) ebur128_destroy(&loudness);
    }

    void endHop() {
        if (tempo) {
            aubio_tempo_do(tempo, hopIn, beatOut);
            if (beatOut->data[0] != 0.0f) beats.push_back(aubio_tempo_get_last_s(tempo));
        }
        const double bass = std::sqrt(bassEnergy), mid = std::sqrt(midEnergy), high = std::sqrt(highEnergy);
        const double riseBass = std::max(0.0, bass - lastBass), riseMid = std::max(0.0, mid - lastMid),
                     riseHigh = std::max(0.0, high - lastHigh);
        strength.push_back(static_cast<float>(riseBass + 0.5 * (riseMid + riseHigh)));
        body.push_back(static_cast<float>(riseBass + riseMid));
        lastBass = bass;
        lastMid = mid;
        lastHigh = high;
        bassEnergy = midEnergy = highEnergy = 0.0;
        hopFill = 0;
    }

    void endColumn() {
        columns.push_back(static_cast<std::uint8_t>(std::lround(std::min(columnPeak, 1.0f) * 255.0f)));
        columnPeak = 0.0f;
        columnFill = 0;
        if (columns.size() > kMaxColumns) {
            for (std::size_t i = 0; i < columns.size() / 2; ++i)
                columns[i] = std::max(columns[2 * i], columns[2 * i + 1]);
            columns.resize(columns.size() / 2);
            columnFrames *= 2;
        }
    }

    // The largest value of `series` within a hop or so of `seconds`.
    double valueAt(const std::vector<float>& series, double seconds) const {
        const auto hop = static_cast<long>(std::floor(seconds * sampleRate / kHop));
        double best = 0.0;
        for (long h = hop - 1; h <= hop + 2; ++h)
            if (h >= 0 && h < static_cast<long>(series.size())) best = std::max(best, double(series[h]));
        return best;
    }
};

Analyzer::Analyzer(int sampleRate) : state_(std::make_unique<State>(sampleRate)) {}
Analyzer::~Analyzer() = default;

void Analyzer::feed(const float* stereo, std::size_t frames) {
    State& s = *state_;
    if (s.loudness) ebur128_add_frames_float(s.loudness, stereo, frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float l = stereo[2 * i], r = stereo[2 * i + 1];
        const double mono = 0.5 * (static_cast<double>(l) + r);
        if ((s.frames + i) % 2 == 0) {
            s.pairSum = mono;
        } else {
            s.hopIn->data[s.hopFill / 2] = static_cast<smpl_t>(0.5 * (s.pairSum + mono));
        }
        ++s.hopFill;
        s.bass1 += s.bassCoeff * (mono - s.bass1);
        s.bass2 += s.bassCoeff * (s.bass1 - s.bass2);
        s.low1 += s.bodyCoeff * (mono - s.low1);
        s.low2 += s.bodyCoeff * (s.low1 - s.low2);
        s.bassEnergy += s.bass2 * s.bass2;
        const double mid = s.low2 - s.bass2, high = mono - s.low2;
        s.midEnergy += mid * mid;
        s.highEnergy += high * high;
        if (s.hopFill == kHop) s.endHop();
        s.columnPeak = std::max({s.columnPeak, std::abs(l), std::abs(r)});
        if (++s.columnFill == s.columnFrames) s.endColumn();
    }
    s.frames += frames;
}

TrackAnalysis Analyzer::finish() {
    State& s = *state_;
    TrackAnalysis result;
    result.duration = static_cast<double>(s.frames) / s.sampleRate;
    if (s.columnFill > 0) s.endColumn();
    result.waveform = std::move(s.columns);
    result.waveformColumnSeconds = static_cast<double>(s.columnFrames) / s.sampleRate;
    double lufs = -HUGE_VAL;
    if (s.loudness && ebur128_loudness_global(s.loudness, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
        result.loudness = lufs;

    const double hopSeconds = static_cast<double>(kHop) / s.sampleRate;
    // The rise from nothing into the first sound says nothing of the beat.
    for (std::size_t h = 0; h < std::min<std::size_t>(2, s.strength.size()); ++h) s.strength[h] = 0.0f;
    const std::optional<BeatGrid> fitted = fitBeatGrid(s.beats, medianInterval(s.beats));
    // Three guesses at the period: the grid through the tracker's beats, the typical gap between them and
    // the tracker's own last estimate (each can be thrown by fills, or by a tracker that found few beats).
    // Each is refined; the one the song pulses at most coherently wins.
    double total = 0.0;
    for (const float v : s.strength) total += v;
    std::vector<double> guesses;
    if (fitted) guesses.push_back(fitted->period);
    if (s.beats.size() >= 4) guesses.push_back(medianInterval(s.beats));
    if (s.tempo && aubio_tempo_get_bpm(s.tempo) > 0.0f)
        guesses.push_back(60.0 / static_cast<double>(aubio_tempo_get_bpm(s.tempo)));
    double period = 0.0, coherence = 0.0;
    for (const double guess : guesses) {
        if (!(guess > 0.05) || !(guess < 10.0)) continue;
        const double refined = refinePeriod(s.strength, hopSeconds, guess);
        const double score =
            std::abs(pulse(s.strength, hopSeconds, refined, 0, s.strength.size())) / std::max(total, 1e-12);
        if (score > coherence) {
            coherence = score;
            period = refined;
        }
    }
    if (coherence < kLeastCoherence) return result;
    auto phaseOf = [&](double p) {
        const double angle = std::arg(pulse(s.strength, hopSeconds, p, 0, s.strength.size()));
        double t = angle / (2.0 * std::numbers::pi) * p;
        return t - std::floor(t / p) * p;
    };
    double anchor = phaseOf(period);
    // The pulse's angle averages every rise in the beat, off-beat kicks of a swung pattern too; the grid
    // then moves to where the rises themselves peak, within 25 ms.
    auto settle = [&] {
        auto valueBetweenHops = [&](double t) {
            const double x = t / hopSeconds - kHopLag;
            const auto h = static_cast<long>(std::floor(x));
            if (h < 0 || h + 1 >= static_cast<long>(s.strength.size())) return 0.0;
            const double f = x - static_cast<double>(h);
            return (1.0 - f) * s.strength[static_cast<std::size_t>(h)] + f * s.strength[static_cast<std::size_t>(h) + 1];
        };
        double bestShift = 0.0, bestSum = -1.0;
        for (int step = -25; step <= 25; ++step) {
            const double shift = step * 0.001;
            double sum = 0.0;
            for (double t = anchor + shift; t < result.duration; t += period) sum += valueBetweenHops(t);
            if (sum > bestSum) {
                bestSum = sum;
                bestShift = shift;
            }
        }
        anchor += bestShift;
    };
    settle();

    // Which pulse is the beat: the tracker may lock onto every second beat or onto the half beats.
    auto mean = [&](const std::vector<float>& series, double offset, int every, int phase) {
        double sum = 0.0;
        int n = 0;
        for (long k = 0;; ++k) {
            const double t = anchor + (static_cast<double>(k) + offset) * period;
            if (t >= result.duration) break;
            if (k % every != phase) continue;
            sum += s.valueAt(series, t);
            ++n;
        }
        return n > 0 ? sum / n : 0.0;
    };
    const double onBeats = mean(s.body, 0.0, 1, 0);
    const double between = mean(s.body, 0.5, 1, 0);
    const double even = mean(s.body, 0.0, 2, 0), odd = mean(s.body, 0.0, 2, 1);
    const double raw = 60.0 / period;
    if (raw * 2.0 <= kHighestBpm + kFoldMargin && onBeats > 0.0 && between >= kDoubleShare * onBeats) {
        period /= 2.0;
    } else if (raw / 2.0 >= kLowestBpm - kFoldMargin && std::min(even, odd) < kHalfShare * std::max(even, odd)) {
        if (odd > even) anchor += period;
        period *= 2.0;
    }
    const double folded = foldTempo(60.0 / period);
    if (folded != 60.0 / period) {
        period = 60.0 / folded;
        anchor = phaseOf(period);
        settle();
    }
    anchor -= std::floor(anchor / period) * period;
    result.bpm = folded;

    // The first beat: the earliest grid beat from which on the song beats (not one in a silent intro).
    const double strong = 0.2 * mean(s.strength, 0.0, 1, 0);
    double first = anchor;
    while (first < result.duration && s.valueAt(s.strength, first) < strong) first += period;
    if (first >= result.duration) first = anchor;
    result.firstBeat = first;
    for (double t = first; t < result.duration; t += period) result.beats.push_back(t);
    return result;
}

}  // namespace korvex::analysis
