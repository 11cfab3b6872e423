#include "mixer/headphones.h"

#include <algorithm>

#include "mixer/knob_geometry.h"

namespace korvex::mixer {

Headphones::Headphones(deck::DeckTransport& transport, MasterOutput& output)
    : transport_(transport), output_(output), mix_(geometry::phonesMix()) {
    // The slider starts at the cue end: only what is pre-listened.
    mix_.setLeft(mix_.base().left - mix_.width() / 2);
    mix_.setConsumer([this](float, float) { output_.setPhonesMix(static_cast<float>(mix())); });
    output_.setPhonesMix(0.0f);
}

void Headphones::togglePrelisten(int deck) {
    bool& on = on_[slot(deck)];
    on = !on;
    ++revision_;
    transport_.player(deck).setPrelisten(on);
}

QString Headphones::prelistenPicture(int deck) const {
    return prelisten(deck) ? QStringLiteral("pfl2.bmp") : QStringLiteral("pfl1.bmp");
}

double Headphones::mix() const {
    const TwipBox& base = mix_.base();
    return std::clamp((mix_.left() + mix_.width() / 2 - base.left) / base.width, 0.0f, 1.0f);
}

}  // namespace korvex::mixer
