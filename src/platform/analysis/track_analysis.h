#pragma once
// What Korvex knows about a song once it has been analysed: its tempo and beats, its loudness and a small
// picture of its waveform.
//
// Why it is shaped this way: the result is plain data, copied freely between the analysis worker, the
// on-disk cache and whoever shows or uses it (the deck display's tempo, Sync, later the waveform strip,
// beat loops and the music library). The tempo is kept as a beat grid (tempo and the first beat's place),
// which is what Sync and loops work with, and as the list of the grid's beats through the song, so a strip
// can mark them and a loop can snap to the nearest one. Korvex takes a song's tempo as steady.

#include <cmath>
#include <cstdint>
#include <vector>

namespace korvex::analysis {

// Bumped whenever the analysis or its file layout changes: older cache entries are analysed again.
inline constexpr std::uint32_t kAnalysisVersion = 1;

struct TrackAnalysis {
    // Beats per minute of the song as written (rate 1), folded into 70..180; 0 when no beat was found.
    double bpm = 0.0;
    // Seconds from the start of the song to its first beat (the first grid beat where the song beats).
    double firstBeat = 0.0;
    // The grid's beats from the first beat to the end, in seconds from the start.
    std::vector<double> beats;
    // EBU R128 integrated loudness in LUFS; -infinity for silence.
    double loudness = -HUGE_VAL;
    // The decoded length in seconds.
    double duration = 0.0;
    // The waveform summary: the peak of each column of `waveformColumnSeconds`, 0..255 for 0..full scale.
    double waveformColumnSeconds = 0.0;
    std::vector<std::uint8_t> waveform;

    bool hasTempo() const { return bpm > 0.0; }
    bool operator==(const TrackAnalysis&) const = default;
};

}  // namespace korvex::analysis
