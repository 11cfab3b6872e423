// Opening and decoding music files: open to playable, full decode speed, memory per minute of audio.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/audio/audio_engine.h"
#include "platform/decode/decoded_audio.h"
#include "platform/media_player.h"

namespace {

using korvex::MediaPlayer;
using korvex::audio::AudioEngine;

// A stereo 192 kbit/s MP3 of `minutes` of noise and tones, made once with the ffmpeg command.
std::string benchMp3(int minutes) {
    const std::string path = "/tmp/korvex-bench-" + std::to_string(minutes) + "min.mp3";
    if (!std::ifstream(path).good()) {
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"anoisesrc=color=pink:amplitude=0.2:d=" +
            std::to_string(minutes * 60) + "\" -f lavfi -i \"sine=f=220:d=" + std::to_string(minutes * 60) +
            "\" -filter_complex amix=inputs=2 -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k '" + path + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make %s\n", path.c_str());
    }
    return path;
}

long rssKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::string(field).size(), nullptr, 10);
    return 0;
}

// From setting the file name until the duration is known and the first 100 ms are decoded.
void BM_OpenToPlayable5MinMp3(benchmark::State& state) {
    const std::string path = benchMp3(5);
    AudioEngine engine(44100);
    for (auto _ : state) {
        MediaPlayer deck(engine, 0);
        deck.setFileName(path);
        deck.decodedAudio()->waitForFrames(4410);
        benchmark::DoNotOptimize(deck.duration());
        state.PauseTiming();
        deck.setFileName("");
        engine.dispatchEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToPlayable5MinMp3)->Unit(benchmark::kMillisecond)->Iterations(30);

// Whole-file decode; the counter is seconds of audio decoded per second of work.
void BM_FullDecode5MinMp3(benchmark::State& state) {
    const std::string path = benchMp3(5);
    AudioEngine engine(44100);
    double audioSeconds = 0;
    for (auto _ : state) {
        MediaPlayer deck(engine, 0);
        deck.setFileName(path);
        deck.waitUntilDecoded();
        audioSeconds += deck.duration();
    }
    state.counters["x_real_time"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullDecode5MinMp3)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Peak resident memory growth while a 10-minute file is loaded, per minute of audio.
void BM_MemoryPerMinute10MinMp3(benchmark::State& state) {
    const std::string path = benchMp3(10);
    AudioEngine engine(44100);
    double mbPerMinute = 0;
    for (auto _ : state) {
        const long before = rssKb("VmRSS:");
        MediaPlayer deck(engine, 0);
        deck.setFileName(path);
        deck.waitUntilDecoded();
        const long peak = rssKb("VmHWM:");
        mbPerMinute = static_cast<double>(peak - before) / 1024.0 / (deck.duration() / 60.0);
    }
    state.counters["MB_per_minute"] = mbPerMinute;
}
BENCHMARK(BM_MemoryPerMinute10MinMp3)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
