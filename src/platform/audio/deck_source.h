#pragma once
// One deck's voice on the mixer bus: a decoded track read by a playing head through the resampler, with
// fading tails left behind by every discontinuity.
//
// Everything here runs on the audio thread except construction. Positions are in frames of the track;
// a head reads frames around its position into a scratch run and the stateless resampler interpolates
// from there, so a seek simply starts a new head while the old one fades out.
//
// Keylock: a head that plays through a time stretcher reads the song at its own speed (its feed, ahead
// of what is heard by the stretcher's delay) and the stretcher makes the tempo. Its position still moves
// exactly as a plain head's would, and it is what the deck reports: the stretcher is primed with the audio
// before that position and its start delay dropped, so that what it plays is the song at the position.
// Switching keylock, like a seek, starts a new head on the other path while the old one fades out.
//
// A beat loop is a pair of whole frames. When the head reaches the loop's end inside a block it goes back
// by exactly the loop's length (its fraction of a frame kept), and the head that played on past the end
// fades out as a tail while the new one fades in: the seam is a short crossfade of the song with itself,
// and the loop keeps its length to the sample however often it runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/messages.h"
#include "platform/dsp/declick.h"
#include "platform/dsp/resampler.h"
#include "platform/dsp/three_band_eq.h"
#include "platform/dsp/time_stretcher.h"

namespace korvex::audio {

// Receives what a source reports while it renders (implemented by the engine's event queue).
class EventSink {
public:
    virtual void post_rt(const Event& event) = 0;

protected:
    ~EventSink() = default;
};

class DeckSource {
public:
    // Largest block render_rt accepts.
    static constexpr std::size_t kMaxBlock = 512;

    // Allocates the deck's time stretchers (Rubber Band's `stretchEngine`).
    DeckSource(int index, int outputRate, SourceShared& shared, const dsp::Resampler& resampler,
               const dsp::DeclickRamp& ramp,
               dsp::TimeStretcher::Engine stretchEngine = dsp::TimeStretcher::Engine::kFaster);

    // Applies one transport command.
    void apply_rt(const Command& command, EventSink& events);
    // Adds `frames` (<= kMaxBlock) frames of this deck into the interleaved stereo `bus`, and, while the
    // deck is pre-listened, after the trim and the equaliser into the stereo `phones` (null: no headphones).
    void render_rt(float* bus, float* phones, std::size_t frames, EventSink& events);
    // True while the deck plays, a fading tail or the equaliser still sounds, or a song waits to be handed
    // back: the engine may not rest then.
    bool busy_rt() const;

private:
    // A read position with its de-click ramp phase (0 silent .. ramp length full).
    struct Head {
        const decode::DecodedAudio* audio = nullptr;
        double pos = 0.0;
        int phase = 0;
        bool active = false;
        // Keylock: the stretcher it plays through (-1 none), whether that has been primed, and where the
        // next frame fed to it comes from (frames of the track).
        int stretcher = -1;
        bool primed = false;
        double feed = 0.0;
    };

    void setState_rt(int state, EventSink& events);
    // Leaves the main head behind as a fading tail; null when it was silent anyway.
    Head* startTail_rt();
    void release_rt(const decode::DecodedAudio* audio, EventSink& events);
    void releaseRetired_rt(EventSink& events);
    double endFrame_rt() const;
    // Renders n frames of `head` into voice_ at frame offset `offset`; `rising` ramps up, else down.
    void renderHead_rt(Head& head, std::size_t offset, std::size_t n, bool rising);
    // Keylock: n frames of a stretched head into resampled_, at the tempo `increment` makes.
    void stretch_rt(Head& head, std::size_t n, double increment);
    // Feeds the head's stretcher the next `frames` (<= kMaxFeed) frames of the song at its own speed.
    void feed_rt(Head& head, std::size_t frames);
    // A stretcher no fading tail is using (the quietest tail is cut when both are busy).
    int freeStretcher_rt();
    // Whether the main head should play through a stretcher now.
    bool keylocked_rt(double rate) const;
    double incrementAt(std::size_t i) const { return incStart_ + incStep_ * static_cast<double>(i); }
    void publish_rt();
    // Runs voice_ through the equaliser, and lets the filters ring out for a while after the sound stops;
    // true while there is output to add.
    bool equalise_rt(std::size_t frames, bool audible);

    const int index_;
    const int outputRate_;
    SourceShared& shared_;
    const dsp::Resampler& resampler_;
    const dsp::DeclickRamp& ramp_;

    // Crosses the loop's end `k` frames into the block: renders up to it, jumps back and crossfades.
    void wrapLoop_rt(std::size_t k, std::size_t frames);

    const decode::DecodedAudio* audio_ = nullptr;
    Head main_;
    // The running beat loop in frames of the track (none while the end is not after the start).
    double loopStart_ = 0.0;
    double loopEnd_ = 0.0;
    std::array<Head, 3> tails_{};
    std::array<const decode::DecodedAudio*, 4> retired_{};
    int state_ = kStopped;
    double increment_ = 1.0;                  // input frames per output frame at the end of the last block
    double incStart_ = 1.0;
    double incStep_ = 0.0;
    bool wasAudible_ = false;
    float gainLeft_ = 1.0f;
    float gainRight_ = 1.0f;
    float phonesGain_ = 0.0f;                 // trim while pre-listened, else 0; glides like the gains
    dsp::ThreeBandEq eq_;
    std::size_t eqRingLeft_ = 0;              // frames the equaliser still rings after the sound stopped
    std::vector<float> voice_;                // this block's deck output before the channel gains
    std::vector<float> gathered_;             // source frames around a head
    std::vector<float> resampled_;            // one head's interpolated frames
    // Keylock: one stretcher for the main head and one for the tail it leaves behind on a seek or switch.
    std::array<std::unique_ptr<dsp::TimeStretcher>, 2> stretchers_;
    std::vector<float> fed_;                  // frames on their way into a stretcher
};

}  // namespace korvex::audio
