#pragma once
// The mixer: every knob of the player panel, the crossfader with its patterns and the Switch slide, pitch,
// jog and search, volume, pan, trim, master and monitor.
//
// Why it is shaped this way: one object owns all knobs and offers each operation under the name the rest of
// the program calls it by (`volcontrol`, `switching`, `pitchset`, `masvol2` ...), so the transport's hooks,
// the keyboard and the settings loader each reach the mixer in a line. A knob is its indicator position
// (Knob); every consumer reads that position back and converts it with the laws of mixer_laws.h, which keep
// the arithmetic apart from the reads and writes done here. What the window shows beyond the knobs (the
// pitch labels, the crossfader buttons' looks, the search buttons' looks) is MixerView, by bitmap name and
// text, so nothing of the mixer needs a screen.
//
// The decks are reached through the transport: its players take the levels, rates, balances and seeks,
// its records carry the per-deck flags the jog, the search and the Switch read and write, and its song lists
// hold the tempo and volume memories the knobs store. The master gain goes to a MasterOutput.
//
// All of it runs on the user-interface thread.

#include <QString>
#include <array>
#include <cstdint>

#include "deck/deck_transport.h"
#include "mixer/equalizer.h"
#include "mixer/headphones.h"
#include "mixer/knob.h"
#include "mixer/master_output.h"
#include "mixer/mixer_laws.h"

namespace korvex::mixer {

// What the settings file keeps of the mixer (the switch times live in deck::DeckSettings).
struct MixerSettings {
    // The three fader patterns' points (see FaderTable).
    FaderTable fadertable = kDefaultFaderTable;
    // "Switchと同時にPLAY": the Switch starts the deck it slides towards.
    bool playonswitch = true;
};

// Texts and bitmap names the window shows besides the knobs.
struct MixerView {
    // `Pitchper`: each deck's pitch in percent.
    std::array<QString, 2> pitchper{QStringLiteral("00.0%"), QStringLiteral("00.0%")};
    // `FDpaturn`(0..3): "fdpN2.bmp" for the selected pattern button, "fdpN1.bmp" for the others.
    std::array<QString, 4> patternPicture{QStringLiteral("fdp12.bmp"), QStringLiteral("fdp21.bmp"),
                                          QStringLiteral("fdp31.bmp"), QStringLiteral("fdp41.bmp")};
    QString switchPicture = QStringLiteral("switch1.bmp");
    QString centerPicture = QStringLiteral("center1.bmp");
    // "A<" (`Lvol`) and ">B" (`volR`).
    QString lvolPicture = QStringLiteral("fdtoa1.bmp");
    QString volRPicture = QStringLiteral("fdtob1.bmp");
    // The search buttons `searchL`(d) and `searchR`(d).
    std::array<QString, 2> searchLPicture{QStringLiteral("sback1.bmp"), QStringLiteral("sback1.bmp")};
    std::array<QString, 2> searchRPicture{QStringLiteral("sgo1.bmp"), QStringLiteral("sgo1.bmp")};
};

// `slidestate`: where a Switch slide is heading.
enum SlideState : int { kSlideIdle = 0, kSlideTowardsB = 1, kSlideTowardsA = 2 };

// Ticks the pitch knob waits between two applied updates.
inline constexpr int kPitchWaitTicks = 8;

class Mixer {
public:
    // The transport and the master output must outlive the mixer.
    Mixer(deck::DeckTransport& transport, MasterOutput& master);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // The main window's load: the master knob from the engine's level, pattern A, no slide, both levels.
    void start();

    // --- knobs: the widgets forward their mouse events to these ------------------------------------------
    Knob& pitchKnob(int deck) { return pitch_[index(deck)]; }
    Knob& jogKnob(int deck) { return jog_[index(deck)]; }
    Knob& volumeKnob(int deck) { return volume_[index(deck)]; }
    Knob& panKnob(int deck) { return pan_[index(deck)]; }
    Knob& trimKnob(int deck) { return trim_[index(deck)]; }
    Knob& faderKnob() { return fader_; }
    // Index 0 is the monitor knob, index 1 the master knob.
    Knob& masterKnob(int index) { return master_[index == 0 ? 0 : 1]; }

