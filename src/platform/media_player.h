#pragma once
// The player behind one deck: opens a music file, plays, pauses, stops and seeks it, with rate, volume,
// balance, mute and a selection, and reports "end reached" and "state changed".
//
// It lives on the UI thread and talks to the engine's audio thread by commands. Whatever it last wrote is
// what it reads back until the engine has applied the command (a seek followed at once by a position read
// gives the new position), so callers can write a property and use it in the next statement. Events are
// delivered on the UI thread when the owner of the engine calls AudioEngine::dispatchEvents().
//
// Units: seconds as doubles; volume in hundredths of a dB (0 full, -10000 and below silent); balance
// -10000 .. 10000 (positive attenuates the left channel by balance/100 dB); play state 0 stopped,
// 1 paused, 2 playing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/deck_player.h"
#include "platform/decode/refusal.h"

namespace korvex::decode {
class Track;
class DecodedAudio;
}  // namespace korvex::decode

namespace korvex {

// Contract: the engine's output must not be rendering when a MediaPlayer is destroyed (the audio thread
// may still read the player's tracks until it reports them released).
class MediaPlayer final : public DeckPlayer {
public:
    MediaPlayer(audio::AudioEngine& engine, int deck);
    ~MediaPlayer() override;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Opens `path` as the deck's media (an empty name closes). The duration and hasError() are known when
    // this returns; decoding goes on in the background.
    void setFileName(const std::string& path) override;
    const std::string& fileName() const override { return fileName_; }

    double currentPosition() const override;
    // Seeks, clamped to 0 .. duration.
    void setCurrentPosition(double seconds) override;
    double duration() const override;

    double rate() const override { return rate_; }
    void setRate(double rate) override;
    // 2 playing, 1 paused, 0 stopped.
    int playState() const override;

    double selectionStart() const override { return selectionStart_; }
    void setSelectionStart(double seconds) override;
    double selectionEnd() const override { return selectionEnd_; }
    void setSelectionEnd(double seconds) override;
    // The cue memory: with the selection start and end, the places kept decoded for an instant jump.
    void setCuePoint(double seconds) override;

    int volume() const override { return volume_; }
    void setVolume(int hundredthsDb) override;
    int balance() const override { return balance_; }
    void setBalance(int balance) override;
    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    void setEqualizer(double lowDb, double midDb, double highDb) override;
    void setLoop(double start, double end) override;
    void setKeylock(bool on) override;
    void setTrim(int hundredthsDb) override;
    void setPrelisten(bool on) override;

    // True when the current file could not be opened or decoded.
    bool hasError() const override;
    // Why the current file cannot be played; no reason while hasError() is false.
    decode::Refusal refusal() const;
    // The reason in plain English ("a folder, not a music file"), for stderr and the tools; empty while
    // hasError() is false.
    std::string errorText() const;
    std::string problemForUser() const override;
    // Called on the UI thread when setFileName() refuses a file, with its name and errorText().
    std::function<void(const std::string& path, const std::string& why)> onOpenError;

    void play() override;
    void pause() override;
    void stop() override;

    // Blocks until the current file is fully decoded (tools and tests; never on the audio thread).
    void waitUntilDecoded() const;
    // The decoded samples of the current file (null when none).
    const decode::DecodedAudio* decodedAudio() const;

private:
    void handle(const audio::Event& event);
    void sendTransport(audio::Command::Type type, int impliedState);
    void updateGains();
    void updatePointsOfInterest();

    audio::AudioEngine& engine_;
    const int deck_;
    audio::SourceShared& shared_;
    std::string fileName_;
    decode::Refusal error_;
    std::unique_ptr<decode::Track> track_;
    // Tracks handed to the audio thread, kept alive until it says it no longer reads them.
    std::vector<std::shared_ptr<decode::DecodedAudio>> inFlight_;
    double rate_ = 1.0;
    double selectionStart_ = -1.0;
    double selectionEnd_ = -1.0;
    double cue_ = 0.0;
    double loopStart_ = -1.0;
    int volume_ = 0;
    int balance_ = 0;
    bool mute_ = false;
    // What the last unacknowledged commands imply, for coherent reads.
    std::uint64_t seekSeq_ = 0;
    double seekTarget_ = 0.0;
    std::uint64_t stateSeq_ = 0;
    int impliedState_ = audio::kStopped;
};

}  // namespace korvex
