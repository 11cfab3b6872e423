#pragma once
// What crosses between the UI thread and the audio thread: transport commands in, events out, and the
// per-source values the audio thread publishes.

#include <atomic>
#include <cstdint>

namespace korvex::decode {
class DecodedAudio;
}

namespace korvex::audio {

// Play states as the decks read them.
enum PlayState : int { kStopped = 0, kPaused = 1, kPlaying = 2 };

// A transport command for one source, applied at the start of the next rendered block.
struct Command {
    enum class Type : std::uint8_t { Load, Play, Pause, Stop, Seek, Loop };
    Type type = Type::Play;
    std::uint8_t source = 0;
    std::uint64_t seq = 0;                           // engine-wide order; acknowledged once applied
    double seconds = 0.0;                            // Seek: target position; Loop: its start
    double endSeconds = 0.0;                         // Loop: its end (not after the start: no loop)
    const decode::DecodedAudio* audio = nullptr;     // Load: new track (null closes)
};

// Something the audio thread reports; delivered on the UI thread by AudioEngine::dispatchEvents().
struct Event {
    enum class Type : std::uint8_t { EndReached, StateChanged, Released };
    Type type = Type::EndReached;
    std::uint8_t source = 0;
    std::int8_t oldState = 0;
    std::int8_t newState = 0;
    const decode::DecodedAudio* audio = nullptr;     // Released: the audio thread no longer reads it
};

// Values a source reads at the start of every block (latest wins, so a knob drag never queues up) and
// the values it publishes after every block.
struct SourceShared {
    // Written by the UI thread.
    std::atomic<double> rate{1.0};
    std::atomic<float> gainLeft{1.0f};
    std::atomic<float> gainRight{1.0f};
    std::atomic<double> selectionStart{-1.0};   // seconds; <= 0 plays from the beginning
    std::atomic<double> selectionEnd{-1.0};     // seconds; <= 0 plays to the end of the media
    // The equaliser's band gains, linear (0 killed, 1 flat, up to +6 dB); the deck glides to them.
    std::atomic<float> eqLow{1.0f};
    std::atomic<float> eqMid{1.0f};
    std::atomic<float> eqHigh{1.0f};
    // Keylock: the rate changes the tempo only, not the pitch.
    std::atomic<bool> keylock{false};
    // The trim alone, linear: the headphones hear the deck after the trim and the equaliser, before its
    // volume, balance and the crossfader (gainLeft/gainRight hold the trim too, for the master).
    std::atomic<float> trim{1.0f};
    // Pre-listen: the deck goes to the headphone bus as well.
    std::atomic<bool> prelisten{false};
    // Written by the audio thread.
    std::atomic<double> position{0.0};          // seconds
    std::atomic<int> state{kStopped};
    // Blocks in which the deck held its place waiting for the decoder (it had not got that far yet, or a
    // jump landed where nothing was decoded).
    std::atomic<std::uint64_t> starvedBlocks{0};
};

}  // namespace korvex::audio
