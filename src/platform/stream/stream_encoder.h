#pragma once
// The stream's encoders: MP3 (LAME), Ogg Vorbis (libvorbis) and Ogg Opus (libopusenc). Each takes the mix as
// interleaved stereo float frames at the engine's rate and appends encoded bytes, ready for the server.
//
// Titles: an Ogg stream carries the song title in its comment header, so a new title ends the current
// logical stream and begins the next one with that title (a chained Ogg stream, which Icecast and players
// follow). MP3 has no such header; its title goes to the server beside the stream (ICY metadata).
// An encoder lives on the broadcast's encoding thread only.

#include <memory>
#include <string>
#include <vector>

#include "platform/stream/stream_settings.h"

namespace korvex::stream {

class StreamEncoder {
public:
    virtual ~StreamEncoder() = default;
    // Encodes `count` interleaved stereo frames and appends what is ready to `out`.
    virtual void encode(const float* frames, std::size_t count, std::vector<unsigned char>& out) = 0;
    // Starts the next logical stream with `title` in its comments (Ogg); MP3 ignores it.
    virtual void setTitle(const std::string& title, std::vector<unsigned char>& out) = 0;
    // True when titles travel inside the stream (Ogg), false when the server must be told (MP3).
    virtual bool titlesInStream() const = 0;
};

// An encoder for `settings` (format, bitrate, rate, channels) fed at `sourceRate`, its first logical
// stream titled `title`; null with a reason in English when the encoder refuses the settings.
std::unique_ptr<StreamEncoder> makeStreamEncoder(const StreamSettings& settings, int sourceRate,
                                                 const std::string& title, std::string& error);

}  // namespace korvex::stream
