#pragma once
// An engine driven by hand with one deck player on it: render N seconds, events delivered after each block.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/media_player.h"

namespace korvex::test {

struct EngineRig {
    static constexpr int kRate = 44100;
    audio::AudioEngine engine{kRate};
    audio::ManualOutput output{engine};
    MediaPlayer player{engine, 0};
    int endEvents = 0;
    std::vector<std::pair<int, int>> stateChanges;

    EngineRig() {
        player.onEndReached = [this] { ++endEvents; };
        player.onStateChanged = [this](int from, int to) { stateChanges.emplace_back(from, to); };
    }

    // Opens `path` and waits until it is fully decoded.
    void load(const std::string& path) {
        player.setFileName(path);
        player.waitUntilDecoded();
    }

    // Renders `seconds` of output in 256-frame blocks, delivering events after each block.
    std::vector<float> render(double seconds) {
        const auto frames = static_cast<std::size_t>(seconds * kRate + 0.5);
        std::vector<float> out;
        out.reserve(frames * 2);
        for (std::size_t done = 0; done < frames; done += 256) {
            auto block = output.render(std::min<std::size_t>(256, frames - done));
            engine.dispatchEvents();
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }
};

}  // namespace korvex::test
