// Pitch, jog and search: how fast and from where each deck plays.

#include <algorithm>
#include <cmath>

#include "mixer/knob_geometry.h"
#include "mixer/mixer.h"
#include "songlist/song_list.h"

namespace korvex::mixer {
namespace {

// How far one search step moves a playing deck, in seconds.
constexpr double kSearchBack = 0.75;
constexpr double kSearchForward = 0.5;
// The re-seek that follows a rate change: seconds per unit of rate the player did not take.
constexpr double kRateSeek = 2.3;

}  // namespace

void Mixer::pitchset(int deck) {
    if (!isDeck(deck)) return;
    deck::DeckSettings& settings = transport_.settings();
    if (settings.pitchwait > 0) {
        pitchHeld_[index(deck)] = true;
        return;
    }
    pitchHeld_[index(deck)] = false;
    const float top = pitchKnob(deck).top();
    const float rate = pitchRate(top);
    DeckPlayer& player = transport_.player(deck);
    player.setRate(rate);
    // Makes up for a rate the player did not take as set; a player that keeps it needs no seek (and a
    // seek to where it stands would only put a click into the sound).
    const double shift = kRateSeek * (static_cast<double>(rate) - player.rate());
    if (shift != 0.0) player.setCurrentPosition(player.currentPosition() + shift);
    view_.pitchper[index(deck)] = pitchLabel(top);
    songlist::SongList& list = transport_.list(deck);
    list.setField(songlist::kTempo, list.selected(songlist::kTempo),
                  songlist::signedNumberText(tempoForTop(top), 7));
    settings.pitchwait = kPitchWaitTicks;
    touch();
}

void Mixer::pitchsetForTempo(int deck, double tempo) {
    if (!isDeck(deck)) return;
    Knob& knob = pitchKnob(deck);
    // A hand-edited list may hold any tempo; the indicator stays on its travel, so the rate stays in the
    // range the knob itself can reach (a tempo of 0 or below would otherwise stop or reverse the deck).
    const TwipBox& base = knob.base();
    const float highest = base.top - knob.height() / 2;
    const float lowest = base.top + base.height - knob.height() / 2;
    const float top = std::isfinite(tempo) ? topForTempo(tempo) : kPitchCentre;
    knob.setTop(std::clamp(top, highest, lowest));
    pitchset(deck);
}

void Mixer::pitchReset(int deck) {
    if (!isDeck(deck)) return;
    pitchKnob(deck).setTop(kPitchCentre);
    pitchset(deck);
}

void Mixer::setKeylock(int deck, bool on) {
    if (!isDeck(deck)) return;
    keylock_[index(deck)] = on;
    transport_.player(deck).setKeylock(on);
    touch();
}

QString Mixer::keylockPicture(int deck) const {
    return keylocked(deck) ? QStringLiteral("keylock2.bmp") : QStringLiteral("keylock1.bmp");
}

void Mixer::jogPress(int deck) {
    deck::DeckRecord& record = transport_.record(deck);
    record.freshload = false;
    if (!record.headplay) record.jogstart = transport_.player(deck).currentPosition();
    transport_.touch();
}

void Mixer::jogSeek(int deck, float x, float y) {
    const TwipBox& base = jogKnob(deck).base();
    const float dx = x - base.width / 2;
    const float dy = y - base.height / 2;
    const float r = std::sqrt(dx * dx + dy * dy);
    // The exact centre has no angle: nothing to count and nowhere to seek.
    if (r == 0.0f) return;
    const std::size_t d = index(deck);
    const int quadrant = jogQuadrant(dx, dy);
    jogturns_[d] += quarterTurns(jogquadrant_[d], quadrant);
    jogquadrant_[d] = quadrant;

    deck::DeckRecord& record = transport_.record(deck);
    double target =
        record.jogstart + kJogQuarter * jogturns_[d] + jogOffset(quadrant, jogArc(base.width, dx, r));
    target = std::max(target, 0.0);
    record.cuepos = target;
    DeckPlayer& player = transport_.player(deck);
    player.setCurrentPosition(target);
    transport_.timecounter(deck);
    // A deck standing by at its cue point starts its head play from the jogged position.
    if (record.cuestandby && !player.fileName().empty()) {
        player.play();
        record.headplay = true;
        transport_.view(deck).cuePicture = QStringLiteral("cue1.bmp");
        record.cuestandby = false;
    }
    transport_.touch();
    touch();
}

void Mixer::jogRelease(int deck) {
    deck::DeckRecord& record = transport_.record(deck);
    // The next gesture goes on from where this one left the deck, counted from the top of the circle where
    // the indicator now rests. Keeping the quadrant the gesture ended in would make the next grab near the
    // top jump the deck a quarter turn (0.133 s) forward after any gesture that ended left of the top.
    record.jogstart = record.cuepos;
    jogturns_[index(deck)] = 0;
    jogquadrant_[index(deck)] = 0;
    transport_.touch();
}

void Mixer::searchLPress(int deck) {
    if (!isDeck(deck)) return;
    transport_.record(deck).searchback = true;
    view_.searchLPicture[index(deck)] = QStringLiteral("sback2.bmp");
    touch();
}

void Mixer::searchLRelease(int deck) {
    if (!isDeck(deck)) return;
    transport_.record(deck).searchback = false;
    view_.searchLPicture[index(deck)] = QStringLiteral("sback1.bmp");
    touch();
}

void Mixer::searchRPress(int deck) {
    if (!isDeck(deck)) return;
    transport_.record(deck).searchfwd = true;
    view_.searchRPicture[index(deck)] = QStringLiteral("sgo2.bmp");
    touch();
}

void Mixer::searchRRelease(int deck) {
    if (!isDeck(deck)) return;
    transport_.record(deck).searchfwd = false;
    view_.searchRPicture[index(deck)] = QStringLiteral("sgo1.bmp");
    touch();
}

void Mixer::searchegnL(int deck) {
    if (!isDeck(deck)) return;
    DeckPlayer& player = transport_.player(deck);
    if (player.playState() != deck::kPlaying) return;
    player.setCurrentPosition(std::max(player.currentPosition() - kSearchBack, 0.0));
}

void Mixer::searchegnR(int deck) {
    if (!isDeck(deck)) return;
    DeckPlayer& player = transport_.player(deck);
    if (player.playState() != deck::kPlaying) return;
    player.setCurrentPosition(player.currentPosition() + kSearchForward);
}

void Mixer::overviewSeek(int deck, double seconds) {
    if (!isDeck(deck)) return;
    DeckPlayer& player = transport_.player(deck);
    if (player.fileName().empty() || player.duration() <= 0.0) return;
    const double target = std::clamp(seconds, 0.0, player.duration());
    deck::DeckRecord& record = transport_.record(deck);
    // A paused deck (its pause loop may be sounding) plays on from here, as after a jog.
    if (record.deckheld || player.playState() != deck::kPlaying) {
        record.cuepos = target;
        record.jogstart = target;
        record.freshload = false;
    }
    player.setCurrentPosition(target);
    transport_.timecounter(deck);
    transport_.touch();
    touch();
}

}  // namespace korvex::mixer