    // Each knob's UpdatePosition: place the indicator for a base-relative point, then its consumer.
    void PitchUpdatePosition(int deck, float x, float y) { pitchKnob(deck).updatePosition(x, y); }
    void JogUpdatePosition(int deck, float x, float y) { jogKnob(deck).updatePosition(x, y); }
    void VolUpdatePosition(int deck, float x, float y) { volumeKnob(deck).updatePosition(x, y); }
    void PanUpdatePosition(int deck, float x, float y) { panKnob(deck).updatePosition(x, y); }
    void TrimUpdatePosition(int deck, float x, float y) { trimKnob(deck).updatePosition(x, y); }
    void FaderUpdatePosition(float x, float y) { fader_.updatePosition(x, y); }
    void masterUpdatePosition(int index, float x, float y) { masterKnob(index).updatePosition(x, y); }

    // --- levels -------------------------------------------------------------------------------------------
    // `volcontrol`: both decks' levels from the crossfader, the volume knobs, the trims and the pattern.
    void volcontrol();
    // `trimgain`(deck) as the last volcontrol() computed it (60 .. 100).
    int trimgain(int deck) const { return trimgain_[index(deck)]; }

    // --- crossfader ---------------------------------------------------------------------------------------
    // `switching`: starts a slide towards the side the crossfader is not on (or jumps there with CUT IN);
    // a second Switch during a slide stops it where it stands.
    void switching();
    // One slide step of the main timer; true when it brought the slide to its end.
    bool slideStep();
    int slidestate() const { return slidestate_; }
    // True from the start of a slide until it reaches its end (a cancelled slide leaves it set).
    bool slideflag() const { return slideflag_; }
    // Whether the main timer's next steps would move anything here: a slide, or a pitch change held back.
    bool moving() const { return slideflag_ || pitchHeld_[0] || pitchHeld_[1]; }
    // The selected pattern, 0 .. 2 (A, B, C).
    int faderpattern() const { return faderpattern_; }
    // True while "CUT IN" is the selected pattern button.
    bool cutin() const { return cutin_; }
    // The fader position P, -500 .. 500.
    float faderPosition() const { return mixer::faderPosition(fader_.left()); }

    // Button handlers: the pattern buttons `FDpaturn`(0..3) (3 is "CUT IN"), "Center", "A<" (`Lvol`),
    // ">B" (`volR`) and "Switch".
    void FDpaturn(int button);
    void centerPress();
    void centerRelease();
    void centerClick();
    void lvolPress();
    void lvolRelease();
    void volRPress();
    void volRRelease();
    void switchPress();
    void switchRelease();

    // --- pitch --------------------------------------------------------------------------------------------
    // `pitchset`: applies the deck's pitch indicator (rate, label, tempo memory), at most once per
    // kPitchWaitTicks ticks. A position held back by the wait is applied as soon as the wait is over.
    void pitchset(int deck);
    // A song's tempo memory (percent of normal speed) to the pitch indicator, then pitchset(): what the
    // transport's load and the settings loader ask for.
    void pitchsetForTempo(int deck, double tempo);
    // A click on the deck's `def` label: the pitch back to normal.
    void pitchReset(int deck);

    // --- jog ----------------------------------------------------------------------------------------------
    // `jogquadrant`(deck), where the last jog point lay (back to 0, just right of the top, when a gesture
    // ends), and `jogturns`(deck), quarter turns of this gesture.
    int jogquadrant(int deck) const { return jogquadrant_[index(deck)]; }
    int jogturns(int deck) const { return jogturns_[index(deck)]; }

    // --- search -------------------------------------------------------------------------------------------
    void searchLPress(int deck);
    void searchLRelease(int deck);
    void searchRPress(int deck);
    void searchRRelease(int deck);
    // `searchegnL` / `searchegnR`: one backward (0.75 s) / forward (0.5 s) step of a playing deck.
    void searchegnL(int deck);
    void searchegnR(int deck);
    // A click on the deck's waveform overview: the deck goes to `seconds` (clamped to the song), a playing
    // deck with the de-clicked jump a search step makes, a paused one with its pause-loop place moved
    // there as the jog moves it. Nothing happens without a song.
    void overviewSeek(int deck, double seconds);

