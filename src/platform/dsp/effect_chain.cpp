#include "platform/dsp/effect_chain.h"

#include <utility>

#include "platform/audio/realtime.h"
#include "platform/dsp/effect_info.h"
#include "platform/dsp/effects/compressor.h"
#include "platform/dsp/effects/distortion.h"
#include "platform/dsp/effects/echo.h"
#include "platform/dsp/effects/effect.h"
#include "platform/dsp/effects/gargle.h"
#include "platform/dsp/effects/modulated_delay.h"
#include "platform/dsp/effects/param_eq.h"
#include "platform/dsp/flush_denormals.h"

namespace korvex::dsp {

namespace {

std::unique_ptr<Effect> makeEffect(EffectKind kind, int sampleRate) {
    switch (kind) {
        case EffectKind::Chorus:
            return std::make_unique<fx::ModulatedDelay>(true, sampleRate);
        case EffectKind::Compressor:
            return std::make_unique<fx::Compressor>(sampleRate);
        case EffectKind::Distortion:
            return std::make_unique<fx::Distortion>(sampleRate);
        case EffectKind::Echo:
            return std::make_unique<fx::Echo>(sampleRate);
        case EffectKind::Flanger:
            return std::make_unique<fx::ModulatedDelay>(false, sampleRate);
        case EffectKind::Gargle:
            return std::make_unique<fx::Gargle>(sampleRate);
        case EffectKind::ParamEq:
            return std::make_unique<fx::ParamEq>(sampleRate);
    }
    return nullptr;
}

}  // namespace

EffectChain::EffectChain(const std::vector<EffectKind>& kinds, int sampleRate) {
    audio::assertNotRealtime();
    stages_.reserve(kinds.size());
    for (EffectKind kind : kinds) {
        auto stage = std::make_unique<Stage>();
        stage->kind = kind;
        stage->effect = makeEffect(kind, sampleRate);
        const EffectParams defaults = defaultParams(kind);
        for (EffectParams& slot : stage->slots) slot = defaults;
        stage->accepted = defaults;
        stages_.push_back(std::move(stage));
    }
}

EffectChain::~EffectChain() = default;

std::size_t EffectChain::size() const {
    return stages_.size();
}

EffectKind EffectChain::kind(std::size_t index) const {
    return stages_.at(index)->kind;
}

bool EffectChain::setParameters(std::size_t index, const EffectParams& params) {
    audio::assertNotRealtime();
    if (index >= stages_.size()) return false;
    Stage& stage = *stages_[index];
    if (kindOf(params) != stage.kind || !isValid(params)) return false;
    const std::lock_guard lock(writers_);
    stage.slots[stage.back] = params;
    stage.back = stage.middle.exchange(stage.back | kFresh, std::memory_order_acq_rel) & ~kFresh;
    stage.accepted = params;
    return true;
}

EffectParams EffectChain::parameters(std::size_t index) const {
    const std::lock_guard lock(writers_);
    return stages_.at(index)->accepted;
}

void EffectChain::process_rt(float* stereo, std::size_t frames) {
    const FlushDenormals flush;
    for (const auto& stage : stages_) {
        if ((stage->middle.load(std::memory_order_relaxed) & kFresh) != 0) {
            stage->front = stage->middle.exchange(stage->front, std::memory_order_acq_rel) & ~kFresh;
            stage->effect->setParameters_rt(stage->slots[stage->front]);
        }
        stage->effect->process_rt(stereo, frames);
    }
}

void EffectChain::reset_rt() {
    for (const auto& stage : stages_) stage->effect->reset_rt();
}

}  // namespace korvex::dsp
