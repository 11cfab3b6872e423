#pragma once
// What a deck asks of its player: the operations the transport, the lists and the mixer use. MediaPlayer is
// the engine's implementation; tests may substitute their own.
//
// Units: seconds as doubles; volume in hundredths of a dB (0 full, -10000 and below silent); balance
// -10000 .. 10000 (positive attenuates the left channel by balance/100 dB); play state 0 stopped,
// 1 paused, 2 playing. A write is visible to the next read at once.

#include <functional>
#include <string>

namespace korvex {

class DeckPlayer {
public:
    virtual ~DeckPlayer() = default;

    // Opens `path` (UTF-8) as the deck's media; an empty name closes. Duration and hasError() are known
    // when this returns.
    virtual void setFileName(const std::string& path) = 0;
    virtual const std::string& fileName() const = 0;
    virtual double currentPosition() const = 0;
    // Seeks, clamped to 0 .. duration.
    virtual void setCurrentPosition(double seconds) = 0;
    virtual double duration() const = 0;
    virtual double rate() const = 0;
    virtual void setRate(double rate) = 0;
    virtual int playState() const = 0;
    virtual double selectionStart() const = 0;
    virtual void setSelectionStart(double seconds) = 0;
    virtual double selectionEnd() const = 0;
    virtual void setSelectionEnd(double seconds) = 0;
    // The deck's cue memory, which the player may be sent to at any moment (kept ready by players that
    // do not hold the whole song in memory).
    virtual void setCuePoint(double seconds) { (void)seconds; }
    virtual int volume() const = 0;
    virtual void setVolume(int hundredthsDb) = 0;
    virtual int balance() const = 0;
    virtual void setBalance(int balance) = 0;
    virtual bool mute() const = 0;
    virtual void setMute(bool mute) = 0;
    // The equaliser's low, mid and high band gains in dB (-inf killed .. +6, 0 flat); moves glide.
    virtual void setEqualizer(double lowDb, double midDb, double highDb) {
        (void)lowDb;
        (void)midDb;
        (void)highDb;
    }
    // A beat loop from `start` to `end` seconds (each taken to its nearest frame): a playing deck that
    // reaches the end goes on from the start, crossfaded at the seam. An end not after the start leaves
    // the loop and the song plays on from where it is. A load or a stop ends the loop.
    virtual void setLoop(double start, double end) {
        (void)start;
        (void)end;
    }
    // Keylock: with it on, the rate changes the tempo and keeps the pitch.
    virtual void setKeylock(bool on) { (void)on; }
    // The trim alone in hundredths of a dB (0 .. -1600; the volume holds it too): the level the deck has on
    // the headphones.
    virtual void setTrim(int hundredthsDb) { (void)hundredthsDb; }
    // Pre-listen: the deck goes to the headphones as well.
    virtual void setPrelisten(bool on) { (void)on; }
    // True when the current file could not be opened or decoded.
    virtual bool hasError() const = 0;
    // Why the current file cannot be played, for the operator (Japanese, UTF-8): what went wrong on the first
    // line, what to do about it on the second; empty while hasError() is false or when the player cannot
    // tell.
    virtual std::string problemForUser() const { return {}; }
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;

    // Called on the UI thread: playback passed the end of the media or of the selection.
    std::function<void()> onEndReached;
    // Called on the UI thread whenever the play state changes.
    std::function<void(int oldState, int newState)> onStateChanged;
};

}  // namespace korvex
