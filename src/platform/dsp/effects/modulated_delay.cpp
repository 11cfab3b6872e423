#include "platform/dsp/effects/modulated_delay.h"

#include <algorithm>
#include <variant>

namespace korvex::dsp::fx {

namespace {
constexpr double kChorusMaxMs = 20.0;
constexpr double kFlangerMaxMs = 4.0;
constexpr double kGlideSeconds = 0.01;
// The tap's centre, swing and the right side's lead move more slowly: a read head that moves fast bends
// the pitch.
constexpr double kTapGlideSeconds = 0.06;
// Frames per pass of the steady loop.
constexpr std::size_t kChunk = 64;

// On x86-64 the oscillator pass is built twice, for plain SSE2 and for processors with AVX2 and FMA (most
// since 2013), and the loader picks one when the program starts.
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_LFO_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KORVEX_LFO_CLONES
#endif

// Turns `left` from phases into the left oscillator's values and fills `right` with the right one's, which
// leads by `offset` turns.
KORVEX_LFO_CLONES
void oscillators(float* left, float* right, std::size_t count, float offset, bool sine) {
    if (sine) {
        for (std::size_t i = 0; i < count; ++i) {
            right[i] = sinTurns(left[i] + offset);
            left[i] = sinTurns(left[i]);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            right[i] = triangleTurns(left[i] + offset);
            left[i] = triangleTurns(left[i]);
        }
    }
}
}  // namespace

ModulatedDelay::ModulatedDelay(bool chorus, int sampleRate)
    : chorus_(chorus),
      sampleRate_(sampleRate),
      // The centre plus the widest swing (half the centre) and a sample to spare.
      left_(static_cast<std::size_t>(1.5 * (chorus ? kChorusMaxMs : kFlangerMaxMs) / 1000.0 * sampleRate) +
            2),
      right_(chorus ? 1 : static_cast<std::size_t>(1.5 * kFlangerMaxMs / 1000.0 * sampleRate) + 2) {
    wet_.coefficient = feedback_.coefficient = sine_.coefficient =
        glideCoefficient(kGlideSeconds, sampleRate);
    delay_.coefficient = swing_.coefficient = offset_.coefficient =
        glideCoefficient(kTapGlideSeconds, sampleRate);
    if (chorus_)
        setParameters_rt(ChorusParams{});
    else
        setParameters_rt(FlangerParams{});
}

void ModulatedDelay::setTargets(float wetDryMix, float depth, float feedback, float frequency, int waveform,
                                float delayMs, int phase) {
    wet_.target = wetDryMix / 100.0f;
    feedback_.target = feedback / 100.0f;
    delay_.target = static_cast<float>(delayMs / 1000.0 * sampleRate_);
    swing_.target = depth / 100.0f * delay_.target / 2.0f;
    sine_.target = waveform == 1 ? 1.0f : 0.0f;
    // Phase codes 0 .. 4: the right oscillator at -180, -90, 0, 90, 180 degrees from the left.
    offset_.target = static_cast<float>(phase - 2) / 4.0f;
    increment_ = static_cast<float>(frequency / sampleRate_);
}

void ModulatedDelay::setParameters_rt(const EffectParams& params) {
    if (chorus_) {
        if (const auto* p = std::get_if<ChorusParams>(&params))
            setTargets(p->fWetDryMix, p->fDepth, p->fFeedback, p->fFrequency, p->lWaveform, p->fDelay,
                       p->lPhase);
    } else if (const auto* p = std::get_if<FlangerParams>(&params)) {
        setTargets(p->fWetDryMix, p->fDepth, p->fFeedback, p->fFrequency, p->lWaveform, p->fDelay, p->lPhase);
    }
}

void ModulatedDelay::reset_rt() {
    left_.clear();
    right_.clear();
    phase_ = 0.0f;
    fresh_ = true;
}

void ModulatedDelay::process_rt(float* stereo, std::size_t frames) {
    if (fresh_) {
        for (Glide* g : {&wet_, &feedback_, &delay_, &swing_, &sine_, &offset_}) g->snap();
        fresh_ = false;
    }
    const bool still = wet_.settled() && feedback_.settled() && delay_.settled() && swing_.settled() &&
                       offset_.settled() && (sine_.value == 0.0f || sine_.value == 1.0f);
    if (still) {
        processStill(stereo, frames, sine_.value == 1.0f);
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float w = wet_.step();
        const float fb = feedback_.step();
        const float centre = delay_.step();
        const float swing = swing_.step();
        const float s = sine_.step();
        const float offset = offset_.step();
        const float lfoL = triangleTurns(phase_) + s * (sinTurns(phase_) - triangleTurns(phase_));
        const float right = phase_ + offset;
        const float lfoR = triangleTurns(right) + s * (sinTurns(right) - triangleTurns(right));
        phase_ += increment_;
        if (phase_ >= 1.0f) phase_ -= 1.0f;
        // The feedback tap is read before this frame is written, so it lies at least one sample back.
        const float feedbackDelay = std::max(centre, 1.0f) - 1.0f;
        const float inL = stereo[2 * i];
        const float inR = stereo[2 * i + 1];
        float tapL = 0.0f;
        float tapR = 0.0f;
        if (chorus_) {
            left_.write(0.5f * (inL + inR) + fb * left_.read(feedbackDelay));
            tapL = left_.read(centre + swing * lfoL);
            tapR = left_.read(centre + swing * lfoR);
        } else {
            left_.write(inL + fb * left_.read(feedbackDelay));
            right_.write(inR + fb * right_.read(feedbackDelay));
            tapL = left_.read(centre + swing * lfoL);
            tapR = right_.read(centre + swing * lfoR);
        }
        stereo[2 * i] = inL + w * (tapL - inL);
        stereo[2 * i + 1] = inR + w * (tapR - inR);
    }
    for (Glide* g : {&wet_, &feedback_, &sine_, &offset_}) g->settle(1e-6f);
    delay_.settle(1e-4f);
    swing_.settle(1e-4f);
}

void ModulatedDelay::processStill(float* stereo, std::size_t frames, bool sine) {
    // Nothing glides and the oscillator has one shape. Per chunk, the oscillator's phases first (the same
    // running sum as the gliding loop), then both oscillators in a pass without dependencies between
    // frames, then the line, which has them.
    const float w = wet_.value;
    const float fb = feedback_.value;
    const float centre = delay_.value;
    const float swing = swing_.value;
    const float offset = offset_.value;
    const float feedbackDelay = std::max(centre, 1.0f) - 1.0f;
    alignas(32) float lfoL[kChunk];
    alignas(32) float lfoR[kChunk];
    for (std::size_t done = 0; done < frames; done += kChunk) {
        const std::size_t count = std::min(kChunk, frames - done);
        for (std::size_t i = 0; i < count; ++i) {
            lfoL[i] = phase_;
            phase_ += increment_;
            if (phase_ >= 1.0f) phase_ -= 1.0f;
        }
        oscillators(lfoL, lfoR, count, offset, sine);
        float* block = stereo + 2 * done;
        for (std::size_t i = 0; i < count; ++i) {
            const float inL = block[2 * i];
            const float inR = block[2 * i + 1];
            float tapL = 0.0f;
            float tapR = 0.0f;
            if (chorus_) {
                left_.write(0.5f * (inL + inR) + fb * left_.read(feedbackDelay));
                tapL = left_.read(centre + swing * lfoL[i]);
                tapR = left_.read(centre + swing * lfoR[i]);
            } else {
                left_.write(inL + fb * left_.read(feedbackDelay));
                right_.write(inR + fb * right_.read(feedbackDelay));
                tapL = left_.read(centre + swing * lfoL[i]);
                tapR = right_.read(centre + swing * lfoR[i]);
            }
            block[2 * i] = inL + w * (tapL - inL);
            block[2 * i + 1] = inR + w * (tapR - inR);
        }
    }
}

}  // namespace korvex::dsp::fx
