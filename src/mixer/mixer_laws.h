#pragma once
// The mixer's arithmetic: how knob positions become levels, rates, labels, seeks and the master gain.
//
// Why it is shaped this way: each law is a pure function of a few positions, so a test can check it value by
// value without knobs or players, and the Mixer that applies them stays a thin sequence of reads and
// writes. Positions are single-precision twips and the laws compute in single precision where the player
// always has; "round" is round-half-to-even, as every conversion to a whole number here.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace korvex::mixer {

// --- crossfader -------------------------------------------------------------------------------------------

inline constexpr int kPatternCount = 3;
// The four points of each pattern, stored point by point: entry p is A:Start of pattern p, p + 3 A:End,
// p + 6 B:Start, p + 9 B:End. Start points count from the left end of the travel, end points from the
// centre; each lies in 0 .. 500.
using FaderTable = std::array<int, 12>;
inline constexpr FaderTable kDefaultFaderTable{500, 0, 0, 500, 500, 0, 0, 0, 500, 0, 500, 500};
inline constexpr int kFaderPointMax = 500;

struct FaderPoints {
    int aStart = 0;
    int aEnd = 0;
    int bStart = 0;
    int bEnd = 0;
};

// The points of `pattern` (0 .. 2), each held to 0 .. 500 (a damaged settings file may hold anything).
FaderPoints faderPoints(const FaderTable& table, int pattern);

// The fader position P: -500 at the deck A end, 0 at the centre, +500 at the deck B end.
float faderPosition(float faderLeft);

// A deck's level inputs: its volume indicator's Top and its trim needle's end and centre.
struct DeckLevelInputs {
    float volumeTop = 0.0f;
    float trimX2 = 0.0f;
    float trimCentre = 0.0f;
};

struct DeckLevels {
    // Each deck's level in hundredths of a dB (0 full, -10000 cut; down to -11600 with the trim).
    std::array<int, 2> volume{};
    // Each deck's trim gain, 60 .. 100: how far the volume knob and the crossfader can attenuate it.
    std::array<int, 2> trimgain{};
    // Each deck's trim alone, in hundredths of a dB (0 .. -1600): what the headphones hear the deck at.
    std::array<int, 2> trim{};
};

// The level law: both decks' levels from the crossfader, the volume knobs, the trims and the pattern.
DeckLevels levelLaw(float faderLeft, const std::array<DeckLevelInputs, 2>& decks, const FaderPoints& points);

// Trim value u of a needle end: 0 pointing right (most gain), 20 straight up, 40 pointing left.
float trimU(float x2, float centreX);

// Position units a slide moves per tick for a pattern's switch time: floor(700 / t), so 0 above 700. A
// time below 1 (only a damaged settings file holds one) counts as 100, what the configuration dialog
// stores for an invalid entry.
int slideUnits(int switchtime);

// --- pitch ------------------------------------------------------------------------------------------------

// The playback rate for a pitch indicator Top: 1 at 2400, 4500 twips per unit.
float pitchRate(float top);
// The pitch label ("+05.3%", "00.0%", "-21.5%"): tenths of a percent, rounded down, 4.5 twips each.
QString pitchLabel(float top);
// The tempo memory for a pitch indicator Top, in percent of normal speed (3000 twips per unit).
float tempoForTop(float top);
// The pitch indicator Top for a tempo memory: the inverse of tempoForTop().
float topForTempo(double tempo);

// --- jog --------------------------------------------------------------------------------------------------

// Seconds one quarter turn of the jog moves.
inline constexpr double kJogQuarter = 0.133;
// The quadrant of a point relative to the jog's centre (y grows downwards): 0 upper right, 1 upper left,
// 2 lower left, 3 lower right. The right half is dx > 0 and the lower half dy > 0, so a point on the
// vertical axis counts as left and one on the horizontal axis as upper.
int jogQuadrant(float dx, float dy);
// Quarter turns from quadrant `from` to `to`: +1 clockwise (0 -> 3 -> 2 -> 1 -> 0), -1 the other way, 0
// for the same quadrant or a jump across the centre.
int quarterTurns(int from, int to);
// Seconds into the current quarter turn for a point in `quadrant` whose arc is `arc` (see jogArc()).
double jogOffset(int quadrant, double arc);
// The horizontal arc of a jog point in seconds: the circle radius times dx / r, 10000 twips of arc to
// 3.14 seconds (about 0.133 s at the right edge of the circle).
double jogArc(float baseWidth, float dx, float r);

// --- volumes ----------------------------------------------------------------------------------------------

// A pan indicator's balance: round(Left - centre), then the player's balance snaps below -1270 to -10000
// and from 1271 on to 10000 (done by the Mixer with the player's read-back).
int panBalance(float left, float centre);
inline constexpr int kBalanceSnapLeft = -1270;
inline constexpr int kBalanceSnapRight = 1271;

// One channel of the master gain for a master indicator Top: 0 .. 0xFFFF, in 1 % steps of 655.
std::uint16_t masterChannelLevel(float top);
// Both channels packed as the engine takes them (left low, right high).
std::uint32_t masterPacked(float top);
// The master indicator Top for the engine's packed master gain (the high half dominates), on its travel.
float masterTopFor(std::uint32_t packed);

// The trim needle's end drawn from a volume memory (10 x the trim value, 0 .. 4000): on the upper half
// circle of radius 200 around the needle's centre. A memory outside 0 .. 4000 is held to the nearest end.
struct LineEnd {
    float x = 0.0f;
    float y = 0.0f;
};
LineEnd trimEndForMemory(double memory, float centreX, float centreY);
// The volume memory for a needle end: 10 x (centre + 200 - X2).
float trimMemoryFor(float x2, float centreX);
// The volume memory a song added with the configuration's `newtrim` (0 .. 40) starts with.
double untouchedTrimMemory(int newtrim);
// The volume memory whose trim lowers the deck by `db` (held to the trim's 0 .. -16 dB).
double trimMemoryForGain(double db);
// The loudness auto trim brings songs to, in LUFS.
inline constexpr double kAutoTrimTarget = -14.0;

}  // namespace korvex::mixer
