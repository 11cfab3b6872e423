// Opening and decoding music files: open to playable, full decode speed, memory per minute of audio.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/decode/decoded_audio.h"
#include "platform/decode/decoder.h"
#include "platform/media_player.h"

namespace {

using korvex::MediaPlayer;
using korvex::audio::AudioEngine;
using korvex::decode::DecodedAudio;

// A stereo 192 kbit/s MP3 of `minutes` of noise and tones, made once with the ffmpeg command; the long ones
// are the 5-minute one looped (packets copied, not encoded again). `vbr` makes a VBR file without a table
// of contents instead.
std::string benchMp3(int minutes, bool vbr = false) {
    const std::string path = "/tmp/korvex-bench-" + std::to_string(minutes) + "min" + (vbr ? "-vbr" : "") + ".mp3";
    if (std::ifstream(path).good()) return path;
    std::string command;
    if (minutes <= 10) {
        command = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"anoisesrc=color=pink:amplitude=0.2:d=" +
                  std::to_string(minutes * 60) + "\" -f lavfi -i \"sine=f=220:d=" + std::to_string(minutes * 60) +
                  "\" -filter_complex amix=inputs=2 -ac 2 -ar 44100 -c:a libmp3lame " +
                  (vbr ? "-q:a 2 -write_xing 0" : "-b:a 192k") + " '" + path + "'";
    } else {
        const std::string five = benchMp3(5, vbr);
        command = "ffmpeg -hide_banner -loglevel error -y -stream_loop " + std::to_string(minutes / 5) + " -i '" +
                  five + "' -c copy -t " + std::to_string(minutes * 60) + (vbr ? " -write_xing 0" : "") + " '" + path + "'";
    }
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make %s\n", path.c_str());
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
void openToPlayable(benchmark::State& state, const std::string& path) {
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
void BM_OpenToPlayable5MinMp3(benchmark::State& state) { openToPlayable(state, benchMp3(5)); }
void BM_OpenToPlayable180MinMp3(benchmark::State& state) { openToPlayable(state, benchMp3(180)); }
BENCHMARK(BM_OpenToPlayable5MinMp3)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_OpenToPlayable180MinMp3)->Unit(benchmark::kMillisecond)->Iterations(30);

// The 5-minute MP3's sound in another format, made once with the ffmpeg command.
std::string benchOther(const char* ending, const char* codec) {
    const std::string path = std::string("/tmp/korvex-bench-5min.") + ending;
    if (std::ifstream(path).good()) return path;
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -i '" + benchMp3(5) + "' " + codec + " '" + path + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make %s\n", path.c_str());
    return path;
}
// Open to playable for the other common formats, as for the MP3 above.
void openOtherToPlayable(benchmark::State& state, const char* ending, const char* codec) {
    openToPlayable(state, benchOther(ending, codec));
}
BENCHMARK_CAPTURE(openOtherToPlayable, Flac, "flac", "-c:a flac")->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(openOtherToPlayable, Vorbis, "ogg", "-c:a libvorbis -q:a 5")->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(openOtherToPlayable, Opus, "opus", "-ar 48000 -c:a libopus -b:a 160k")
    ->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(openOtherToPlayable, M4a, "m4a", "-c:a aac -b:a 192k")->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(openOtherToPlayable, Aiff, "aiff", "-c:a pcm_s16be")->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(openOtherToPlayable, WavPack, "wv", "-c:a wavpack")->Unit(benchmark::kMillisecond)->Iterations(30);

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

// Resident memory growth of one loaded deck whose cache has been filled to the brim: the song decoded to
// its end and then jumped around in until every block the deck may keep is in memory. The same for every
// length; songs up to the cache's size (about 5 minutes) are held whole.
void memoryPerDeck(benchmark::State& state, int minutes) {
    const std::string path = benchMp3(minutes);
    AudioEngine engine(44100);
    double mb = 0;
    for (auto _ : state) {
        const long before = rssKb("VmRSS:");
        MediaPlayer deck(engine, 0);
        deck.setFileName(path);
        deck.waitUntilDecoded();
        const double duration = deck.duration();
        for (int i = 0; i < 2 * static_cast<int>(DecodedAudio::kCacheBlocks); ++i) {
            const double at = duration * (i % 97) / 97.0 + i * 0.01;
            deck.setCurrentPosition(at);
            const auto frame = static_cast<std::int64_t>(deck.currentPosition() * 44100);
            for (int wait = 0; wait < 2000 && !deck.decodedAudio()->resident_rt(frame, frame + 30000); ++wait)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        mb = static_cast<double>(rssKb("VmRSS:") - before) / 1024.0;
        state.counters["blocks"] = static_cast<double>(deck.decodedAudio()->residentBlocks());
    }
    state.counters["MB_per_deck"] = mb;
}
void BM_MemoryPerDeck5MinMp3(benchmark::State& state) { memoryPerDeck(state, 5); }
void BM_MemoryPerDeck60MinMp3(benchmark::State& state) { memoryPerDeck(state, 60); }
void BM_MemoryPerDeck180MinMp3(benchmark::State& state) { memoryPerDeck(state, 180); }
BENCHMARK(BM_MemoryPerDeck5MinMp3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MemoryPerDeck60MinMp3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MemoryPerDeck180MinMp3)->Unit(benchmark::kMillisecond)->Iterations(1);

// The seek index of a three-hour MP3, read from its packets in the background.
void fullIndex(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        korvex::decode::TrackInfo info;
        korvex::decode::Refusal error;
        auto decoder = korvex::decode::openDecoder(path, 44100, info, error);
        DecodedAudio audio(info.sampleRate);
        decoder->decodeSome(audio);  // starts the index
        while (decoder->indexedFrames() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void BM_FullIndex180MinMp3(benchmark::State& state) { fullIndex(state, benchMp3(180)); }
BENCHMARK(BM_FullIndex180MinMp3)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The seek index of a three-hour 128 kbit/s WMA: ASF packets are decoded to count their samples.
void BM_FullIndex180MinWma(benchmark::State& state) {
    const std::string path = "/tmp/korvex-bench-180min.wma";
    if (!std::ifstream(path).good()) {
        const std::string command = "ffmpeg -hide_banner -loglevel error -y -stream_loop 36 -i '" + benchMp3(5) +
                                    "' -t 10800 -c:a wmav2 -b:a 128k '" + path + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make %s\n", path.c_str());
    }
    fullIndex(state, path);
}
BENCHMARK(BM_FullIndex180MinWma)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// From a jump command to a point far from anything in memory of a three-hour VBR MP3 without a table of
// contents (once indexed) until the samples there are decoded (exactly) and the deck can play them.
void BM_JumpToUncached180MinVbrMp3(benchmark::State& state) {
    const std::string path = benchMp3(180, true);
    AudioEngine engine(44100);
    MediaPlayer deck(engine, 0);
    deck.setFileName(path);
    deck.waitUntilDecoded();
    const DecodedAudio* audio = deck.decodedAudio();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> where(0.0, deck.duration() - 10.0);
    for (auto _ : state) {
        state.PauseTiming();
        double at = where(random);
        auto frame = static_cast<std::int64_t>(at * 44100);
        while (audio->resident_rt(frame, frame + 1)) {
            at = where(random);
            frame = static_cast<std::int64_t>(at * 44100);
        }
        state.ResumeTiming();
        deck.setCurrentPosition(at);
        while (!audio->resident_rt(frame - 64, frame + 1024)) std::this_thread::yield();
    }
}
BENCHMARK(BM_JumpToUncached180MinVbrMp3)->Unit(benchmark::kMillisecond)->Iterations(50)->UseRealTime();

}  // namespace
