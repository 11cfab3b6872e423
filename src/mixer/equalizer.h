#pragma once
// Each deck's three-band equaliser on the panel: a gain slider and a kill switch per band (low, mid, high).
//
// A slider is a Knob whose indicator's Left is the value: at the middle of its base the band is at 0 dB,
// the right end is +6 dB (even steps in dB), and the left half falls as the square of the travel, to
// silence at the left end (half way down is -12 dB). A kill takes its band away whatever the slider says and
// gives it back at the slider's level. Every change goes to the deck's player at once; the engine glides.
// What the window shows of the switches is a bitmap name per switch ("eqlow2.bmp" when killed). Nothing here
// is kept between runs: every start is flat.
//
// All of it runs on the user-interface thread.

#include <QString>
#include <array>
#include <cstdint>

#include "deck/deck_transport.h"
#include "mixer/knob.h"

namespace korvex::mixer {

// The bands, as they are numbered on the panel and in the layout table (index deck * 3 + band).
enum EqBand : int { kEqLow = 0, kEqMid = 1, kEqHigh = 2 };
inline constexpr int kEqBands = 3;
// The highest band gain.
inline constexpr double kEqMaxDb = 6.0;

class Equalizer {
public:
    // The transport (whose players take the gains) must outlive this.
    explicit Equalizer(deck::DeckTransport& transport);
    Equalizer(const Equalizer&) = delete;
    Equalizer& operator=(const Equalizer&) = delete;

    Knob& knob(int deck, int band) { return knobs_[slot(deck, band)]; }
    const Knob& knob(int deck, int band) const { return knobs_[slot(deck, band)]; }
    // A band's gain as its slider sets it, in dB (-inf at the left end); a kill does not change it.
    double sliderDb(int deck, int band) const;
    // What the band plays at: -inf while killed, else sliderDb().
    double gainDb(int deck, int band) const;

    bool killed(int deck, int band) const { return killed_[slot(deck, band)]; }
    // A click on a band's kill switch (or its key): killed, or back.
    void toggleKill(int deck, int band);
    // The switch's bitmap: "eqlow1.bmp" idle, "eqlow2.bmp" killed (eqmid, eqhigh likewise).
    QString killPicture(int deck, int band) const;

    // Grows whenever anything here changed.
    std::uint64_t revision() const;

private:
    static std::size_t slot(int deck, int band) {
        return static_cast<std::size_t>((deck == 0 ? 0 : 1) * kEqBands + (band < 0   ? 0
                                                                          : band > 2 ? 2
                                                                                     : band));
    }
    // Sends the deck's three bands to its player.
    void apply(int deck);

    deck::DeckTransport& transport_;
    std::array<Knob, 2 * kEqBands> knobs_;
    std::array<bool, 2 * kEqBands> killed_{};
    std::uint64_t revision_ = 0;
};

// A slider's indicator Left to the band gain in dB, for a base at `baseLeft` .. `baseLeft + baseWidth` and
// an indicator `indicatorWidth` wide: 0 at the middle, +6 at the right end, -inf at the left end.
double eqSliderDb(float left, float baseLeft, float baseWidth, float indicatorWidth);

}  // namespace korvex::mixer
