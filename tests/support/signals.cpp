#include "support/signals.h"

#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <stdexcept>

namespace korvex::test {

std::vector<float> sine(double freq, double seconds, int rate, float amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(i) / rate));
        out[2 * i] = v;
        out[2 * i + 1] = v;
    }
    return out;
}

void writeWav16(const std::string& path, const std::vector<float>& stereo, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    sf_writef_float(file, stereo.data(), static_cast<sf_count_t>(stereo.size() / 2));
    sf_close(file);
}

std::vector<float> readSound(const std::string& path, int* rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    std::vector<float> raw(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, raw.data(), info.frames);
    sf_close(file);
    if (rate != nullptr) *rate = info.samplerate;
    if (info.channels == 2) return raw;
    std::vector<float> stereo(static_cast<std::size_t>(info.frames) * 2);
    for (std::size_t i = 0; i < static_cast<std::size_t>(info.frames); ++i) {
        stereo[2 * i] = raw[i * static_cast<std::size_t>(info.channels)];
        stereo[2 * i + 1] = raw[i * static_cast<std::size_t>(info.channels) + (info.channels > 1 ? 1 : 0)];
    }
    return stereo;
}

std::vector<float> channel(const std::vector<float>& stereo, int which, std::size_t first, std::size_t count) {
    const std::size_t frames = stereo.size() / 2;
    if (first > frames) first = frames;
    count = std::min(count, frames - first);
    std::vector<float> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = stereo[2 * (first + i) + static_cast<std::size_t>(which)];
    return out;
}

double zeroCrossingFrequency(const std::vector<float>& mono, int rate) {
    double firstCrossing = -1.0;
    double lastCrossing = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < mono.size(); ++i) {
        if (mono[i - 1] < 0.0f && mono[i] >= 0.0f) {
            const double t = static_cast<double>(i - 1) + mono[i - 1] / (mono[i - 1] - mono[i]);
            if (firstCrossing < 0.0) firstCrossing = t;
            lastCrossing = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * rate / (lastCrossing - firstCrossing);
}

double rms(const std::vector<float>& mono) {
    if (mono.empty()) return 0.0;
    double sum = 0.0;
    for (float v : mono) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(mono.size()));
}

double goertzel(const std::vector<float>& mono, double freq, int rate) {
    const double w = 2.0 * std::numbers::pi * freq / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (float v : mono) {
        const double s = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(mono.size());
}

double maxStep(const std::vector<float>& mono) {
    double step = 0.0;
    for (std::size_t i = 1; i < mono.size(); ++i) step = std::max(step, std::abs(static_cast<double>(mono[i]) - mono[i - 1]));
    return step;
}

std::string tempDir() {
    std::string pattern = "/tmp/korvex-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

}  // namespace korvex::test
