#pragma once
// Analyses one song from its samples as they are decoded: tempo and beats (aubio's beat tracker, then a
// beat grid fitted through its beats), EBU R128 integrated loudness (libebur128) and a waveform summary.
//
// Why it is shaped this way: the samples stream through in pieces and nothing keeps them, so a song of
// any length is analysed in the same few megabytes (what grows with the song is a few bytes per beat and
// per 11.6 ms hop). The analyser knows nothing of files: the file reader feeds it, and so can a test or a
// benchmark with samples of their own.
//
// Not thread-safe: one analyser per song, on one thread (never the audio thread).

#include <cstddef>
#include <memory>

#include "platform/analysis/track_analysis.h"

namespace korvex::analysis {

class Analyzer {
public:
    // Samples arrive as interleaved stereo float at `sampleRate`.
    explicit Analyzer(int sampleRate);
    ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    // Takes the next `frames` frames.
    void feed(const float* stereo, std::size_t frames);
    // The analysis of everything fed so far; the analyser is spent afterwards.
    TrackAnalysis finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace korvex::analysis
