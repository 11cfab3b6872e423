#include "platform/audio/deck_source.h"

#include <algorithm>
#include <cmath>

#include "platform/decode/decoded_audio.h"

namespace korvex::audio {

namespace {
constexpr int kHalf = dsp::Resampler::kHalfWidth;
constexpr double kMinRate = 0.01;
// How long the equaliser's filters go on after the deck falls silent: by then what they hold is far below
// anything audible, and they start afresh.
constexpr double kEqRingSeconds = 0.1;
// Source frames one head may need for a full block at the largest increment.
constexpr std::size_t kGatherFrames =
    static_cast<std::size_t>(DeckSource::kMaxBlock * dsp::Resampler::kMaxIncrement) + 2 * kHalf + 4;
static_assert(dsp::TimeStretcher::kMaxFeed <= DeckSource::kMaxBlock);
// How far past a stretched head's feed one block may read (frames at the output rate): the stretcher's
// largest analysis chunk with room to spare.
constexpr double kStretchAhead = 8192.0;
// Feeds one block may make before a stretcher that gives nothing is given up on (it never happens).
constexpr int kMaxFeeds = 64;
}  // namespace

DeckSource::DeckSource(int index, int outputRate, SourceShared& shared, const dsp::Resampler& resampler,
                       const dsp::DeclickRamp& ramp, dsp::TimeStretcher::Engine stretchEngine)
    : index_(index),
      outputRate_(outputRate),
      shared_(shared),
      resampler_(resampler),
      ramp_(ramp),
      eq_(outputRate),
      voice_(kMaxBlock * 2),
      gathered_(kGatherFrames * 2),
      resampled_(kMaxBlock * 2),
      fed_(dsp::TimeStretcher::kMaxFeed * 2) {
    for (auto& stretcher : stretchers_)
        stretcher = std::make_unique<dsp::TimeStretcher>(outputRate, stretchEngine);
}

void DeckSource::apply_rt(const Command& command, EventSink& events) {
    switch (command.type) {
        case Command::Type::Load:
            if (state_ == kPlaying) startTail_rt();
            if (audio_ != nullptr) release_rt(audio_, events);
            audio_ = command.audio;
            main_ = Head{audio_, 0.0, 0, false};
            loopStart_ = loopEnd_ = 0.0;
            setState_rt(kStopped, events);
            break;
        case Command::Type::Play: {
            if (audio_ == nullptr || state_ == kPlaying) break;
            // Playback never begins before the selection start.
            const double start = shared_.selectionStart.load(std::memory_order_relaxed) * audio_->sampleRate();
            if (main_.pos < start) main_.pos = start;
            main_.audio = audio_;
            main_.phase = 0;
            main_.active = true;
            main_.stretcher = -1;
            setState_rt(kPlaying, events);
            break;
        }
        case Command::Type::Pause:
        case Command::Type::Stop:
            if (state_ == kPlaying) startTail_rt();
            main_.active = false;
            if (command.type == Command::Type::Stop) loopStart_ = loopEnd_ = 0.0;
            if (audio_ != nullptr || command.type == Command::Type::Stop)
                setState_rt(command.type == Command::Type::Pause ? kPaused : kStopped, events);
            break;
        case Command::Type::Loop: {
            if (audio_ == nullptr || command.endSeconds <= command.seconds) {
                loopStart_ = loopEnd_ = 0.0;
                break;
            }
            loopStart_ = std::round(std::max(0.0, command.seconds) * audio_->sampleRate());
            loopEnd_ = std::round(command.endSeconds * audio_->sampleRate());
            break;
        }
        case Command::Type::Seek: {
            if (audio_ == nullptr) break;
            if (state_ == kPlaying) {
                startTail_rt();
                main_.phase = 0;
            }
            main_.pos = std::max(0.0, command.seconds) * audio_->sampleRate();
            // A stretched head starts afresh at the new place.
            main_.stretcher = -1;
            break;
        }
    }
}

void DeckSource::render_rt(float* bus, float* phones, std::size_t frames, EventSink& events) {
    const double rate = std::max(kMinRate, shared_.rate.load(std::memory_order_relaxed));
    const double ratio = audio_ != nullptr ? static_cast<double>(audio_->sampleRate()) / outputRate_ : 1.0;
    const double target = std::min(rate * ratio, dsp::Resampler::kMaxIncrement);
    // Speed glides only while sound flows: a deck that starts (or a song of another rate just loaded)
    // takes its speed at once, so its first block neither chirps nor skips ahead.
    if (!wasAudible_) increment_ = target;
    incStart_ = increment_;
    incStep_ = (target - increment_) / static_cast<double>(frames);
    increment_ = target;

    // Keylock switched (or the rate left the stretcher's range): the other path takes over from here while
    // this one fades out as a tail, as at a seek.
    if (state_ == kPlaying && main_.active) {
        const bool locked = keylocked_rt(rate);
        if (locked != (main_.stretcher >= 0)) {
            if (main_.phase > 0) {
                startTail_rt();
                main_.phase = 0;
            }
            main_.stretcher = -1;
            if (locked) main_.stretcher = freeStretcher_rt();
            main_.primed = false;
        }
    }

    std::fill_n(voice_.begin(), frames * 2, 0.0f);
    bool audible = false;
    // Tails first, so a tail started by the main head below renders only the rest of this block.
    for (Head& tail : tails_) {
        if (!tail.active) continue;
        renderHead_rt(tail, 0, std::min<std::size_t>(frames, static_cast<std::size_t>(tail.phase)), false);
        audible = true;
    }
    if (state_ == kPlaying && main_.active) {
        const double end = endFrame_rt();
        const double after = dsp::Resampler::advance(main_.pos, incStart_, incrementAt(frames), frames);
        // Every frame the resampler reads for this block must be in memory: never a stale or half block.
        // A stretched head reads ahead by what its stretcher holds (what comes before the position may be
        // missing after a jump: the stretcher is primed with silence there).
        double ahead = std::min(after, end);
        if (main_.stretcher >= 0)
            ahead = std::max(ahead, main_.primed ? main_.feed : main_.pos) + kStretchAhead * ratio;
        const auto first = static_cast<std::int64_t>(std::floor(main_.pos)) - kHalf + 1;
        const auto last = static_cast<std::int64_t>(std::floor(ahead)) + kHalf;
        const bool underrun = !audio_->resident_rt(first, last);
        if (underrun) {
            // The decoder has not got this far yet, or is decoding the block a jump landed in: stay put
            // and fade in once the samples are there.
            main_.phase = 0;
            main_.primed = false;
            shared_.starvedBlocks.fetch_add(1, std::memory_order_relaxed);
        } else if (loopEnd_ > loopStart_ && loopEnd_ < end && main_.pos < loopEnd_ && after >= loopEnd_) {
            std::size_t k = 0;
            for (double p = main_.pos; k < frames && p < loopEnd_; ++k) p += incrementAt(k);
            wrapLoop_rt(k, frames);
        } else if (after >= end) {
            std::size_t k = 0;
            for (double p = main_.pos; k < frames && p < end; ++k) p += incrementAt(k);
            renderHead_rt(main_, 0, k, true);
            if (Head* tail = startTail_rt())
                renderHead_rt(*tail, k, std::min(frames - k, static_cast<std::size_t>(tail->phase)), false);
            // Like a player with auto-rewind: the deck stops back at its selection start.
            const double start = shared_.selectionStart.load(std::memory_order_relaxed) * audio_->sampleRate();
            main_ = Head{audio_, std::max(0.0, start), 0, false};
            setState_rt(kStopped, events);
            events.post_rt(Event{Event::Type::EndReached, static_cast<std::uint8_t>(index_), 0, 0, nullptr});
        } else {
            renderHead_rt(main_, 0, frames, true);
        }
        audible = true;
    }

    const bool sounding = equalise_rt(frames, audible);
    // The headphone bus takes the deck from here: after the trim and the equaliser, before the deck's
    // volume, balance and the crossfader. Switching pre-listen glides across one block, so it never clicks.
    const float phonesTarget =
        phones != nullptr && shared_.prelisten.load(std::memory_order_relaxed)
            ? shared_.trim.load(std::memory_order_relaxed)
            : 0.0f;
    if (!wasAudible_) phonesGain_ = phonesTarget;
    if (sounding && phones != nullptr && phonesGain_ == phonesTarget && phonesTarget != 0.0f) {
        for (std::size_t i = 0; i < frames * 2; ++i) phones[i] += voice_[i] * phonesTarget;
    } else if (sounding && phones != nullptr && (phonesGain_ != 0.0f || phonesTarget != 0.0f)) {
        const float step = (phonesTarget - phonesGain_) / static_cast<float>(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            const float g = phonesGain_ + step * static_cast<float>(i);
            phones[2 * i] += voice_[2 * i] * g;
            phones[2 * i + 1] += voice_[2 * i + 1] * g;
        }
    }
    phonesGain_ = phonesTarget;

    const float targetLeft = shared_.gainLeft.load(std::memory_order_relaxed);
    const float targetRight = shared_.gainRight.load(std::memory_order_relaxed);
    // Gains glide only while sound flows; a deck that starts takes its level at once.
    if (!wasAudible_) {
        gainLeft_ = targetLeft;
        gainRight_ = targetRight;
    }
    wasAudible_ = audible;
    if (sounding) {
        const float stepLeft = (targetLeft - gainLeft_) / static_cast<float>(frames);
        const float stepRight = (targetRight - gainRight_) / static_cast<float>(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            const float fi = static_cast<float>(i);
            bus[2 * i] += voice_[2 * i] * (gainLeft_ + stepLeft * fi);
            bus[2 * i + 1] += voice_[2 * i + 1] * (gainRight_ + stepRight * fi);
        }
    }
    gainLeft_ = targetLeft;
    gainRight_ = targetRight;
    releaseRetired_rt(events);
    publish_rt();
}

void DeckSource::wrapLoop_rt(std::size_t k, std::size_t frames) {
    renderHead_rt(main_, 0, k, true);
    Head* tail = startTail_rt();
    main_.pos -= loopEnd_ - loopStart_;
    main_.phase = 0;
    if (main_.stretcher >= 0) {
        // The tail keeps the stretcher it played through; the loop's start is primed afresh on the other.
        main_.stretcher = freeStretcher_rt();
        main_.primed = false;
    }
    if (tail != nullptr)
        renderHead_rt(*tail, k, std::min(frames - k, static_cast<std::size_t>(tail->phase)), false);
    renderHead_rt(main_, k, frames - k, true);
}

bool DeckSource::equalise_rt(std::size_t frames, bool audible) {
    const float low = shared_.eqLow.load(std::memory_order_relaxed);
    const float mid = shared_.eqMid.load(std::memory_order_relaxed);
    const float high = shared_.eqHigh.load(std::memory_order_relaxed);
    // Like the gains, the bands glide only while sound flows through them.
    if (!wasAudible_ && eqRingLeft_ == 0)
        eq_.jumpToGains_rt(low, mid, high);
    else
        eq_.setGains_rt(low, mid, high);
    if (audible) {
        eqRingLeft_ = static_cast<std::size_t>(kEqRingSeconds * outputRate_);
    } else if (eq_.bypassed()) {
        // Flat, nothing to ring out.
        eqRingLeft_ = 0;
        eq_.reset_rt();
        return false;
    } else if (eqRingLeft_ > 0) {
        eqRingLeft_ -= std::min(eqRingLeft_, frames);
        if (eqRingLeft_ == 0) {
            eq_.reset_rt();
            return false;
        }
    } else {
        return false;
    }
    eq_.process_rt(voice_.data(), frames);
    return true;
}

void DeckSource::renderHead_rt(Head& head, std::size_t offset, std::size_t n, bool rising) {
    if (n == 0 || head.audio == nullptr) {
        if (!rising && head.phase == 0) head.active = false;
        return;
    }
    const double incBegin = incrementAt(offset);
    const double incEnd = incrementAt(offset + n);
    const double endPos = dsp::Resampler::advance(head.pos, incBegin, incEnd, n);
    if (head.stretcher >= 0) {
        stretch_rt(head, n, incEnd);
        head.pos = endPos;
        if (!ramp_.mix_rt(voice_.data() + offset * 2, resampled_.data(), n, head.phase, rising))
            head.active = false;
        return;
    }
    const auto first = static_cast<std::int64_t>(std::floor(head.pos)) - kHalf + 1;
    const auto last = static_cast<std::int64_t>(std::floor(endPos)) + kHalf;
    const auto count = std::min(static_cast<std::size_t>(last - first + 1), kGatherFrames);
    head.audio->readFloat_rt(first, count, gathered_.data());
    resampler_.process_rt(gathered_.data(), count, head.pos - static_cast<double>(first), incBegin, incEnd,
                          resampled_.data(), n);
    head.pos = endPos;

    float* out = voice_.data() + offset * 2;
    const float* in = resampled_.data();
    if (!ramp_.mix_rt(out, in, n, head.phase, rising)) head.active = false;
}

void DeckSource::stretch_rt(Head& head, std::size_t n, double increment) {
    dsp::TimeStretcher& stretcher = *stretchers_[static_cast<std::size_t>(head.stretcher)];
    const double speed = static_cast<double>(head.audio->sampleRate()) / outputRate_;
    if (!head.primed) {
        // The frames before the position go in first, and what the stretcher's delay puts ahead of them
        // is dropped: its next output frame is the song at the position.
        stretcher.restart_rt(increment / speed);
        head.feed = head.pos - static_cast<double>(stretcher.startPad_rt()) * speed;
        std::size_t drop = stretcher.startDelay_rt();
        for (int feeds = 0; drop > 0 && feeds < kMaxFeeds;) {
            if (stretcher.available_rt() == 0) {
                feed_rt(head, stretcher.required_rt());
                ++feeds;
                continue;
            }
            drop -= stretcher.retrieve_rt(fed_.data(), std::min(drop, dsp::TimeStretcher::kMaxFeed));
        }
        head.primed = true;
    } else {
        stretcher.setRate_rt(increment / speed);
    }
    std::size_t got = 0;
    for (int feeds = 0; got < n;) {
        if (stretcher.available_rt() > 0) {
            got += stretcher.retrieve_rt(resampled_.data() + got * 2, n - got);
        } else if (feeds++ < kMaxFeeds) {
            feed_rt(head, stretcher.required_rt());
        } else {
            std::fill(resampled_.begin() + static_cast<std::ptrdiff_t>(got * 2),
                      resampled_.begin() + static_cast<std::ptrdiff_t>(n * 2), 0.0f);
            break;
        }
    }
}

void DeckSource::feed_rt(Head& head, std::size_t frames) {
    // A stretcher that asks for nothing yet gives nothing either: a quarter block moves it on.
    frames = std::min(frames == 0 ? dsp::TimeStretcher::kMaxFeed / 4 : frames, dsp::TimeStretcher::kMaxFeed);
    const double speed = static_cast<double>(head.audio->sampleRate()) / outputRate_;
    const double endFeed = dsp::Resampler::advance(head.feed, speed, speed, frames);
    const auto first = static_cast<std::int64_t>(std::floor(head.feed)) - kHalf + 1;
    const auto last = static_cast<std::int64_t>(std::floor(endFeed)) + kHalf;
    const auto count = std::min(static_cast<std::size_t>(last - first + 1), kGatherFrames);
    head.audio->readFloat_rt(first, count, gathered_.data());
    resampler_.process_rt(gathered_.data(), count, head.feed - static_cast<double>(first), speed, speed, fed_.data(),
                          frames);
    head.feed = endFeed;
    stretchers_[static_cast<std::size_t>(head.stretcher)]->process_rt(fed_.data(), frames);
}

int DeckSource::freeStretcher_rt() {
    for (int i = 0; i < static_cast<int>(stretchers_.size()); ++i) {
        const bool busy = std::any_of(tails_.begin(), tails_.end(),
                                      [i](const Head& t) { return t.active && t.stretcher == i; });
        if (!busy) return i;
    }
    // Two jumps within one ramp: the quieter fading tail gives its stretcher up.
    Head* quietest = nullptr;
    for (Head& tail : tails_)
        if (tail.active && tail.stretcher >= 0 && (quietest == nullptr || tail.phase < quietest->phase))
            quietest = &tail;
    quietest->active = false;
    return quietest->stretcher;
}

bool DeckSource::keylocked_rt(double rate) const {
    return shared_.keylock.load(std::memory_order_relaxed) && rate >= dsp::TimeStretcher::kMinRate &&
           rate <= dsp::TimeStretcher::kMaxRate;
}

DeckSource::Head* DeckSource::startTail_rt() {
    if (!main_.active || main_.phase == 0 || main_.audio == nullptr) return nullptr;
    Head* slot = &tails_[0];
    for (Head& tail : tails_) {
        if (!tail.active) {
            slot = &tail;
            break;
        }
        if (tail.phase < slot->phase) slot = &tail;
    }
    *slot = main_;
    return slot;
}

double DeckSource::endFrame_rt() const {
    double end = audio_->complete() ? static_cast<double>(audio_->availableFrames()) : HUGE_VAL;
    const double selection = shared_.selectionEnd.load(std::memory_order_relaxed);
    if (selection > 0.0) end = std::min(end, selection * audio_->sampleRate());
    return end;
}

void DeckSource::setState_rt(int state, EventSink& events) {
    if (state == state_) return;
    const int old = state_;
    state_ = state;
    shared_.state.store(state, std::memory_order_release);
    events.post_rt(Event{Event::Type::StateChanged, static_cast<std::uint8_t>(index_),
                         static_cast<std::int8_t>(old), static_cast<std::int8_t>(state), nullptr});
}

void DeckSource::release_rt(const decode::DecodedAudio* audio, EventSink& events) {
    for (auto& slot : retired_) {
        if (slot == nullptr) {
            slot = audio;
            return;
        }
    }
    // Every slot taken (loads faster than a ramp): cut the oldest fade short.
    const decode::DecodedAudio* oldest = retired_[0];
    for (Head& tail : tails_)
        if (tail.audio == oldest) tail.active = false;
    events.post_rt(Event{Event::Type::Released, static_cast<std::uint8_t>(index_), 0, 0, oldest});
    std::rotate(retired_.begin(), retired_.begin() + 1, retired_.end());
    retired_.back() = audio;
}

void DeckSource::releaseRetired_rt(EventSink& events) {
    for (auto& slot : retired_) {
        if (slot == nullptr) continue;
        const bool inUse =
            std::any_of(tails_.begin(), tails_.end(), [&](const Head& t) { return t.active && t.audio == slot; });
        if (inUse) continue;
        events.post_rt(Event{Event::Type::Released, static_cast<std::uint8_t>(index_), 0, 0, slot});
        slot = nullptr;
    }
}

void DeckSource::publish_rt() {
    if (audio_ != nullptr) audio_->setPlayHead_rt(static_cast<std::int64_t>(main_.pos));
    const double seconds = audio_ != nullptr ? main_.pos / audio_->sampleRate() : 0.0;
    shared_.position.store(seconds, std::memory_order_release);
}

bool DeckSource::busy_rt() const {
    if (state_ == kPlaying || eqRingLeft_ > 0) return true;
    if (std::any_of(tails_.begin(), tails_.end(), [](const Head& t) { return t.active; })) return true;
    return std::any_of(retired_.begin(), retired_.end(), [](const auto* audio) { return audio != nullptr; });
}

}  // namespace korvex::audio
