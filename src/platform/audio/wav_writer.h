#pragma once
// Streams 32-bit float frames (stereo, or four channels with the headphones on 3-4) into a RIFF WAVE file whose header is rewritten after every write,
// so the file stays readable at any moment (even when the process is killed while recording).

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex::audio {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or replaces) `path` for frames of `channels` channels. False with a reason in `error` when it
    // cannot be written.
    bool open(const std::string& path, int sampleRate, std::string& error, int channels = 2);
    // Appends interleaved frames and brings the header up to date. False on a write error.
    bool write(const float* frames, std::size_t count);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    std::uint64_t framesWritten() const { return frames_; }

private:
    bool updateHeader();

    int fd_ = -1;
    std::uint64_t frames_ = 0;
    int channels_ = 2;
};

}  // namespace korvex::audio
