// The crossfader's Switch, its slide and its buttons.

#include <cmath>

#include "deck/time_format.h"
#include "mixer/knob_geometry.h"
#include "mixer/mixer.h"

namespace korvex::mixer {

void Mixer::switching() {
    if (slidestate_ != kSlideIdle) {
        // A second Switch stops the slide where it stands. Continuous play, which waits while a slide runs,
        // carries on afterwards (the timer asks for one crossfade per song end, so none restarts by itself).
        slidestate_ = kSlideIdle;
        slideflag_ = false;
        touch();
        return;
    }
    // From deck A's side the crossfader goes to deck B; from the centre or deck B's side to deck A.
    const int target = faderPosition() < 0 ? 1 : 0;
    if (settings_.playonswitch) startDeck(target);
    if (cutin_) {
        fader_.setLeft(target == 1 ? kFaderLeftB : kFaderLeftA);
        volcontrol();
    } else {
        slidestate_ = target == 1 ? kSlideTowardsB : kSlideTowardsA;
        slideflag_ = true;
    }
    touch();
}

void Mixer::startDeck(int deck) {
    DeckPlayer& player = transport_.player(deck);
    deck::DeckRecord& record = transport_.record(deck);
    deck::DeckView& view = transport_.view(deck);
    player.play();
    view.cuePicture = QStringLiteral("cue1.bmp");
    view.playPicture = QStringLiteral("play2.bmp");
    record.cuestandby = false;
    record.deckheld = false;
    record.freshload = false;
    // A paused deck is started too: its pause loop ends, or it would go on stuttering at its pause point
    // while the crossfader brings it in.
    record.headplay = false;
    if (!player.fileName().empty()) view.totaltime = deck::lengthText(player.duration());
    transport_.touch();
}

bool Mixer::slideStep() {
    if (slidestate_ == kSlideIdle) return false;
    const int units = slideUnits(transport_.settings().switchtime[static_cast<std::size_t>(faderpattern_)]);
    const float p = faderPosition();
    if (slidestate_ == kSlideTowardsB) {
        const auto n = static_cast<int>(std::nearbyint(p + static_cast<float>(units)));
        if (n > 499) {
            endSlide(kFaderLeftB);
            return true;
        }
        fader_.setLeft(static_cast<float>(n * 3) + kFaderCentre);
    } else {
        const auto n = static_cast<int>(std::nearbyint(p - static_cast<float>(units)));
        if (n < -499) {
            endSlide(kFaderLeftA);
            return true;
        }
        fader_.setLeft(static_cast<float>(n * 3) + kFaderCentre);
    }
    volcontrol();
    return false;
}

void Mixer::endSlide(float left) {
    slidestate_ = kSlideIdle;
    fader_.setLeft(left);
    slideflag_ = false;
    volcontrol();
}

void Mixer::FDpaturn(int button) {
    if (button < 0 || button > 3) return;
    for (int i = 0; i < 4; ++i) {
        view_.patternPicture[static_cast<std::size_t>(i)] =
            QStringLiteral("fdp%1%2.bmp").arg(i + 1).arg(i == button ? 2 : 1);
    }
    if (button < kPatternCount) {
        faderpattern_ = button;
        cutin_ = false;
        // The levels follow the new pattern at once.
        volcontrol();
    } else {
        cutin_ = true;
    }
    touch();
}

void Mixer::centerPress() {
    view_.centerPicture = QStringLiteral("center2.bmp");
    touch();
}

void Mixer::centerRelease() {
    view_.centerPicture = QStringLiteral("center1.bmp");
    touch();
}

void Mixer::centerClick() {
    fader_.setLeft(kFaderCentre);
    volcontrol();
}

void Mixer::lvolPress() {
    fader_.setLeft(kFaderLeftA);
    volcontrol();
    view_.lvolPicture = QStringLiteral("fdtoa2.bmp");
}

void Mixer::lvolRelease() {
    view_.lvolPicture = QStringLiteral("fdtoa1.bmp");
    touch();
}

void Mixer::volRPress() {
    fader_.setLeft(kFaderLeftB);
    volcontrol();
    view_.volRPicture = QStringLiteral("fdtob2.bmp");
}

void Mixer::volRRelease() {
    view_.volRPicture = QStringLiteral("fdtob1.bmp");
    touch();
}

void Mixer::switchPress() {
    switching();
    view_.switchPicture = QStringLiteral("switch2.bmp");
}

void Mixer::switchRelease() {
    view_.switchPicture = QStringLiteral("switch1.bmp");
    touch();
}

}  // namespace korvex::mixer
