#pragma once
// The sampler's sound device on Korvex's own engine: buffers made from wave files (read whole with
// libsndfile, kept at the file's own rate) that play as voices of the engine's SamplerSource, on the same
// mixer bus as the decks.
//
// A buffer lives on the UI thread. Whatever it last wrote is what it reads back until the engine has
// applied the command (a play followed at once by status() reports playing), as MediaPlayer does. The
// 3D panner and the level laws run here, on the UI thread: the audio thread only sees two channel gains.
//
// Contract: buffers must be destroyed before the engine they were made on; the engine's output may go on
// rendering meanwhile (a destroyed buffer fades out and its samples are freed by dispatchEvents()).

#include <memory>
#include <string>

#include "platform/audio/audio_engine.h"
#include "platform/sound_device.h"

namespace korvex {

class SoundEngineDevice final : public SoundDevice {
public:
    // Longest file a buffer takes, in samples over all channels (256 MB of float).
    static constexpr std::size_t kMaxSamples = std::size_t{1} << 26;
    // Shortest file that may carry effects.
    static constexpr double kMinFxSeconds = 0.150;

    explicit SoundEngineDevice(audio::AudioEngine& engine) : engine_(engine) {}

    // Order of the checks: 3D together with pan (InvalidArgument), an unreadable or empty file (Other),
    // effects on less than 150 ms (BufferTooSmall), 3D on a file that is not mono (InvalidArgument), no
    // voice left on the engine (Other).
    std::unique_ptr<SoundBuffer> createSoundBufferFromFile(const std::string& path, unsigned caps,
                                                           SoundError* error) override;

private:
    audio::AudioEngine& engine_;
};

// The 3D panner's figures: per-channel gains for a source at `position` with the buffer's `volume`
// (hundredths of a dB), its cone and the listener at the origin facing +z, +x to the right.
struct Panner3D {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float orientation[3] = {0.0f, 0.0f, 1.0f};
    int insideAngle = 360;
    int outsideAngle = 360;
    int outsideVolume = 0;
    static constexpr double kMinDistance = 1.0;
    static constexpr double kMaxDistance = 1e9;

    void gains(int volume, float* left, float* right) const;
};

}  // namespace korvex
