// What broadcasting costs: the encoder's CPU per second of mix, for each format at its usual bitrate. The
// network side only copies bytes; the encoder is the part that works.

#include <benchmark/benchmark.h>
#include <time.h>

#include <vector>

#include "platform/stream/stream_encoder.h"
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
