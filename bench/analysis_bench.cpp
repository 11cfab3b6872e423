// Song analysis: how long a 5-minute MP3 takes, and how right the tempo and beats come out over a set of
// songs made here with known beats: drum patterns (swing, fills, crashes) written as MIDI files and played
// through FluidSynth with the General MIDI soundfont, and music-like grooves (off-beat bass, a chord pad)
// encoded as MP3. Everything is made at bench time in a temporary folder and removed afterwards.

#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/analysis/analysis_worker.h"
#include "platform/analysis/analyze_file.h"
#include "platform/audio/audio_engine.h"
#include "platform/decode/decoded_audio.h"
#include "platform/media_player.h"
#include "platform/decode/decoder.h"
#include "support/beat_tracks.h"
#include "support/signals.h"

namespace {

using korvex::analysis::TrackAnalysis;

// --- a format-0 MIDI file of drums on channel 10 --------------------------------------------------------

constexpr int kTicks = 480;

struct Hit {
    double beat;  // in quarter notes from the start
    int note;
    int velocity;
};

void put16(std::string& s, int v) {
    s += static_cast<char>((v >> 8) & 0xff);
    s += static_cast<char>(v & 0xff);
}
void put32(std::string& s, long v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xff);
}
void putVar(std::string& s, long v) {
    std::string bytes(1, static_cast<char>(v & 0x7f));
    while ((v >>= 7) > 0) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (v & 0x7f)));
    s += bytes;
}

void writeMidi(const std::string& path, double bpm, std::vector<Hit> hits) {
    struct Event {
        long tick;
        int status, a, b;
    };
    std::vector<Event> events;
    for (const Hit& h : hits) {
        const long on = std::lround(h.beat * kTicks);
        events.push_back({on, 0x99, h.note, h.velocity});
        events.push_back({on + kTicks / 8, 0x89, h.note, 0});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& x, const Event& y) { return x.tick < y.tick; });
    std::string track;
    putVar(track, 0);
    track += "\xff\x51\x03";
    const long micros = std::lround(60'000'000.0 / bpm);
    track += static_cast<char>((micros >> 16) & 0xff);
    track += static_cast<char>((micros >> 8) & 0xff);
    track += static_cast<char>(micros & 0xff);
    long last = 0;
    for (const Event& e : events) {
        putVar(track, e.tick - last);
        last = e.tick;
        track += static_cast<char>(e.status);
        track += static_cast<char>(e.a);
        track += static_cast<char>(e.b);
    }
    putVar(track, kTicks);
    track += "\xff\x2f";
    track += '\0';
    std::string file = "MThd";
    put32(file, 6);
    put16(file, 0);
    put16(file, 1);
    put16(file, kTicks);
    file += "MTrk";
    put32(file, static_cast<long>(track.size()));
    file += track;
    std::ofstream(path, std::ios::binary) << file;
}

// A drum pattern of `bars` bars: kick and snare variations, hats swung by `swing` (0.5 straight .. 0.67),
// a tom fill closing every fourth bar and a crash after it.
std::vector<Hit> drumPattern(int bars, double swing, int style) {
    std::vector<Hit> hits;
    for (int bar = 0; bar < bars; ++bar) {
        const double at = bar * 4.0;
        const bool fill = bar % 4 == 3;
        if (bar % 4 == 0) hits.push_back({at, 49, 100});
        for (int beat = 0; beat < 4; ++beat) {
            const double b = at + beat;
            if (fill && beat >= 2) {
                // Toms in sixteenths, down the kit.
                static const int kToms[] = {50, 48, 47, 45, 43, 41, 41, 36};
                for (int i = 0; i < 4; ++i) hits.push_back({b + i * 0.25, kToms[(beat - 2) * 4 + i], 90 + 8 * (i % 2)});
                continue;
            }
            if (beat % 2 == 0 || (style == 1 && beat == 3)) hits.push_back({b, 36, 115});
            if (beat % 2 == 1) hits.push_back({b, 38, 105});
            if (style == 2 && beat == 1) hits.push_back({b + swing, 36, 90});
            hits.push_back({b, 42, 80});
            hits.push_back({b + swing, style == 1 && beat == 3 ? 46 : 42, 60});
        }
    }
    return hits;
}

