// A player with nothing to sound lets its sound device rest; how long the next command waits for it to
// start again, through the real PortAudio -> ALSA -> PulseAudio path (a private null-sink server).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/media_player.h"
#include "support/signals.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the engine has rendered nothing for 0.3 s (the device rests); false after 15 s.
bool waitForRest(korvex::audio::AudioEngine& engine) {
    const auto give_up = Clock::now() + std::chrono::seconds(15);
    std::uint64_t last = engine.framesRendered();
    auto still = Clock::now();
    while (Clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        engine.dispatchEvents();
        const std::uint64_t now = engine.framesRendered();
        if (now != last) {
            last = now;
            still = Clock::now();
        } else if (Clock::now() - still > std::chrono::milliseconds(300)) {
            return true;
        }
    }
    return false;
}

// From play() on a resting engine to the first block rendered after it (`wake_ms`, median of the runs).
void BM_WakeFromRest(benchmark::State& state) {
    const std::string dir = korvex::test::tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0) {
        state.SkipWithError("no PulseAudio server could be started");
        return;
    }
    ::setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + dir + "/run/pulse/native").c_str(), 1);
    std::vector<double> waits;
    {
        korvex::audio::AudioEngine engine;
        korvex::MediaPlayer player(engine, 0);
        const std::string song = dir + "/tone.wav";
        korvex::test::writeWav16(song, korvex::test::sine(440.0, 10.0));
        player.setFileName(song);
        player.waitUntilDecoded();
        std::string notice;
        auto output = korvex::audio::openOutput("default", engine, notice);
        for (auto _ : state) {
            if (!waitForRest(engine)) {
                state.SkipWithError("the device never rested");
                break;
            }
            const std::uint64_t before = engine.framesRendered();
            const auto start = Clock::now();
            player.play();
            while (engine.framesRendered() == before && Clock::now() - start < std::chrono::seconds(2))
                std::this_thread::yield();
            waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            player.stop();
        }
        output->stop();
    }
    std::system(("'" + tool + "' stop '" + dir + "' > /dev/null").c_str());
    if (!waits.empty()) {
        std::sort(waits.begin(), waits.end());
        state.counters["wake_ms"] = waits[waits.size() / 2];
        state.counters["worst_ms"] = waits.back();
    }
}
BENCHMARK(BM_WakeFromRest)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
