#pragma once
// Helpers of the engine tests: run an effect chain block by block as a slot does, measure what comes out,
// and run a command-line tool.

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/dsp/effect_chain.h"
#include "platform/dsp/effect_info.h"
#include "support/signals.h"

namespace korvex::test {

inline constexpr int kRate = 44100;
inline constexpr std::size_t kBlockFrames = 512;

// Runs `stereo` through `chain` in blocks of `block` frames and returns the result.
inline std::vector<float> runChain(dsp::EffectChain& chain, std::vector<float> stereo,
                                   std::size_t block = kBlockFrames) {
    const std::size_t frames = stereo.size() / 2;
    for (std::size_t done = 0; done < frames; done += block)
        chain.process_rt(stereo.data() + 2 * done, std::min(block, frames - done));
    return stereo;
}

// A one-effect chain with `params`, set before the first block.
template <typename Params>
std::unique_ptr<dsp::EffectChain> single(const Params& params, int rate = kRate) {
    auto chain = std::make_unique<dsp::EffectChain>(std::vector{dsp::kindOf(params)}, rate);
    chain->setParameters(0, params);
    return chain;
}

inline double db(double ratio) {
    return 20.0 * std::log10(ratio);
}

// Frame of the largest absolute sample of channel `which` within [from, to).
inline std::size_t peakFrame(const std::vector<float>& stereo, int which, std::size_t from, std::size_t to) {
    std::size_t best = from;
    for (std::size_t i = from; i < to && 2 * i + 1 < stereo.size(); ++i)
        if (std::abs(stereo[2 * i + which]) > std::abs(stereo[2 * best + which])) best = i;
    return best;
}

// Runs a shell command; its output and error output together, and its exit status.
struct CommandResult {
    int status = -1;
    std::string output;
};
inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) result.output += buffer.data();
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Interleaved stereo of `frames` zeros.
inline std::vector<float> silence(std::size_t frames) {
    return std::vector<float>(2 * frames, 0.0f);
}

}  // namespace korvex::test