// Renders a MIDI file through FluidSynth into interleaved stereo float at 44.1 kHz.
std::vector<float> renderMidi(const std::string& midi, const std::string& soundfont) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", 44100.0);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_synth_sfload(synth, soundfont.c_str(), 1);
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_add(player, midi.c_str());
    fluid_player_play(player);
    std::vector<float> out;
    std::vector<float> left(512), right(512);
    int tail = 44100;  // let the last hits ring out
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING || (tail -= 512) > 0) {
        fluid_synth_write_float(synth, 512, left.data(), 0, 1, right.data(), 0, 1);
        for (int i = 0; i < 512; ++i) {
            out.push_back(left[i]);
            out.push_back(right[i]);
        }
    }
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return out;
}

bool toMp3(const std::string& wav, const std::string& mp3) {
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -i '" + wav +
                                "' -c:a libmp3lame -b:a 192k '" + mp3 + "'";
    return std::system(command.c_str()) == 0;
}

// The distance from `t` to the nearest beat of the true grid.
double offGrid(double t, double bpm, double first) {
    const double period = 60.0 / bpm;
    return std::abs(t - (first + std::round((t - first) / period) * period));
}

struct Song {
    std::string path;
    double bpm;
    double firstBeat;
};

// 22 drum patterns from 70 to 180 BPM and 8 grooves, made in `dir`.
std::vector<Song> makeSongs(const std::string& dir) {
    std::vector<Song> songs;
    const std::string soundfont = korvex::decode::findSoundfont();
    const double drumTempi[] = {70.0, 75.5, 80.0, 85.0, 88.8, 92.0,  96.0,  100.0, 104.5, 110.0, 115.0,
                                120.0, 122.2, 126.0, 130.0, 135.0, 140.0, 150.0, 160.0, 170.0, 174.0, 180.0};
    int n = 0;
    for (const double bpm : drumTempi) {
        const std::string midi = dir + "/drums" + std::to_string(n) + ".mid";
        const double swing = 0.5 + 0.04 * (n % 5);
        writeMidi(midi, bpm, drumPattern(static_cast<int>(std::ceil(60.0 * bpm / 60.0 / 4.0)), swing, n % 3));
        if (soundfont.empty()) break;
        const std::string wav = dir + "/drums" + std::to_string(n) + ".wav";
        korvex::test::writeWav16(wav, renderMidi(midi, soundfont));
        songs.push_back({wav, bpm, 0.0});
        ++n;
    }
    const double grooveTempi[] = {72.0, 87.0, 99.0, 118.0, 128.0, 138.0, 165.0, 176.0};
    unsigned seed = 11;
    for (const double bpm : grooveTempi) {
        const std::string wav = dir + "/groove" + std::to_string(seed) + ".wav";
        const std::string mp3 = dir + "/groove" + std::to_string(seed) + ".mp3";
        const double first = 0.05 + 0.03 * (seed % 7);
        korvex::test::writeWav16(wav, korvex::test::drumGroove(bpm, 60.0, first, seed));
        songs.push_back({toMp3(wav, mp3) ? mp3 : wav, bpm, first});
        ++seed;
    }
    return songs;
}

