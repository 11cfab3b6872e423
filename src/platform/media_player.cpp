#include "platform/media_player.h"

#include <algorithm>

#include "platform/decode/track.h"
#include "platform/dsp/gain.h"
#include "platform/dsp/three_band_eq.h"

namespace korvex {

MediaPlayer::MediaPlayer(audio::AudioEngine& engine, int deck)
    : engine_(engine), deck_(deck), shared_(engine.deck(deck)) {
    engine_.setEventHandler(deck_, [this](const audio::Event& event) { handle(event); });
    updateGains();
}

MediaPlayer::~MediaPlayer() {
    engine_.setEventHandler(deck_, nullptr);
}

void MediaPlayer::setFileName(const std::string& path) {
    fileName_ = path;
    error_ = {};
    std::unique_ptr<decode::Track> track;
    if (!path.empty()) {
        track = decode::Track::open(path, engine_.sampleRate(), error_);
        if (!track && !error_) error_ = {decode::Refusal::Reason::NotMusic};
    }
    const decode::DecodedAudio* audio = track ? track->audio().get() : nullptr;
    if (track) inFlight_.push_back(track->audio());
    track_ = std::move(track);
    updatePointsOfInterest();
    audio::Command command;
    command.type = audio::Command::Type::Load;
    command.source = static_cast<std::uint8_t>(deck_);
    command.audio = audio;
    const std::uint64_t seq = engine_.send(command);
    seekSeq_ = seq;
    seekTarget_ = 0.0;
    stateSeq_ = seq;
    impliedState_ = audio::kStopped;
    if (error_ && onOpenError) onOpenError(path, decode::englishText(error_));
}

double MediaPlayer::currentPosition() const {
    if (!track_) return 0.0;
    if (engine_.acknowledged() < seekSeq_) return seekTarget_;
    return shared_.position.load(std::memory_order_acquire);
}

void MediaPlayer::setCurrentPosition(double seconds) {
    if (!track_) return;
    const double target = std::clamp(seconds, 0.0, std::max(0.0, duration()));
    audio::Command command;
    command.type = audio::Command::Type::Seek;
    command.source = static_cast<std::uint8_t>(deck_);
    command.seconds = target;
    // The worker starts on the block the jump lands in before the audio thread gets there.
    track_->audio()->requestFrame(static_cast<std::int64_t>(target * track_->audio()->sampleRate()));
    seekSeq_ = engine_.send(command);
    seekTarget_ = target;
}

void MediaPlayer::setLoop(double start, double end) {
    if (!track_) return;
    audio::Command command;
    command.type = audio::Command::Type::Loop;
    command.source = static_cast<std::uint8_t>(deck_);
    command.seconds = start;
    command.endSeconds = end;
    engine_.send(command);
    // The loop's start stays decoded, so the jump back always finds its samples.
    loopStart_ = end > start ? start : -1.0;
    updatePointsOfInterest();
}

double MediaPlayer::duration() const { return track_ ? track_->duration() : 0.0; }

void MediaPlayer::setRate(double rate) {
    if (!(rate > 0.0)) return;
    rate_ = rate;
    shared_.rate.store(rate, std::memory_order_relaxed);
}

int MediaPlayer::playState() const {
    if (engine_.acknowledged() < stateSeq_) return impliedState_;
    return shared_.state.load(std::memory_order_acquire);
}

void MediaPlayer::setSelectionStart(double seconds) {
    selectionStart_ = seconds;
    shared_.selectionStart.store(seconds, std::memory_order_relaxed);
    updatePointsOfInterest();
}

void MediaPlayer::setSelectionEnd(double seconds) {
    selectionEnd_ = seconds;
    shared_.selectionEnd.store(seconds, std::memory_order_relaxed);
    updatePointsOfInterest();
}

void MediaPlayer::setCuePoint(double seconds) {
    if (seconds == cue_) return;
    cue_ = seconds;
    updatePointsOfInterest();
}

void MediaPlayer::updatePointsOfInterest() {
    if (track_) track_->audio()->setPointsOfInterest({cue_, selectionStart_, selectionEnd_, loopStart_});
}

void MediaPlayer::setVolume(int hundredthsDb) {
    volume_ = hundredthsDb;
    updateGains();
}

void MediaPlayer::setBalance(int balance) {
    balance_ = std::clamp(balance, -10000, 10000);
    updateGains();
}

void MediaPlayer::setMute(bool mute) {
    mute_ = mute;
    updateGains();
}

void MediaPlayer::setEqualizer(double lowDb, double midDb, double highDb) {
    shared_.eqLow.store(dsp::eqGainFromDb(lowDb), std::memory_order_relaxed);
    shared_.eqMid.store(dsp::eqGainFromDb(midDb), std::memory_order_relaxed);
    shared_.eqHigh.store(dsp::eqGainFromDb(highDb), std::memory_order_relaxed);
}

void MediaPlayer::setKeylock(bool on) { shared_.keylock.store(on, std::memory_order_relaxed); }
void MediaPlayer::setTrim(int hundredthsDb) {
    shared_.trim.store(dsp::volumeToGain(hundredthsDb), std::memory_order_relaxed);
}

void MediaPlayer::setPrelisten(bool on) { shared_.prelisten.store(on, std::memory_order_relaxed); }

void MediaPlayer::updateGains() {
    const float level = mute_ ? 0.0f : dsp::volumeToGain(volume_);
    const dsp::ChannelGains pan = dsp::balanceToGains(balance_);
    shared_.gainLeft.store(level * pan.left, std::memory_order_relaxed);
    shared_.gainRight.store(level * pan.right, std::memory_order_relaxed);
}

bool MediaPlayer::hasError() const {
    return static_cast<bool>(refusal());
}

decode::Refusal MediaPlayer::refusal() const {
    if (error_) return error_;
    // Opened, but decoding ended without a single frame.
    const decode::DecodedAudio* audio = decodedAudio();
    if (audio != nullptr && audio->complete() && audio->availableFrames() == 0)
        return {decode::Refusal::Reason::NoAudio};
    return {};
}

std::string MediaPlayer::errorText() const {
    return decode::englishText(refusal());
}

std::string MediaPlayer::problemForUser() const {
    const decode::Refusal why = refusal();
    if (!why) return {};
    return decode::japaneseText(why) + "\n" + decode::japaneseAdvice(why);
}

void MediaPlayer::sendTransport(audio::Command::Type type, int impliedState) {
    audio::Command command;
    command.type = type;
    command.source = static_cast<std::uint8_t>(deck_);
    stateSeq_ = engine_.send(command);
    impliedState_ = impliedState;
}

void MediaPlayer::play() {
    if (!track_) return;
    // Playing never begins before the selection start; reads show where it begins at once.
    const bool jump = currentPosition() < selectionStart_;
    sendTransport(audio::Command::Type::Play, audio::kPlaying);
    if (jump) {
        seekTarget_ = std::min(selectionStart_, duration());
        seekSeq_ = stateSeq_;
    }
}

void MediaPlayer::pause() {
    if (!track_) return;
    sendTransport(audio::Command::Type::Pause, audio::kPaused);
}

void MediaPlayer::stop() { sendTransport(audio::Command::Type::Stop, audio::kStopped); }

void MediaPlayer::handle(const audio::Event& event) {
    switch (event.type) {
        case audio::Event::Type::Released:
            std::erase_if(inFlight_, [&](const auto& audio) { return audio.get() == event.audio; });
            break;
        case audio::Event::Type::EndReached:
            if (onEndReached) onEndReached();
            break;
        case audio::Event::Type::StateChanged:
            if (onStateChanged) onStateChanged(event.oldState, event.newState);
            break;
    }
}

void MediaPlayer::waitUntilDecoded() const {
    if (track_) track_->audio()->waitComplete();
}

const decode::DecodedAudio* MediaPlayer::decodedAudio() const { return track_ ? track_->audio().get() : nullptr; }

}  // namespace korvex
