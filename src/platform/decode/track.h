#pragma once
// One opened music file: probed at once, decoded on its own worker thread into a DecodedAudio.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/decode/decoded_audio.h"
#include "platform/decode/refusal.h"

namespace korvex::decode {

class Track {
public:
    // Opens `path`: the container is read and the first moments decoded before this returns, so the
    // duration and any error are known at once. Null on failure, with the reason in `error`.
    // `midiRate` is the rate MIDI files are rendered at (the output's rate).
    static std::unique_ptr<Track> open(const std::string& path, int midiRate, Refusal& error);

    // Stops the worker (it finishes the piece it is decoding) and joins it.
    ~Track();
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // The decoded samples; shared with the audio thread, which may outlive this object's use of them.
    const std::shared_ptr<DecodedAudio>& audio() const { return audio_; }

    // Seconds: the container's figure while decoding, the decoded length once decoding has ended.
    double duration() const;

private:
    Track(std::shared_ptr<DecodedAudio> audio, double probedDuration);
    static std::unique_ptr<Track> openTrack(const std::string& path, int midiRate, Refusal& error);

    std::shared_ptr<DecodedAudio> audio_;
    double probedDuration_;
    std::thread worker_;
};

}  // namespace korvex::decode
