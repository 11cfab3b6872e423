// What broadcasting costs and how it holds: the encoder's CPU per second of mix for each format (the network
// side only copies bytes), the time from a deck's first sound to a listener of a local Icecast server, and a
// long stream (its length a parameter) whose listener must hear as much as the wall clock says.

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/media_player.h"
#include "platform/stream/broadcaster.h"
#include "platform/stream/stream_encoder.h"
#include "support/icecast_server.h"
#include "support/signals.h"

namespace {

using korvex::stream::StreamFormat;

double threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Encodes ten seconds of a two-tone mix in 20 ms pieces, as the encoding thread does; reports the share of
// one core the encoder takes while the mix plays at real time.
void encodeCost(benchmark::State& state, StreamFormat format, int kbps) {
    auto mix = korvex::test::sine(440.0, 10.0);
    const auto other = korvex::test::sine(1250.0, 10.0, 44100, 0.2f);
    for (std::size_t i = 0; i < mix.size(); ++i) mix[i] += other[i];
    korvex::stream::StreamSettings settings;
    settings.format = format;
    settings.bitrateKbps = kbps;
    std::vector<unsigned char> out;
    double cpu = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string error;
        auto encoder = korvex::stream::makeStreamEncoder(settings, 44100, "Title", error);
        const double start = threadCpuNs();
        for (std::size_t at = 0; at + 882 * 2 <= mix.size(); at += 882 * 2) {
            out.clear();
            encoder->encode(mix.data() + at, 882, out);
            bytes += out.size();
        }
        cpu += threadCpuNs() - start;
    }
    const double seconds = static_cast<double>(state.iterations()) * 10.0;
    state.counters["core_percent"] = cpu / 1e9 / seconds * 100.0;
    state.counters["kbit_per_s"] = static_cast<double>(bytes) * 8.0 / 1000.0 / seconds;
}

void BM_StreamEncodeMp3At192(benchmark::State& state) { encodeCost(state, StreamFormat::Mp3, 192); }
void BM_StreamEncodeVorbisAt192(benchmark::State& state) { encodeCost(state, StreamFormat::OggVorbis, 192); }
void BM_StreamEncodeOpusAt128(benchmark::State& state) { encodeCost(state, StreamFormat::OggOpus, 128); }

}  // namespace

BENCHMARK(BM_StreamEncodeMp3At192)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StreamEncodeVorbisAt192)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StreamEncodeOpusAt128)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- against a local Icecast server --------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// A deck playing a tone into the null output (real time), broadcast as MP3 at 192 kbit/s to a private
// server with no burst of its own; `body` runs while it is on air.
template <typename Body>
void onAir(benchmark::State& state, const std::string& mount, Body body) {
    if (!korvex::test::IcecastServer::available()) {
        state.SkipWithError("icecast2 is not installed");
        return;
    }
    korvex::test::IcecastServer server;
    if (!server.start()) {
        state.SkipWithError("icecast2 did not start");
        return;
    }
    const std::string dir = korvex::test::tempDir();
    korvex::test::writeWav16(dir + "/tone.wav", korvex::test::sine(440.0, 200.0));
    korvex::audio::AudioEngine engine;
    korvex::MediaPlayer player(engine, 0);
    player.setFileName(dir + "/tone.wav");
    player.waitUntilDecoded();
    std::string notice;
    auto output = korvex::audio::openOutput("null", engine, notice);
    korvex::stream::Broadcaster broadcaster(engine);
    korvex::stream::StreamSettings settings;
    settings.port = server.port();
    settings.mount = mount;
    settings.password = korvex::test::IcecastServer::kPassword;
    std::string error;
    if (!broadcaster.start(settings, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    while (broadcaster.status().state != korvex::stream::LinkState::kOnAir)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    body(player, broadcaster, server);
    broadcaster.stop();
    output->stop();
    std::system(("rm -rf '" + dir + "'").c_str());
}

// From the deck's first sound to the listener's first decoded loud sample.
void BM_StreamFirstSoundToListener(benchmark::State& state) {
    for (auto _ : state) {
        onAir(state, "/live.mp3", [&](korvex::MediaPlayer& player, korvex::stream::Broadcaster&,
                                      korvex::test::IcecastServer& server) {
            korvex::test::StreamListener listener(server.url("/live.mp3"));
            while (listener.heardCount() < 4410 && !listener.ended())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto played = Clock::now();
            player.play();
            while (listener.firstLoud() == Clock::time_point{} && Clock::now() - played < std::chrono::seconds(10))
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            state.counters["latency_s"] = std::chrono::duration<double>(listener.firstLoud() - played).count();
        });
    }
}

// A long stream: KORVEX_BENCH_STREAM_SECONDS (default 120) on air with one listener; the listener's decoded
// length against the wall time, and the resident size before and after.
void BM_StreamLong(benchmark::State& state) {
    const char* given = std::getenv("KORVEX_BENCH_STREAM_SECONDS");
    const int seconds = given != nullptr ? std::atoi(given) : 120;
    for (auto _ : state) {
        onAir(state, "/live.mp3", [&](korvex::MediaPlayer& player, korvex::stream::Broadcaster& broadcaster,
                                      korvex::test::IcecastServer& server) {
            player.play();
            korvex::test::StreamListener listener(server.url("/live.mp3"), false);
            // The listener's start (probing, the server's first pages) settles before the count begins.
            while (listener.heardCount() == 0 && !listener.ended())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::seconds(10));
            const double rssBefore = residentMb();
            const std::size_t heardBefore = listener.heardCount();
            const auto began = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const double wall = std::chrono::duration<double>(Clock::now() - began).count();
            const double decoded = static_cast<double>(listener.heardCount() - heardBefore) / 44100.0;
            state.counters["wall_s"] = wall;
            state.counters["listener_minus_wall_s"] = decoded - wall;
            state.counters["rss_growth_mb"] = residentMb() - rssBefore;
            state.counters["dropped_blocks"] = static_cast<double>(broadcaster.status().droppedBlocks);
            state.counters["lost_frames"] = static_cast<double>(broadcaster.status().lostFrames);
        });
    }
}

}  // namespace

BENCHMARK(BM_StreamFirstSoundToListener)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_StreamLong)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
