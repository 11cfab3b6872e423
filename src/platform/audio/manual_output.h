#pragma once
// An output driven by hand: each render() call renders exactly the frames asked for on the calling thread,
// so tests and offline tools get deterministic positions, events and samples.

#include <cstddef>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"

namespace korvex::audio {

class ManualOutput final : public AudioOutput {
public:
    explicit ManualOutput(AudioEngine& engine) : engine_(engine) {}

    bool start(std::string&) override { return true; }
    void stop() override {}
    std::string describe() const override { return "manual"; }

    // Renders `frames` frames (interleaved, of the engine's outputChannels()) in blocks of `blockFrames`, as
    // a device would ask.
    std::vector<float> render(std::size_t frames, std::size_t blockFrames = 256) {
        const auto channels = static_cast<std::size_t>(engine_.outputChannels());
        std::vector<float> out(frames * channels);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(blockFrames, frames - done);
            engine_.render_rt(out.data() + done * channels, n);
            done += n;
        }
        return out;
    }

private:
    AudioEngine& engine_;
};

}  // namespace korvex::audio
