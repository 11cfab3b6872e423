// What recording costs the player: the render time the mix tap adds per block, and the memory of a long
// recording written as fast as the machine goes.

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/capture.h"
#include "platform/media_player.h"
#include "platform/wave_recording.h"
#include "support/signals.h"

namespace {

using korvex::MediaPlayer;
using korvex::audio::AudioEngine;

constexpr std::size_t kBlock = 256;

const std::string& toneFile() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/tone.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 60.0));
        return p;
    }();
    return path;
}

double threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

long rssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Two decks at rate 1.07 rendered in 256-frame blocks, alternately without and with the recording tap
// (64 blocks each way per iteration, so both see the same machine). The ring is emptied between the runs,
// untimed: that is the writer thread's work, not the audio thread's. `overhead_percent` is what the tap adds
// to the render time of a block.
void BM_RecordingTheMixOverhead(benchmark::State& state) {
    AudioEngine engine(44100);
    MediaPlayer a(engine, 0);
    MediaPlayer b(engine, 1);
    for (MediaPlayer* deck : {&a, &b}) {
        deck->setFileName(toneFile());
        deck->waitUntilDecoded();
        deck->setRate(1.07);
        deck->setCurrentPosition(deck == &a ? 1.0 : 7.0);
        deck->play();
    }
    korvex::audio::CaptureRing ring;
    std::vector<float> drained(ring.capacity() * 2);
    std::vector<float> out(kBlock * 2);
    double plain = 0;
    double tapped = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                engine.addMixTap(&ring);
            else
                engine.removeMixTap(&ring);
            const double start = threadCpuNs();
            for (int i = 0; i < 64; ++i) engine.render_rt(out.data(), kBlock);
            (pass == 1 ? tapped : plain) += threadCpuNs() - start;
            benchmark::DoNotOptimize(out.data());
            ring.read(drained.data(), ring.capacity());
        }
        engine.dispatchEvents();
        if (a.currentPosition() > 50.0) {
            a.setCurrentPosition(1.0);
            b.setCurrentPosition(7.0);
        }
    }
    engine.removeMixTap(&ring);
    const double blocks = static_cast<double>(state.iterations()) * 64;
    state.counters["ns_per_block_plain"] = plain / blocks;
    state.counters["ns_per_block_recording"] = tapped / blocks;
    state.counters["overhead_percent"] = (tapped / plain - 1.0) * 100.0;
    state.counters["lost_frames"] = static_cast<double>(ring.lostFrames());
}
BENCHMARK(BM_RecordingTheMixOverhead)->Unit(benchmark::kMicrosecond);

// Sixty minutes of a deck's mix recorded as 16-bit stereo 44.1 kHz through the whole path (tap, ring,
// writer thread, conversion, file), rendered faster than real time but never further ahead of the writer
// than two seconds. `rss_growth_MB` is the resident memory added between the first ten seconds and the end.
void BM_Recording60MinutesMemory(benchmark::State& state) {
    const std::string dir = korvex::test::tempDir();
    for (auto _ : state) {
        AudioEngine engine(44100);
        MediaPlayer deck(engine, 0);
        deck.setFileName(toneFile());
        deck.waitUntilDecoded();
        deck.play();
        korvex::audio::WaveRecording recording(dir, "hour");
        recording.setFormat({44100, 2, 16});
        std::string error;
        if (recording.start(korvex::audio::makeMixCapture(engine), error) !=
            korvex::audio::WaveRecording::StartResult::kStarted) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::vector<float> out(kBlock * 2);
        constexpr std::uint64_t kTotal = 60ull * 60 * 44100;
        constexpr std::uint64_t kAhead = 2 * 44100;
        long settled = 0;
        for (std::uint64_t done = 0; done < kTotal; done += kBlock) {
            while (done > recording.framesInHeader() + kAhead)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            engine.render_rt(out.data(), kBlock);
            if (done % (44100 * 10) < kBlock) {
                engine.dispatchEvents();
                if (deck.currentPosition() > 50.0) deck.setCurrentPosition(1.0);
                if (settled == 0 && done > 0) settled = rssKb();
            }
        }
        recording.stop();
        const long end = rssKb();
        state.counters["rss_growth_MB"] = static_cast<double>(end - settled) / 1024.0;
        state.counters["lost_frames"] = static_cast<double>(recording.lostFrames());
        state.counters["minutes_recorded"] = static_cast<double>(recording.framesInHeader()) / 44100.0 / 60.0;
        std::remove(recording.tempPath().c_str());
    }
}
BENCHMARK(BM_Recording60MinutesMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