void BM_TempoAccuracy(benchmark::State& state) {
    const std::string dir = korvex::test::tempDir();
    const std::vector<Song> songs = makeSongs(dir);
    for (auto _ : state) {
        int right = 0, octave = 0, beats = 0, beatsNear = 0;
        double worstFirst = 0.0;
        for (const Song& song : songs) {
            std::string error;
            const std::optional<TrackAnalysis> a = korvex::analysis::analyzeFile(song.path, error);
            if (!a) continue;
            const double ratio = a->bpm / song.bpm;
            if (std::abs(a->bpm - song.bpm) <= 0.1) ++right;
            if (std::abs(ratio - 2.0) < 0.05 || std::abs(ratio - 0.5) < 0.05) ++octave;
            for (const double t : a->beats) {
                ++beats;
                beatsNear += offGrid(t, song.bpm, song.firstBeat) <= 0.010;
            }
            worstFirst = std::max(worstFirst, offGrid(a->firstBeat, song.bpm, song.firstBeat));
            if (std::abs(a->bpm - song.bpm) > 0.1 || offGrid(a->firstBeat, song.bpm, song.firstBeat) > 0.01)
                std::fprintf(stderr, "  %s: true %.2f found %.3f first %.3f (true grid %.3f)\n", song.path.c_str(),
                             song.bpm, a->bpm, a->firstBeat, song.firstBeat);
        }
        state.counters["songs"] = static_cast<double>(songs.size());
        state.counters["tempo_within_0.1_percent"] = 100.0 * right / std::max<std::size_t>(1, songs.size());
        state.counters["half_or_double"] = octave;
        state.counters["beats_within_10ms_percent"] = 100.0 * beatsNear / std::max(1, beats);
        state.counters["first_beat_worst_ms"] = worstFirst * 1000.0;
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_TempoAccuracy)->Unit(benchmark::kMillisecond)->Iterations(1);

// A 5-minute groove as a 192 kbit/s MP3, analysed whole: decoding, tempo, beats, loudness and waveform on
// one thread (the CPU time is that thread's).
void BM_Analyze5MinMp3(benchmark::State& state) {
    const std::string dir = korvex::test::tempDir();
    const std::string wav = dir + "/five.wav", mp3 = dir + "/five.mp3";
    korvex::test::writeWav16(wav, korvex::test::drumGroove(124.0, 300.0, 0.1, 3));
    if (!toMp3(wav, mp3)) state.SkipWithError("ffmpeg could not make the MP3");
    for (auto _ : state) {
        std::string error;
        benchmark::DoNotOptimize(korvex::analysis::analyzeFile(mp3, error));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Analyze5MinMp3)->Unit(benchmark::kMillisecond)->Iterations(3);

// Open to playable (the duration known and the first 100 ms decoded) of a 5-minute MP3 while the analysis
// worker analyses songs of its own: loading must not wait for analysis.
void BM_OpenToPlayableWhileAnalysing(benchmark::State& state) {
    const std::string dir = korvex::test::tempDir();
    const std::string wav = dir + "/five.wav", mp3 = dir + "/five.mp3";
    korvex::test::writeWav16(wav, korvex::test::drumGroove(124.0, 300.0, 0.1, 3));
    if (!toMp3(wav, mp3)) state.SkipWithError("ffmpeg could not make the MP3");
    korvex::analysis::AnalysisWorker worker(korvex::analysis::AnalysisCache(dir + "/cache"));
    korvex::audio::AudioEngine engine(44100);
    for (auto _ : state) {
        state.PauseTiming();
        // A fresh entry each time, so the worker is busy analysing, not reading its cache.
        std::filesystem::remove_all(dir + "/cache");
        worker.request(mp3, korvex::analysis::AnalysisSource::Priority::Deck);
        state.ResumeTiming();
        korvex::MediaPlayer deck(engine, 0);
        deck.setFileName(mp3);
        deck.decodedAudio()->waitForFrames(4410);
        benchmark::DoNotOptimize(deck.duration());
        state.PauseTiming();
        deck.setFileName("");
        engine.dispatchEvents();
        worker.waitIdle();
        state.ResumeTiming();
    }
    state.counters["analyses"] = worker.analysesRun();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_OpenToPlayableWhileAnalysing)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
