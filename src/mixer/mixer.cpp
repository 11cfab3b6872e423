#include "mixer/mixer.h"

#include <cmath>

#include "mixer/knob_geometry.h"
#include "songlist/song_list.h"

namespace korvex::mixer {

Mixer::Mixer(deck::DeckTransport& transport, MasterOutput& master)
    : transport_(transport),
      output_(master),
      pitch_{Knob(geometry::pitch(0)), Knob(geometry::pitch(1))},
      jog_{Knob(geometry::jog(0)), Knob(geometry::jog(1))},
      volume_{Knob(geometry::volume(0)), Knob(geometry::volume(1))},
      pan_{Knob(geometry::pan(0)), Knob(geometry::pan(1))},
      trim_{Knob(geometry::trim(0)), Knob(geometry::trim(1))},
      fader_(geometry::fader()),
      master_{Knob(geometry::master(0)), Knob(geometry::master(1))},
      equalizer_(transport),
      headphones_(transport, master) {
    wireKnobs();
}

void Mixer::wireKnobs() {
    for (int deck = 0; deck < 2; ++deck) {
        pitchKnob(deck).setConsumer([this, deck](float, float) { pitchset(deck); });
        volumeKnob(deck).setConsumer([this](float, float) { volcontrol(); });
        panKnob(deck).setConsumer([this, deck](float, float) { panbalance(deck); });
        trimKnob(deck).setConsumer([this, deck](float, float) {
            volcontrol();
            storeTrim(deck);
        });
        Knob& jog = jogKnob(deck);
        jog.onPress = [this, deck](int) { jogPress(deck); };
        jog.setConsumer([this, deck](float x, float y) { jogSeek(deck, x, y); });
        jog.onRelease = [this, deck](int) { jogRelease(deck); };
        masterKnob(deck).setConsumer([this, deck](float, float) { masvol2(deck); });
    }
    fader_.setConsumer([this](float, float) { volcontrol(); });
}

std::uint64_t Mixer::revision() const {
    std::uint64_t sum = revision_ + fader_.revision();
    for (std::size_t d = 0; d < 2; ++d) {
        sum += pitch_[d].revision() + jog_[d].revision() + volume_[d].revision() + pan_[d].revision() +
               trim_[d].revision() + master_[d].revision();
    }
    return sum + equalizer_.revision() + headphones_.revision();
}

void Mixer::start() {
    placeMasterFromOutput();
    masvol2(0);
    faderpattern_ = 0;
    slidestate_ = kSlideIdle;
    slideflag_ = false;
    volcontrol();
}

void Mixer::volcontrol() {
    std::array<DeckLevelInputs, 2> decks{};
    for (std::size_t d = 0; d < 2; ++d) {
        decks[d] = {volume_[d].top(), trim_[d].lineX2(), trim_[d].lineX1()};
    }
    const DeckLevels levels =
        levelLaw(fader_.left(), decks, faderPoints(settings_.fadertable, faderpattern_));
    trimgain_ = levels.trimgain;
    for (int deck = 0; deck < 2; ++deck) {
        transport_.player(deck).setVolume(levels.volume[index(deck)]);
        transport_.player(deck).setTrim(levels.trim[index(deck)]);
    }
    touch();
}

void Mixer::panbalance(int deck) {
    if (!isDeck(deck)) return;
    DeckPlayer& player = transport_.player(deck);
    player.setBalance(panBalance(panKnob(deck).left(), kPanCentre[index(deck)]));
    if (player.balance() < kBalanceSnapLeft) player.setBalance(-10000);
    if (player.balance() >= kBalanceSnapRight) player.setBalance(10000);
    touch();
}

void Mixer::trimlinedraw(int deck) {
    if (!isDeck(deck)) return;
    // A memory that is not a number leaves the needle where it is.
    const std::optional<double> memory =
        songlist::memoryNumber(transport_.list(deck).currentField(songlist::kVolume));
    if (!memory) return;
    Knob& trim = trimKnob(deck);
    const LineEnd end = trimEndForMemory(*memory, trim.lineX1(), trim.lineY1());
    trim.setLineEnd(end.x, end.y);
}

void Mixer::storeTrim(int deck) {
    if (!isDeck(deck)) return;
    songlist::SongList& list = transport_.list(deck);
    const Knob& trim = trimKnob(deck);
    list.setField(songlist::kVolume, list.selected(songlist::kVolume),
                  songlist::signedNumberText(trimMemoryFor(trim.lineX2(), trim.lineX1()), 7));
    touch();
}

bool Mixer::autoTrim(int deck, double loudnessLufs, int newtrim) {
    if (!isDeck(deck) || !std::isfinite(loudnessLufs)) return false;
    songlist::SongList& list = transport_.list(deck);
    const std::optional<double> memory = songlist::memoryNumber(list.currentField(songlist::kVolume));
    if (!memory || *memory != untouchedTrimMemory(newtrim)) return false;
    Knob& trim = trimKnob(deck);
    const LineEnd end =
        trimEndForMemory(trimMemoryForGain(kAutoTrimTarget - loudnessLufs), trim.lineX1(), trim.lineY1());
    if (trim.lineX2() == end.x && trim.lineY2() == end.y) return false;
    trim.setLineEnd(end.x, end.y);
    volcontrol();
    return true;
}

void Mixer::masvol2(int index) {
    // The monitor knob is the headphone level, with the master knob's law.
    if (index != 1) {
        output_.setPhonesLevel(static_cast<float>(masterChannelLevel(masterKnob(0).top())) / 65535.0f);
        touch();
        return;
    }
    output_.setMasterVolume(masterPacked(masterKnob(1).top()));
    touch();
}

void Mixer::placeMasterFromOutput() {
    masterKnob(1).setTop(masterTopFor(output_.masterVolume()));
}

bool Mixer::tick() {
    deck::DeckSettings& settings = transport_.settings();
    for (int deck = 0; deck < 2; ++deck) {
        if (settings.pitchwait > 0) break;
        if (pitchHeld_[index(deck)]) pitchset(deck);
    }
    return slideStep();
}

}  // namespace korvex::mixer
