#pragma once
// A source of decoded frames for one track: FFmpeg for ordinary music files, FluidSynth for MIDI.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/decode/decoded_audio.h"
#include "platform/decode/refusal.h"

namespace korvex::decode {

// What the probe learns when a file is opened.
struct TrackInfo {
    int sampleRate = 44100;   // rate of the decoded frames
    double duration = 0.0;    // seconds, as far as the container tells before decoding
};

class Decoder {
public:
    virtual ~Decoder() = default;
    // Decodes the next piece into `out`. Returns false once the track has ended (check failed()).
    virtual bool decodeSome(DecodedAudio& out) = 0;
    // True when decoding ended on an error rather than at the end of the file.
    virtual bool failed() const = 0;
    // Work worth doing before the open call returns (the first moments of audio).
    virtual bool primeBeforeReturn() const { return true; }

    enum class Seek { Done, PastEnd, Cancelled };
    // True when seekTo() works; a decoder that cannot seek decodes the whole song once, kept whole.
    virtual bool canSeek() const { return false; }
    // Moves the write position of `out` to `frame` and decodes from there, so that what is appended is
    // exactly what a straight decode from the start gives at those frames. May wait for the seek index
    // to reach `frame`; gives up when `out` is cancelled. PastEnd when the file ends before `frame`.
    virtual Seek seekTo(std::int64_t frame, DecodedAudio& out) {
        (void)frame;
        (void)out;
        return Seek::Cancelled;
    }
    // Work worth doing while nothing is wanted (rendering ahead, so later jumps need not wait); false
    // when there is none.
    virtual bool workAhead() { return false; }
    // The exact length in frames once the seek index has read the whole file; 0 until then.
    virtual std::int64_t indexedFrames() const { return 0; }
};

// Opens `path` with the decoder that suits it. On failure returns null and puts the reason in `error`.
std::unique_ptr<Decoder> openDecoder(const std::string& path, int midiRate, TrackInfo& info, Refusal& error);

std::unique_ptr<Decoder> openFfmpegDecoder(const std::string& path, TrackInfo& info, Refusal& error);
std::unique_ptr<Decoder> openMidiDecoder(const std::string& path, int sampleRate, TrackInfo& info,
                                         Refusal& error);

// Refuses anything but an ordinary readable file that is not empty (folders, pipes, devices), with the
// reason in `error`.
bool checkOrdinaryFile(const std::string& path, Refusal& error);

// The General MIDI soundfont used for .mid files (KORVEX_SOUNDFONT overrides); empty when none is found.
std::string findSoundfont();

}  // namespace korvex::decode
