#pragma once
// The formats a take can be saved in besides WAVE: FLAC, MP3 and Ogg Vorbis, all written through libsndfile
// (which encodes MP3 with LAME). A take is always recorded into a WAVE file, which survives a crash; another
// format is made from that file when the take is saved.

#include <functional>
#include <string>

namespace korvex {

enum class SaveFormat { Wave, Flac, Mp3, OggVorbis };

// The format a file name's ending asks for (".wav", ".flac", ".mp3", ".ogg", in any case); Wave for any
// other.
SaveFormat saveFormatFor(const std::string& path);
// True when `path` ends in one of the endings above.
bool hasSaveEnding(const std::string& path);

// Writes the WAVE file `wavPath` as `outPath` in `format` (not Wave). `progress` is called now and then with
// the share done (0 .. 1) and may return false to cancel. The file appears only once it is whole: it is
// written beside its place under another name and renamed, so a failure or a cancel leaves nothing behind
// and an existing file at `outPath` stays as it was until then. False with a reason in English otherwise.
bool convertRecording(const std::string& wavPath, const std::string& outPath, SaveFormat format,
                      const std::function<bool(double)>& progress, std::string& error);

}  // namespace korvex
