#include "mixer/mixer_laws.h"

#include <algorithm>
#include <cmath>

#include "mixer/knob_geometry.h"

namespace korvex::mixer {
namespace {

// The level a cut deck gets.
constexpr int kCut = -10000;
// Far below silence; levels are held above it so that no knob position can overflow the conversion.
constexpr float kLowestLevel = -1000000.0f;
// Volume knob travel in twips.
constexpr float kVolumeTravel = kVolumeBottom - kVolumeTop;
// Trim value range (needle pointing right .. left).
constexpr float kTrimUMax = 40.0f;
// The switch time the configuration dialog stores for an invalid entry.
constexpr int kInvalidSwitchTime = 100;
// Largest pitch offset, in tenths of a percent, the label is asked to show.
constexpr float kLabelTenthsMax = 1e6f;

// Round half to even into an int, for values already known to be moderate.
int roundInt(float value) {
    return static_cast<int>(std::nearbyint(value));
}

int level(float value) {
    return roundInt(std::max(value, kLowestLevel));
}

// Two-digit, one-decimal text of a number of tenths: 53 -> "05.3", -215 -> "-21.5".
QString tenthsText(long long tenths) {
    const bool negative = tenths < 0;
    const long long magnitude = negative ? -tenths : tenths;
    QString text = QStringLiteral("%1.%2").arg(magnitude / 10, 2, 10, QLatin1Char('0')).arg(magnitude % 10);
    return negative ? QLatin1Char('-') + text : text;
}

}  // namespace

FaderPoints faderPoints(const FaderTable& table, int pattern) {
    const auto p = static_cast<std::size_t>(std::clamp(pattern, 0, kPatternCount - 1));
    const auto point = [&](std::size_t slot) {
        return std::clamp(table[p + slot * kPatternCount], 0, kFaderPointMax);
    };
    return {point(0), point(1), point(2), point(3)};
}

float faderPosition(float faderLeft) {
    return (faderLeft - kFaderCentre) / 3;
}

float trimU(float x2, float centreX) {
    return (400 - (x2 - centreX + 200)) / 10;
}

DeckLevels levelLaw(float faderLeft, const std::array<DeckLevelInputs, 2>& decks, const FaderPoints& points) {
    DeckLevels out;
    std::array<float, 2> k{};
    std::array<float, 2> att{};
    std::array<float, 2> gain{};
    for (std::size_t d = 0; d < 2; ++d) {
        // The needle never leaves its half circle, so u stays in 0 .. 40; holding it there keeps a stray
        // position from turning the trim into a boost.
        const float u = std::clamp(trimU(decks[d].trimX2, decks[d].trimCentre), 0.0f, kTrimUMax);
        out.trimgain[d] = roundInt(100 - u);
        gain[d] = static_cast<float>(out.trimgain[d]);
        att[d] = std::nearbyint(-(u * u));
        out.trim[d] = static_cast<int>(att[d]);
        k[d] = (decks[d].volumeTop - kVolumeTop) / kVolumeTravel * gain[d];
    }
    const float p = faderPosition(faderLeft);

    // Inside a fade zone the deck is attenuated by the larger of the knob term and the crossfader term.
    const auto faded = [&](std::size_t d, float m) {
        return k[d] > m ? level(att[d] - k[d] * k[d]) : level(att[d] - m * m);
    };

    // Deck A fades out from A:Start (counted from the left end) to A:End (counted from the centre).
    if (p + 499 < static_cast<float>(points.aStart)) {
        out.volume[0] = level(att[0] - k[0] * k[0]);
    } else if (p + 1 > static_cast<float>(points.aEnd)) {
        out.volume[0] = kCut;
    } else {
        // A pattern that leaves the zone no width cannot get here; should it, the crossfader term is
        // skipped and the deck keeps its knob level.
        float m = 0.0f;
        const int width = points.aEnd - points.aStart + 500;
        if (width != 0) {
            m = std::floor((p + 500 - static_cast<float>(points.aStart)) * gain[0] /
                           static_cast<float>(width));
        }
        out.volume[0] = faded(0, m);
    }
    if (decks[0].volumeTop == kVolumeBottom) out.volume[0] = kCut;

    // Deck B fades in from B:Start to B:End.
    if (p + 499 < static_cast<float>(points.bStart)) {
        out.volume[1] = kCut;
    } else if (p > static_cast<float>(points.bEnd)) {
        out.volume[1] = level(att[1] - k[1] * k[1]);
    } else {
        float m = 0.0f;
        const int width = points.bEnd - points.bStart + 500;
        if (width != 0) {
            m = std::floor(gain[1] - (p + 500 - static_cast<float>(points.bStart)) * gain[1] /
                                         static_cast<float>(width));
        }
        out.volume[1] = faded(1, m);
    }
    if (decks[1].volumeTop == kVolumeBottom) out.volume[1] = kCut;
    return out;
}

int slideUnits(int switchtime) {
    // A time above 700 slides at the slowest step, as 700 does: a step of nothing would never arrive and
    // would hold continuous play at the fader for good.
    return std::max(1, 700 / (switchtime < 1 ? kInvalidSwitchTime : switchtime));
}

float pitchRate(float top) {
    return (top - kPitchCentre) / 4500 + 1;
}

QString pitchLabel(float top) {
    const float tenths =
        std::clamp(std::floor((top - kPitchCentre) / 4.5f), -kLabelTenthsMax, kLabelTenthsMax);
    const auto n = static_cast<long long>(tenths);
    const QString text = tenthsText(n) + QLatin1Char('%');
    return n > 0 ? QLatin1Char('+') + text : text;
}

float tempoForTop(float top) {
    return ((top - kPitchCentre) / 3000 + 1) * 100;
}

float topForTempo(double tempo) {
    return static_cast<float>(kPitchCentre + 3000 * (tempo / 100 - 1));
}

int jogQuadrant(float dx, float dy) {
    if (dx > 0) return dy > 0 ? 3 : 0;
    return dy > 0 ? 2 : 1;
}

int quarterTurns(int from, int to) {
    if (to == (from + 3) % 4) return 1;
    if (to == (from + 1) % 4) return -1;
    return 0;
}

double jogOffset(int quadrant, double arc) {
    switch (quadrant) {
        case 0:
            return arc;
        case 3:
            return kJogQuarter - arc;
        case 2:
            return -arc;
        default:
            return kJogQuarter + arc;
    }
}

double jogArc(float baseWidth, float dx, float r) {
    return static_cast<double>((baseWidth / 4) * (dx / r)) * 3.14 / 10000;
}

int panBalance(float left, float centre) {
    return roundInt(std::clamp(left - centre, -1e9f, 1e9f));
}

std::uint16_t masterChannelLevel(float top) {
    const int pct = std::clamp(roundInt(std::clamp(100 - (top - kMasterTop) / 10, -1e6f, 1e6f)), 0, 100);
    if (pct == 100) return 0xFFFF;
    if (pct < 50) return static_cast<std::uint16_t>(pct * 655);
    return static_cast<std::uint16_t>(65536 - (100 - pct) * 655);
}

std::uint32_t masterPacked(float top) {
    const std::uint32_t level = masterChannelLevel(top);
    return level | (level << 16);
}

float masterTopFor(std::uint32_t packed) {
    const double top = kMasterBottom - static_cast<double>(packed) / 4294967.0;
    return static_cast<float>(
        std::clamp(top, static_cast<double>(kMasterTop), static_cast<double>(kMasterBottom)));
}

LineEnd trimEndForMemory(double memory, float centreX, float centreY) {
    const double u = std::clamp(memory / 10, 0.0, 400.0);
    const double rise = std::sqrt(std::max(0.0, 40000 - (u - 200) * (u - 200)));
    return {static_cast<float>(centreX + 200 - u), static_cast<float>(centreY - rise)};
}

double untouchedTrimMemory(int newtrim) {
    return 4000 - 100 * std::clamp(newtrim, 0, 40);
}

double trimMemoryForGain(double db) {
    // The trim lowers the deck by (memory / 100)^2 hundredths of a dB: 0 .. 4000 is 0 .. -16 dB.
    return std::clamp(1000.0 * std::sqrt(std::max(0.0, -db)), 0.0, 4000.0);
}

float trimMemoryFor(float x2, float centreX) {
    return (centreX + 200 - x2) * 10;
}

}  // namespace korvex::mixer
