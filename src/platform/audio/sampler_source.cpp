#include "platform/audio/sampler_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/deck_source.h"
#include "platform/audio/realtime.h"

namespace korvex::audio {

namespace {
constexpr int kHalf = dsp::Resampler::kHalfWidth;
constexpr int kRamp = dsp::DeclickRamp::kFrames;
constexpr std::size_t kMaxBlock = DeckSource::kMaxBlock;
// Source frames one head may need for a full block at the largest increment.
constexpr std::size_t kGatherFrames =
    static_cast<std::size_t>(kMaxBlock * dsp::Resampler::kMaxIncrement) + 2 * kHalf + 4;
// An effect tail counts as ended after this long below kSilence (longer than the longest echo delay).
constexpr double kTailSilenceSeconds = 2.1;
constexpr float kSilence = 1e-5f;  // -100 dB
constexpr double kMinIncrement = 1e-3;
}  // namespace

SamplerSource::SamplerSource(int outputRate, const dsp::Resampler& resampler, const dsp::DeclickRamp& ramp)
    : outputRate_(outputRate),
      resampler_(resampler),
      ramp_(ramp),
      tailSilenceFrames_(static_cast<std::size_t>(kTailSilenceSeconds * outputRate)),
      voice_(kMaxBlock * 2),
      gathered_(kGatherFrames * 2),
      resampled_(kMaxBlock * 2) {}

SamplerSource::~SamplerSource() = default;

// --- UI thread -------------------------------------------------------------------------------------

std::uint64_t SamplerSource::send(Command command) {
    assertNotRealtime();
    command.seq = ++nextSeq_;
    flushOverflow();
    if (!overflow_.empty() || !commands_.push(command)) overflow_.push_back(command);
    if (onQueued) onQueued();
    return command.seq;
}

void SamplerSource::flushOverflow() {
    while (!overflow_.empty() && commands_.push(overflow_.front())) overflow_.pop_front();
}

int SamplerSource::attach(std::shared_ptr<const SampleData> data, bool mono) {
    reclaim();
    if (!data || data->frames == 0) return -1;
    for (int i = 0; i < kVoices; ++i) {
        Owner& owner = owners_[static_cast<std::size_t>(i)];
        if (owner.used) continue;
        owner.used = true;
        owner.data = std::move(data);
        VoiceShared& s = shared(i);
        s.status.store(0, std::memory_order_relaxed);
        s.increment.store(static_cast<double>(owner.data->rate) / outputRate_, std::memory_order_relaxed);
        s.gainLeft.store(1.0f, std::memory_order_relaxed);
        s.gainRight.store(1.0f, std::memory_order_relaxed);
        Command command;
        command.type = Command::Type::Attach;
        command.voice = static_cast<std::uint8_t>(i);
        command.flag = mono;
        command.data = owner.data.get();
        send(command);
        return i;
    }
    return -1;
}

std::uint64_t SamplerSource::play(int voice, bool looping) {
    Command command;
    command.type = Command::Type::Play;
    command.voice = static_cast<std::uint8_t>(voice);
    command.flag = looping;
    return send(command);
}

std::uint64_t SamplerSource::stop(int voice) {
    Command command;
    command.type = Command::Type::Stop;
    command.voice = static_cast<std::uint8_t>(voice);
    return send(command);
}

std::uint64_t SamplerSource::rewind(int voice) {
    Command command;
    command.type = Command::Type::Rewind;
    command.voice = static_cast<std::uint8_t>(voice);
    return send(command);
}

std::uint64_t SamplerSource::seek(int voice, std::size_t frame) {
    Command command;
    command.type = Command::Type::Seek;
    command.voice = static_cast<std::uint8_t>(voice);
    command.frame = frame;
    return send(command);
}

std::uint64_t SamplerSource::setChain(int voice, std::unique_ptr<dsp::EffectChain> chain) {
    reclaim();
    Command command;
    command.type = Command::Type::SetChain;
    command.voice = static_cast<std::uint8_t>(voice);
    command.chain = chain.get();
    if (chain) owners_[static_cast<std::size_t>(voice)].chains.push_back(std::move(chain));
    return send(command);
}

void SamplerSource::release(int voice) {
    Command command;
    command.type = Command::Type::Release;
    command.voice = static_cast<std::uint8_t>(voice);
    send(command);
}

void SamplerSource::reclaim() {
    assertNotRealtime();
    flushOverflow();
    while (auto back = returns_.pop()) {
        Owner& owner = owners_[back->voice];
        if (back->type == Return::Type::ChainRetired) {
            std::erase_if(owner.chains, [&](const auto& chain) { return chain.get() == back->chain; });
        } else {
            owner.chains.clear();
            owner.data.reset();
            owner.used = false;
        }
    }
}

int SamplerSource::voicesInUse() const {
    return static_cast<int>(
        std::count_if(owners_.begin(), owners_.end(), [](const Owner& o) { return o.used; }));
}

// --- audio thread ----------------------------------------------------------------------------------

void SamplerSource::apply_rt() {
    while (auto command = commands_.pop()) {
        apply_rt(*command);
        applied_ = command->seq;
    }
}

void SamplerSource::apply_rt(const Command& command) {
    Voice& v = voices_[command.voice];
    switch (command.type) {
        case Command::Type::Attach:
            v = Voice{};
            v.data = command.data;
            v.mono = command.flag;
            v.increment = shared_[command.voice].increment.load(std::memory_order_relaxed);
            break;
        case Command::Type::Play:
            if (v.data == nullptr || v.releasing) break;
            v.looping = command.flag;
            if (!v.playing) {
                v.playing = true;
                v.main.active = true;
                // A start from the top is the sample's own attack; anywhere else fades in.
                v.main.phase = v.main.pos == 0.0 ? kRamp : 0;
            }
            v.main.looping = v.looping;
            break;
        case Command::Type::Stop:
            cut_rt(v);
            break;
        case Command::Type::Rewind:
        case Command::Type::Seek: {
            if (v.data == nullptr) break;
            const double target = command.type == Command::Type::Rewind
                                      ? 0.0
                                      : static_cast<double>(std::min(command.frame, v.data->frames - 1));
            if (v.playing) {
                startTail_rt(v);
                v.main.phase = target == 0.0 ? kRamp : 0;
            }
            v.main.pos = target;
            break;
        }
        case Command::Type::SetChain:
            if (v.hasPending) retire_rt(command.voice, v.pending);
            v.pending = command.chain;
            v.hasPending = true;
            if (v.chainLive && v.chain != nullptr) {
                fadeChain_rt(v);
            } else if (!v.chainFading) {
                finishChainFade_rt(v);
            }
            break;
        case Command::Type::Release:
            cut_rt(v);
            v.releasing = true;
            break;
    }
}

void SamplerSource::cut_rt(Voice& v) {
    // The chain fades with the heads' tails (both over one ramp), so nothing they still play re-arms it.
    const bool sounding =
        v.main.active || std::any_of(v.tails.begin(), v.tails.end(), [](const Head& t) { return t.active; });
    if (v.playing) startTail_rt(v);
    v.playing = false;
    v.main.active = false;
    if (v.chainLive || sounding) fadeChain_rt(v);
}

void SamplerSource::startTail_rt(Voice& v) {
    if (!v.main.active || v.main.phase == 0) return;
    Head* slot = &v.tails[0];
    for (Head& tail : v.tails) {
        if (!tail.active) {
            slot = &tail;
            break;
        }
        if (tail.phase < slot->phase) slot = &tail;
    }
    *slot = v.main;
}

void SamplerSource::fadeChain_rt(Voice& v) {
    if (v.chain == nullptr) {
        v.chainLive = false;
        return;
    }
    v.chainFading = true;
}

void SamplerSource::finishChainFade_rt(Voice& v) {
    v.chainFading = false;
    v.chainLive = false;
    v.silentFrames = 0;
    if (v.chain != nullptr) v.chain->reset_rt();
    if (v.hasPending) {
        const auto index = static_cast<std::uint8_t>(&v - voices_.data());
        retire_rt(index, v.chain);
        v.chain = v.pending;
        v.pending = nullptr;
        v.hasPending = false;
        if (v.chain != nullptr) v.chain->reset_rt();
    }
}

void SamplerSource::retire_rt(std::uint8_t index, dsp::EffectChain* chain) {
    // A chain whose return does not fit stays with its voice's owner and is freed with the voice.
    if (chain != nullptr) returns_.push(Return{Return::Type::ChainRetired, index, chain});
}

bool SamplerSource::idle_rt(const Voice& v) const {
    if (v.main.active || v.chainLive || v.chainFading) return false;
    return std::none_of(v.tails.begin(), v.tails.end(), [](const Head& t) { return t.active; });
}

bool SamplerSource::busy_rt() const {
    return std::any_of(voices_.begin(), voices_.end(), [this](const Voice& v) {
        return v.data != nullptr && (v.playing || v.releasing || !idle_rt(v));
    });
}

void SamplerSource::render_rt(float* bus, float* phones, std::size_t frames) {
    for (std::size_t i = 0; i < voices_.size(); ++i) {
        Voice& v = voices_[i];
        if (v.data == nullptr) continue;
        VoiceShared& s = shared_[i];
        if (!idle_rt(v)) renderVoice_rt(v, s, bus, phones, frames);
        if (v.releasing && idle_rt(v)) {
            if (returns_.push(Return{Return::Type::VoiceReleased, static_cast<std::uint8_t>(i), nullptr})) {
                v = Voice{};
                s.status.store(0, std::memory_order_release);
            }
            continue;
        }
        const int status = v.playing ? kStatusPlaying | (v.looping ? kStatusLooping : 0) : 0;
        if (status != v.published) {
            v.published = status;
            s.status.store(status, std::memory_order_release);
        }
    }
    if (applied_ != 0) {
        acknowledged_.store(applied_, std::memory_order_release);
        applied_ = 0;
    }
}

void SamplerSource::renderVoice_rt(Voice& v, VoiceShared& s, float* bus, float* phones, std::size_t frames) {
    const double target =
        std::clamp(s.increment.load(std::memory_order_relaxed), kMinIncrement, dsp::Resampler::kMaxIncrement);
    incStart_ = v.increment;
    incStep_ = (target - v.increment) / static_cast<double>(frames);
    v.increment = target;

    std::fill_n(voice_.begin(), frames * 2, 0.0f);
    bool sounding = false;
    // Tails first, so a tail started by the main head below renders only the rest of this block.
    for (Head& tail : v.tails) {
        if (!tail.active) continue;
        renderHead_rt(v, tail, 0, std::min<std::size_t>(frames, static_cast<std::size_t>(tail.phase)), false);
        sounding = true;
    }
    if (v.playing && v.main.active) {
        const auto length = static_cast<double>(v.data->frames);
        const double after = dsp::Resampler::advance(v.main.pos, incStart_, incrementAt(frames), frames);
        if (!v.main.looping && after >= length) {
            // A one-shot ends with the file's last sample, and rewinds.
            std::size_t k = 0;
            for (double p = v.main.pos; k < frames && p < length; ++k) p += incrementAt(k);
            renderHead_rt(v, v.main, 0, k, true);
            v.main = Head{};
            v.playing = false;
        } else {
            renderHead_rt(v, v.main, 0, frames, true);
            if (v.main.looping && v.main.pos >= length) v.main.pos = std::fmod(v.main.pos, length);
        }
        sounding = true;
    }

    bool audible = sounding;
    if (v.chain != nullptr && (sounding || v.chainLive || v.chainFading)) {
        if (sounding && !v.releasing) {
            v.chainLive = true;
            v.silentFrames = 0;
        }
        v.chain->process_rt(voice_.data(), frames);
        audible = true;
        if (v.chainFading) {
            std::size_t i = 0;
            for (; i < frames && v.chainPhase > 0; ++i) {
                --v.chainPhase;
                const float g = ramp_.gain(v.chainPhase);
                voice_[2 * i] *= g;
                voice_[2 * i + 1] *= g;
            }
            std::fill(voice_.begin() + static_cast<std::ptrdiff_t>(2 * i),
                      voice_.begin() + static_cast<std::ptrdiff_t>(2 * frames), 0.0f);
            if (v.chainPhase == 0) {
                finishChainFade_rt(v);
                // A head that started during the fade comes back up with the chain.
                const bool heads = v.main.active;
                v.chainPhase = heads ? 0 : kRamp;
            }
        } else if (v.chainPhase < kRamp) {
            for (std::size_t i = 0; i < frames && v.chainPhase < kRamp; ++i, ++v.chainPhase) {
                const float g = ramp_.gain(v.chainPhase);
                voice_[2 * i] *= g;
                voice_[2 * i + 1] *= g;
            }
        }
        if (!sounding && v.chainLive) {
            float peak = 0.0f;
            for (std::size_t i = 0; i < frames * 2; ++i) peak = std::max(peak, std::abs(voice_[i]));
            v.silentFrames = peak < kSilence ? v.silentFrames + frames : 0;
            if (v.silentFrames >= tailSilenceFrames_) {
                v.chain->reset_rt();
                v.chainLive = false;
                v.silentFrames = 0;
            }
        }
    } else if (v.chainFading) {
        finishChainFade_rt(v);
    }

    const float targetLeft = s.gainLeft.load(std::memory_order_relaxed);
    const float targetRight = s.gainRight.load(std::memory_order_relaxed);
    // Gains glide only while sound flows; a voice that starts takes its level at once.
    if (!v.wasAudible) {
        v.gainLeft = targetLeft;
        v.gainRight = targetRight;
    }
    const float phonesTarget = phones != nullptr && s.prelisten.load(std::memory_order_relaxed) ? 1.0f : 0.0f;
    if (!v.wasAudible) v.phonesGain = phonesTarget;
    v.wasAudible = audible;
    if (audible) {
        const float stepLeft = (targetLeft - v.gainLeft) / static_cast<float>(frames);
        const float stepRight = (targetRight - v.gainRight) / static_cast<float>(frames);
        addVoice_rt(v, stepLeft, stepRight, 1.0f, 1.0f, bus, frames);
        // A pre-listened slot reaches the headphones as the audience hears it, after its volume and pan.
        if (phones != nullptr && (v.phonesGain != 0.0f || phonesTarget != 0.0f))
            addVoice_rt(v, stepLeft, stepRight, v.phonesGain, phonesTarget, phones, frames);
    }
    v.phonesGain = phonesTarget;
    v.gainLeft = targetLeft;
    v.gainRight = targetRight;
}

void SamplerSource::addVoice_rt(const Voice& v, float stepLeft, float stepRight, float scale, float scaleTo,
                                float* out, std::size_t frames) const {
    const float* in = voice_.data();
    // The master's case (no extra scale) on its own loops: every slot runs through them every block.
    if (scale == 1.0f && scaleTo == 1.0f) {
        if (v.mono) {
            for (std::size_t i = 0; i < frames; ++i) {
                const float fi = static_cast<float>(i);
                const float m = 0.5f * (in[2 * i] + in[2 * i + 1]);
                out[2 * i] += m * (v.gainLeft + stepLeft * fi);
                out[2 * i + 1] += m * (v.gainRight + stepRight * fi);
            }
        } else {
            for (std::size_t i = 0; i < frames; ++i) {
                const float fi = static_cast<float>(i);
                out[2 * i] += in[2 * i] * (v.gainLeft + stepLeft * fi);
                out[2 * i + 1] += in[2 * i + 1] * (v.gainRight + stepRight * fi);
            }
        }
        return;
    }
    const float scaleStep = (scaleTo - scale) / static_cast<float>(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float fi = static_cast<float>(i);
        const float k = scale + scaleStep * fi;
        const float left = v.mono ? 0.5f * (in[2 * i] + in[2 * i + 1]) : in[2 * i];
        const float right = v.mono ? left : in[2 * i + 1];
        out[2 * i] += left * (v.gainLeft + stepLeft * fi) * k;
        out[2 * i + 1] += right * (v.gainRight + stepRight * fi) * k;
    }
}

void SamplerSource::renderHead_rt(const Voice& v, Head& head, std::size_t offset, std::size_t n,
                                  bool rising) {
    if (n == 0) {
        if (!rising && head.phase == 0) head.active = false;
        return;
    }
    const double incBegin = incrementAt(offset);
    const double incEnd = incrementAt(offset + n);
    const float* in = nullptr;
    if (incBegin == 1.0 && incEnd == 1.0 && head.pos == std::floor(head.pos)) {
        // At the file's own rate on the output's rate the samples pass through untouched.
        gather_rt(*v.data, head.looping, static_cast<std::int64_t>(head.pos), n, resampled_.data());
        head.pos += static_cast<double>(n);
        in = resampled_.data();
    } else {
        const double endPos = dsp::Resampler::advance(head.pos, incBegin, incEnd, n);
        const auto first = static_cast<std::int64_t>(std::floor(head.pos)) - kHalf + 1;
        const auto last = static_cast<std::int64_t>(std::floor(endPos)) + kHalf;
        const auto count = std::min(static_cast<std::size_t>(last - first + 1), kGatherFrames);
        gather_rt(*v.data, head.looping, first, count, gathered_.data());
        resampler_.process_rt(gathered_.data(), count, head.pos - static_cast<double>(first), incBegin,
                              incEnd, resampled_.data(), n);
        head.pos = endPos;
        in = resampled_.data();
    }

    float* out = voice_.data() + offset * 2;
    if (!ramp_.mix_rt(out, in, n, head.phase, rising)) head.active = false;
}

void SamplerSource::gather_rt(const SampleData& data, bool looping, std::int64_t first, std::size_t count,
                              float* out) const {
    const auto length = static_cast<std::int64_t>(data.frames);
    constexpr float kScale = 1.0f / 32768.0f;
    const std::int16_t* src = data.samples.data();
    std::size_t done = 0;
    std::int64_t frame = first;
    if (looping) {
        frame %= length;
        if (frame < 0) frame += length;
    }
    while (done < count) {
        std::size_t run = 0;
        if (frame < 0) {
            run = static_cast<std::size_t>(
                std::min<std::int64_t>(-frame, static_cast<std::int64_t>(count - done)));
            std::memset(out + done * 2, 0, run * 2 * sizeof(float));
        } else if (frame >= length) {
            if (looping) {
                frame = 0;
                continue;
            }
            run = count - done;
            std::memset(out + done * 2, 0, run * 2 * sizeof(float));
        } else {
            run = std::min(count - done, static_cast<std::size_t>(length - frame));
            float* dst = out + done * 2;
            if (data.channels == 1) {
                const std::int16_t* s = src + frame;
                for (std::size_t i = 0; i < run; ++i) dst[2 * i] = dst[2 * i + 1] = static_cast<float>(s[i]) * kScale;
            } else {
                const std::int16_t* s = src + frame * 2;
                for (std::size_t i = 0; i < run * 2; ++i) dst[i] = static_cast<float>(s[i]) * kScale;
            }
        }
        done += run;
        frame += static_cast<std::int64_t>(run);
    }
}

}  // namespace korvex::audio
