#pragma once
// Analyses a music file: decodes it with FFmpeg (MIDI songs through the FluidSynth renderer the decks use)
// in pieces of a few thousand frames and hands them to an Analyzer, so memory stays the same for a song of
// three minutes or three hours.

#include <atomic>
#include <optional>
#include <string>

#include "platform/analysis/track_analysis.h"

namespace korvex::analysis {

// The analysis of `path`, or nothing with a one-line English reason in `error` (the file cannot be read,
// holds no audio, or `cancel` was set). Runs on the calling thread; never on the audio thread.
std::optional<TrackAnalysis> analyzeFile(const std::string& path, std::string& error,
                                         const std::atomic<bool>* cancel = nullptr);

}  // namespace korvex::analysis
