#pragma once
// Helpers of the effect tests: run a chain block by block as a slot does, and measure what comes out.

#include <cmath>
#include <cstddef>
#include <memory>
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

inline double db(double ratio) { return 20.0 * std::log10(ratio); }

// Interleaved stereo of `frames` zeros.
inline std::vector<float> silence(std::size_t frames) { return std::vector<float>(2 * frames, 0.0f); }

}  // namespace korvex::test
