#pragma once
// The headphones on the panel: each deck's pre-listen switch ("PFL") and the headphone mix slider, which
// blends what is pre-listened (left end, "CUE") with the master (right end). The monitor knob, the headphone
// level, stays with the master knob in the Mixer.
//
// A pre-listen switch sends its deck to the headphones after its trim and equaliser, whatever its volume and
// the crossfader say; the sampler's slots are pre-listened from the sampler dialog. What the window shows of
// the switches is a bitmap name per switch ("pfl2.bmp" while on). Nothing here is kept between runs: every
// start pre-listens nothing and the mix is at the cue end.
//
// All of it runs on the user-interface thread.

#include <QString>
#include <array>
#include <cstdint>

#include "deck/deck_transport.h"
#include "mixer/knob.h"
#include "mixer/master_output.h"

namespace korvex::mixer {

class Headphones {
public:
    // The transport (whose players take the switches) and the output (which takes the mix) must outlive this.
    Headphones(deck::DeckTransport& transport, MasterOutput& output);
    Headphones(const Headphones&) = delete;
    Headphones& operator=(const Headphones&) = delete;

    bool prelisten(int deck) const { return on_[slot(deck)]; }
    // A click on the deck's pre-listen switch, or its key: on, or off.
    void togglePrelisten(int deck);
    // The switch's bitmap: "pfl1.bmp" off, "pfl2.bmp" on.
    QString prelistenPicture(int deck) const;

    // The headphone mix slider: its indicator's Left is the value.
    Knob& mixKnob() { return mix_; }
    const Knob& mixKnob() const { return mix_; }
    // 0 at the cue end (left) .. 1 at the master end (right).
    double mix() const;

    // Grows whenever anything here changed.
    std::uint64_t revision() const { return revision_ + mix_.revision(); }

private:
    static std::size_t slot(int deck) { return deck == 0 ? 0 : 1; }

    deck::DeckTransport& transport_;
    MasterOutput& output_;
    Knob mix_;
    std::array<bool, 2> on_{};
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::mixer
