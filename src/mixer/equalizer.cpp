#include "mixer/equalizer.h"

#include <algorithm>
#include <cmath>

#include "mixer/knob_geometry.h"

namespace korvex::mixer {

namespace {

constexpr std::array<const char*, kEqBands> kPictures{"eqlow", "eqmid", "eqhigh"};

}  // namespace

double eqSliderDb(float left, float baseLeft, float baseWidth, float indicatorWidth) {
    const double half = baseWidth / 2.0;
    const double centre = baseLeft + half - indicatorWidth / 2.0;
    const double p = std::clamp((left - centre) / half, -1.0, 1.0);
    if (p >= 0.0) return kEqMaxDb * p;
    if (p <= -1.0) return -HUGE_VAL;
    return 40.0 * std::log10(1.0 + p);
}

Equalizer::Equalizer(deck::DeckTransport& transport)
    : transport_(transport), knobs_{Knob(geometry::eq(0)), Knob(geometry::eq(1)), Knob(geometry::eq(2)),
                                    Knob(geometry::eq(3)), Knob(geometry::eq(4)), Knob(geometry::eq(5))} {
    for (int deck = 0; deck < 2; ++deck) {
        for (int band = 0; band < kEqBands; ++band) {
            Knob& k = knob(deck, band);
            // The design box is rounded to a whole twip: start exactly at the middle (0 dB).
            const TwipBox& base = k.base();
            k.setLeft(base.left + base.width / 2 - k.width() / 2);
            k.setConsumer([this, deck](float, float) {
                ++revision_;
                apply(deck);
            });
        }
    }
}

double Equalizer::sliderDb(int deck, int band) const {
    const Knob& k = knob(deck, band);
    return eqSliderDb(k.left(), k.base().left, k.base().width, k.width());
}

double Equalizer::gainDb(int deck, int band) const {
    return killed(deck, band) ? -HUGE_VAL : sliderDb(deck, band);
}

void Equalizer::toggleKill(int deck, int band) {
    bool& kill = killed_[slot(deck, band)];
    kill = !kill;
    ++revision_;
    apply(deck);
}

QString Equalizer::killPicture(int deck, int band) const {
    const std::size_t b = slot(0, band);
    return QString::fromLatin1(kPictures[b]) +
           (killed(deck, band) ? QStringLiteral("2.bmp") : QStringLiteral("1.bmp"));
}

std::uint64_t Equalizer::revision() const {
    std::uint64_t sum = revision_;
    for (const Knob& k : knobs_) sum += k.revision();
    return sum;
}

void Equalizer::apply(int deck) {
    transport_.player(deck).setEqualizer(gainDb(deck, kEqLow), gainDb(deck, kEqMid), gainDb(deck, kEqHigh));
}

}  // namespace korvex::mixer
