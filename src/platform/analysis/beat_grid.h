#pragma once
// From the beats a tracker found to a beat grid: one tempo and one phase for the whole song.
//
// A tracker's beats wobble by a hop or two and sometimes slip half a beat during a fill; its own tempo
// figure is coarser still. A straight line fitted through the beats by least squares (beat number against
// time), with the beats that do not fit left out, gives the tempo to a few hundredths of a BPM on a song of
// steady tempo. The pure functions here are that fit and the folding into the range DJs play in.

#include <optional>
#include <vector>

namespace korvex::analysis {

// The tempo range Korvex reports: a tempo outside it is taken as half or double the real one.
inline constexpr double kLowestBpm = 70.0;
inline constexpr double kHighestBpm = 180.0;
// How far past either end a measured tempo may lie and still count as inside (a song at 70 BPM measures
// 69.99 or 70.01).
inline constexpr double kFoldMargin = 0.5;

struct BeatGrid {
    // Seconds per beat.
    double period = 0.0;
    // A beat of the grid, in seconds (the first beat that fitted).
    double anchor = 0.0;
    // Beats that fitted the line, and all beats given.
    int inliers = 0;
    int beats = 0;
};

// Fits a grid through `beats` (seconds, ascending) starting from `periodGuess` seconds per beat. Nothing
// when fewer than four beats fit.
std::optional<BeatGrid> fitBeatGrid(const std::vector<double>& beats, double periodGuess);

// The median distance between neighbouring beats, or 0 with fewer than two beats.
double medianInterval(const std::vector<double>& beats);

// Doubles or halves `bpm` until it lies in kLowestBpm..kHighestBpm, give or take kFoldMargin (a tempo of 0
// or below stays as it is).
double foldTempo(double bpm);

}  // namespace korvex::analysis