    // --- pan, trim, master --------------------------------------------------------------------------------
    // The pan knob's balance rule for the deck's pan indicator (also after the keyboard moved it).
    void panbalance(int deck);
    // `trimlinedraw`: the deck's trim needle from its current song's volume memory.
    void trimlinedraw(int deck);
    // Stores the trim needle into the deck's current song's volume memory.
    void storeTrim(int deck);
    // Auto trim: when the deck's current song's volume memory is still the one a new entry gets for
    // `newtrim` (the trim was never moved by hand), the needle goes where the song, measured at
    // `loudnessLufs`, plays at kAutoTrimTarget, within the trim's range (it only lowers); the memory stays.
    // Returns whether the needle moved.
    bool autoTrim(int deck, double loudnessLufs, int newtrim);
    // `masvol2`: the master gain from master knob `index`; the monitor knob (0) sets the headphone level.
    void masvol2(int index);
    // Places the master knob from the engine's master gain (without writing it back).
    void placeMasterFromOutput();

    // --- equaliser ----------------------------------------------------------------------------------------
    // Both decks' three bands: their sliders and kill switches.
    Equalizer& equalizer() { return equalizer_; }
    const Equalizer& equalizer() const { return equalizer_; }

    // --- keylock ------------------------------------------------------------------------------------------
    // With a deck's keylock on, its pitch slider changes the tempo and keeps the key.
    bool keylocked(int deck) const { return isDeck(deck) && keylock_[index(deck)]; }
    void setKeylock(int deck, bool on);
    // A click on the deck's keylock switch (or the key K).
    void toggleKeylock(int deck) { setKeylock(deck, !keylocked(deck)); }
    // The switch's bitmap: "keylock1.bmp" off, "keylock2.bmp" on.
    QString keylockPicture(int deck) const;
    // --- headphones ---------------------------------------------------------------------------------------
    // Each deck's pre-listen switch and the headphone mix.
    Headphones& headphones() { return headphones_; }
    const Headphones& headphones() const { return headphones_; }

    // --- main timer ---------------------------------------------------------------------------------------
    // The mixer's part of a tick, after the timer counted the pitch wait down: a pitch position the wait
    // held back, then the slide step. Returns slideStep()'s answer.
    bool tick();

    // --- state --------------------------------------------------------------------------------------------
    MixerSettings& settings() { return settings_; }
    const MixerSettings& settings() const { return settings_; }
    const MixerView& view() const { return view_; }
    // Grows whenever anything of the mixer may have changed; the window redraws when it differs.
    std::uint64_t revision() const;

private:
    static std::size_t index(int deck) { return deck == 0 ? 0 : 1; }
    static bool isDeck(int deck) { return deck == 0 || deck == 1; }
    void touch() { ++revision_; }
    void wireKnobs();
    // The Switch's start of the deck it slides towards.
    void startDeck(int deck);
    // Ends a slide at the crossfader end `left`.
    void endSlide(float left);
    void jogPress(int deck);
    void jogSeek(int deck, float x, float y);
    void jogRelease(int deck);

    deck::DeckTransport& transport_;
    MasterOutput& output_;
    MixerSettings settings_;
    MixerView view_;

    std::array<Knob, 2> pitch_;
    std::array<Knob, 2> jog_;
    std::array<Knob, 2> volume_;
    std::array<Knob, 2> pan_;
    std::array<Knob, 2> trim_;
    Knob fader_;
    std::array<Knob, 2> master_;
    Equalizer equalizer_;
    std::array<bool, 2> keylock_{};
    Headphones headphones_;

    std::array<int, 2> trimgain_{80, 80};
    int faderpattern_ = 0;
    bool cutin_ = false;
    int slidestate_ = kSlideIdle;
    bool slideflag_ = false;
    // A pitchset() the wait held back, per deck.
    std::array<bool, 2> pitchHeld_{false, false};
    std::array<int, 2> jogquadrant_{0, 0};
    std::array<int, 2> jogturns_{0, 0};
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::mixer
