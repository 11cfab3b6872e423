// The sampler on the engine: render cost of eight slots over two decks, how soon a slot sounds, and how
// long a slot takes to load.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <cstdio>

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/media_player.h"
#include "platform/sound_buffer.h"
#include "support/signals.h"

namespace {

using korvex::MediaPlayer;
using korvex::SoundBuffer;
using korvex::SoundEngineDevice;
using korvex::audio::AudioEngine;

constexpr int kRate = 44100;

std::string writeMono(const std::string& name, double freq, double seconds) {
    const std::string path = korvex::test::tempDir() + "/" + name;
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<float> mono(frames);
    for (std::size_t i = 0; i < frames; ++i)
        mono[i] = 0.4f * static_cast<float>(
                             std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(i) / kRate));
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_float(file, mono.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return path;
}

const std::string& deckTone() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/deck.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 60.0));
        return p;
    }();
    return path;
}

const std::string& stereoSample() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/slot.wav";
        korvex::test::writeWav16(p, korvex::test::sine(660.0, 2.0));
        return p;
    }();
    return path;
}

const std::string& monoSample() {
    static const std::string path = writeMono("mono.wav", 880.0, 2.0);
    return path;
}

const std::string& tenSeconds() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/ten.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 10.0));
        return p;
    }();
    return path;
}

// All eight slots looping at once (three placed in 3D, five at odd frequencies) over two decks at rate
// 1.07, mixed with the master applied; with `effects` the three 3D slots are effecter slots running an
// echo and a chorus each.
void eightSlots(benchmark::State& state, bool effects) {
    AudioEngine engine(kRate);
    MediaPlayer a(engine, 0);
    MediaPlayer b(engine, 1);
    for (MediaPlayer* deck : {&a, &b}) {
        deck->setFileName(deckTone());
        deck->waitUntilDecoded();
        deck->setRate(1.07);
        deck->setVolume(-300);
        deck->setCurrentPosition(deck == &a ? 1.0 : 7.0);
        deck->play();
    }
    SoundEngineDevice device(engine);
    std::vector<std::unique_ptr<SoundBuffer>> slots;
    const float places[3][3] = {{2.0f, 0.0f, 1.0f}, {-1.0f, 0.0f, 3.0f}, {0.5f, 0.0f, -2.0f}};
    for (const auto& place : places) {
        const unsigned mode = effects ? korvex::kCtrlFx : korvex::kCtrlFrequency;
        auto slot = device.createSoundBufferFromFile(monoSample(),
                                                     korvex::kCtrlVolume | mode | korvex::kCtrl3D, nullptr);
        if (effects) slot->setFX({korvex::dsp::EffectKind::Echo, korvex::dsp::EffectKind::Chorus}, nullptr);
        slot->buffer3D()->setPosition(place[0], place[1], place[2]);
        slot->buffer3D()->setConeAngles(90, 240);
        slot->buffer3D()->setConeOutsideVolume(-600);
        slots.push_back(std::move(slot));
    }
    const int frequencies[5] = {31013, 47777, 52919, 39997, 61001};
    for (int hz : frequencies) {
        auto slot = device.createSoundBufferFromFile(
            stereoSample(), korvex::kCtrlVolume | korvex::kCtrlFrequency | korvex::kCtrlPan, nullptr);
        slot->setFrequency(hz);
        slot->setVolume(-900);
        slot->setPan(hz % 2 == 0 ? 700 : -700);
        slots.push_back(std::move(slot));
    }
    for (auto& slot : slots) slot->play(SoundBuffer::kPlayLooping);
    engine.setMasterVolume(0x80008000u);
    constexpr std::size_t kBlock = 256;
    std::vector<float> out(kBlock * 2);
    std::size_t blocks = 0;
    for (auto _ : state) {
        engine.render_rt(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        if (++blocks % 16 == 0) {
            state.PauseTiming();
            engine.dispatchEvents();
            if (a.currentPosition() > 50.0) {
                a.setCurrentPosition(1.0);
                b.setCurrentPosition(7.0);
            }
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
void BM_EightSlotsTwoDecks(benchmark::State& state) {
    eightSlots(state, false);
}
void BM_EightSlotsTwoDecksThreeWithEffects(benchmark::State& state) {
    eightSlots(state, true);
}
BENCHMARK(BM_EightSlotsTwoDecks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EightSlotsTwoDecksThreeWithEffects)->Unit(benchmark::kMicrosecond);

// Blocks rendered after a slot's play before it sounds (0: in the first block), for a one-shot started
// from the top.
void BM_SlotTriggerBlocksOfDelay(benchmark::State& state) {
    AudioEngine engine(kRate);
    korvex::audio::ManualOutput output(engine);
    SoundEngineDevice device(engine);
    auto slot = device.createSoundBufferFromFile(
        monoSample(), korvex::kCtrlVolume | korvex::kCtrlFrequency | korvex::kCtrlPan, nullptr);
    double worst = 0;
    for (auto _ : state) {
        slot->stop();
        output.render(256);
        slot->setCurrentPosition(0);
        slot->play(SoundBuffer::kPlayOnce);
        int late = 0;
        // The sine starts at 0; its second sample is the first that is not.
        while (std::abs(output.render(256)[2 * 1]) < 1e-4f && late < 100) ++late;
        worst = std::max<double>(worst, late);
        engine.dispatchEvents();
    }
    state.counters["blocks_of_delay"] = worst;
}
BENCHMARK(BM_SlotTriggerBlocksOfDelay)->Iterations(200);

// Loading a 10-second 16-bit stereo wave file into a slot (read whole, handed to the engine).
void BM_LoadTenSecondWave(benchmark::State& state) {
    AudioEngine engine(kRate);
    korvex::audio::ManualOutput output(engine);
    SoundEngineDevice device(engine);
    tenSeconds();
    for (auto _ : state) {
        auto slot = device.createSoundBufferFromFile(
            tenSeconds(), korvex::kCtrlVolume | korvex::kCtrlFrequency | korvex::kCtrlPan, nullptr);
        benchmark::DoNotOptimize(slot.get());
        state.PauseTiming();
        slot.reset();
        output.render(256);
        engine.dispatchEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadTenSecondWave)->Unit(benchmark::kMillisecond);

// Resident memory of the process in MiB.
double residentMiB() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A 10-minute 16-bit stereo wave file in a slot: the load time and what the slot holds while loaded
// ("held_MiB", the growth of the resident memory; 10 minutes of 16-bit stereo are 101 MiB).
void BM_LoadTenMinuteWave(benchmark::State& state) {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/ten-minutes.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 600.0));
        return p;
    }();
    AudioEngine engine(kRate);
    korvex::audio::ManualOutput output(engine);
    SoundEngineDevice device(engine);
    double held = 0.0;
    for (auto _ : state) {
        const double before = residentMiB();
        auto slot = device.createSoundBufferFromFile(
            path, korvex::kCtrlVolume | korvex::kCtrlFrequency | korvex::kCtrlPan, nullptr);
        benchmark::DoNotOptimize(slot.get());
        state.PauseTiming();
        held = residentMiB() - before;
        slot.reset();
        output.render(256);
        engine.dispatchEvents();
        state.ResumeTiming();
    }
    state.counters["held_MiB"] = held;
}
BENCHMARK(BM_LoadTenMinuteWave)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
