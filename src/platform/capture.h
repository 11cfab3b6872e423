#pragma once
// Recording input: where the recorder's sound comes from, and the ring that carries it off the thread
// that produced it.
//
// Why it is shaped this way: the threads that produce sound (the engine's render call, PortAudio's input
// callback) may never wait, so they only copy frames into a fixed ring and count what did not fit. The
// writer thread of a WaveRecording drains the ring, converts and writes the file. Both sources keep the
// same contract, so the writer never knows which one it records.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/mix_tap.h"

namespace korvex::audio {

class AudioEngine;

// The recording sources by name: "input" (the default capture device) and "mix" (the player's own mix).
// `--record-source=NAME` among `args` wins over the KORVEX_RECORD_SOURCE value `environment` (may be null);
// "mix" when neither is given: a DJ pressing REC wants the set, and on a desktop the default capture
// device is the microphone. An unknown name is returned as it is; isRecordSource() tells.
std::string chooseRecordSource(const std::vector<std::string>& args, const char* environment);
bool isRecordSource(const std::string& name);

// Interleaved stereo float frames from one producer thread to one consumer thread. Neither side blocks;
// frames that do not fit are dropped and counted.
class CaptureRing final : public MixTap {
public:
    // Room for `capacityFrames` frames, rounded up to a power of two (allocates).
    explicit CaptureRing(std::size_t capacityFrames = std::size_t{1} << 18);

    // Producer: copies what fits and counts the rest as lost.
    void write_rt(const float* frames, std::size_t count) override;
    // Consumer: moves up to `maxFrames` frames into `out`; returns how many.
    std::size_t read(float* out, std::size_t maxFrames);
    // Frames waiting to be read (consumer side).
    std::size_t available() const;
    std::size_t capacity() const { return mask_ + 1; }
    // Frames dropped because the ring was full (any thread).
    std::uint64_t lostFrames() const { return lost_.load(std::memory_order_relaxed); }

private:
    std::vector<float> data_;
    std::size_t mask_;
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    std::atomic<std::uint64_t> lost_{0};
};

// A running producer of frames for a ring.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // Starts feeding `ring` (which must outlive the capture); false with a reason when it cannot.
    virtual bool start(CaptureRing& ring, std::string& error) = 0;
    // Stops feeding; returns once no more frames arrive.
    virtual void stop() = 0;
    // The rate of the frames it delivers.
    virtual int sampleRate() const = 0;
    virtual std::string describe() const = 0;
    // True while the device is lost and silence stands in for it (any thread).
    virtual bool lost() const { return false; }
    // Frames of silence written for a lost device so far (any thread).
    virtual std::uint64_t gapFrames() const { return 0; }
};

// The engine's master mix after the master gain, sample for sample.
std::unique_ptr<CaptureSource> makeMixCapture(AudioEngine& engine);
// The default capture device through PortAudio (44.1 kHz when the device offers it, else its own rate);
// a mono device is recorded on both channels. A device that is lost while recording (the sound server
// died) is replaced by silence at real time and opened again every second until it is back.
std::unique_ptr<CaptureSource> makeInputCapture();

}  // namespace korvex::audio
