#include "mixer/beat_sync.h"

#include <algorithm>
#include <cmath>

#include "base/file_names.h"
#include "mixer/knob_geometry.h"
#include "mixer/mixer.h"
#include "mixer/mixer_laws.h"

namespace korvex::mixer {
namespace {

// Tempi closer than this share count as matched (the Sync button lights).
constexpr double kMatchedShare = 0.0005;
// Pitch indicator twips per unit of rate (the rate is (Top - centre) / 4500 + 1).
constexpr double kTwipsPerRate = 4500.0;

}  // namespace

BeatSync::BeatSync(Mixer& mixer, deck::DeckTransport& transport, analysis::AnalysisSource& source)
    : mixer_(mixer), transport_(transport), source_(source) {}

void BeatSync::tick() {
    using Priority = analysis::AnalysisSource::Priority;
    for (int deck = 0; deck < 2; ++deck) {
        const std::size_t d = index(deck);
        const DeckPlayer& player = transport_.player(deck);
        const std::string& path = player.hasError() ? std::string() : player.fileName();
        if (path != paths_[d]) {
            paths_[d] = path;
            analyses_[d].reset();
            if (!path.empty()) {
                source_.request(path, Priority::Deck);
                asked_.insert(path);
            }
            ++revision_;
        }
        if (!analyses_[d] && !path.empty()) {
            analyses_[d] = source_.find(path);
            if (analyses_[d]) ++revision_;
        }
        // Songs added to the deck's list are analysed too, after the decks' songs. Songs are added at the
        // end of a list; only the rows added since the last look are read (a list may hold 32767).
        const songlist::SongList& list = transport_.list(deck);
        if (list.revision() != listRevisions_[d]) {
            listRevisions_[d] = list.revision();
            const int from = std::min(listRows_[d], list.count());
            listRows_[d] = list.count();
            for (int i = from; i < list.count(); ++i) {
                std::string song = base::fileNameString(list.field(songlist::kPath, i));
                if (song.empty() || asked_.contains(song)) continue;
                source_.request(song, Priority::List);
                asked_.insert(std::move(song));
            }
        }
        if (messageTicks_[d] > 0 && --messageTicks_[d] == 0) {
            messages_[d].clear();
            ++revision_;
        }
    }
}

double BeatSync::effectiveBpm(int deck) const {
    const auto& a = analyses_[index(deck)];
    if (!a || !a->hasTempo()) return 0.0;
    return a->bpm * static_cast<double>(pitchRate(mixer_.pitchKnob(deck).top()));
}

QString BeatSync::tempoText(int deck) const {
    const double bpm = effectiveBpm(deck);
    return bpm > 0.0 ? QString::number(bpm, 'f', 1) : QString();
}

bool BeatSync::lit(int deck) const {
    const double mine = effectiveBpm(deck), theirs = effectiveBpm(deck == 0 ? 1 : 0);
    return mine > 0.0 && theirs > 0.0 && std::abs(mine / theirs - 1.0) <= kMatchedShare;
}

void BeatSync::say(int deck, const QString& text) {
    messages_[index(deck)] = text;
    messageTicks_[index(deck)] = kSyncMessageTicks;
    ++revision_;
}

SyncResult BeatSync::sync(int deck) {
    if (deck != 0 && deck != 1) return SyncResult::kNoTempo;
    const int other = 1 - deck;
    const auto& mine = analyses_[index(deck)];
    const auto& theirs = analyses_[index(other)];
    if (!mine || !mine->hasTempo() || !theirs || !theirs->hasTempo()) {
        say(deck, QStringLiteral("テンポが分かりません"));
        return SyncResult::kNoTempo;
    }
    // The rate that gives the other deck's tempo, or half or double it: the one the knob reaches that is
    // nearest to normal speed.
    Knob& knob = mixer_.pitchKnob(deck);
    const TwipBox& base = knob.base();
    const double highest = base.top - knob.height() / 2.0;
    const double lowest = base.top + base.height - knob.height() / 2.0;
    const double minRate = (highest - kPitchCentre) / kTwipsPerRate + 1.0;
    const double maxRate = (lowest - kPitchCentre) / kTwipsPerRate + 1.0;
    const double target = effectiveBpm(other);
    double rate = 0.0;
    for (const double factor : {1.0, 0.5, 2.0}) {
        const double r = target * factor / mine->bpm;
        if (r < minRate || r > maxRate) continue;
        if (rate == 0.0 || std::abs(std::log(r)) < std::abs(std::log(rate))) rate = r;
    }
    if (rate == 0.0) {
        say(deck, QStringLiteral("ピッチの範囲を超えています"));
        return SyncResult::kOutOfRange;
    }
    knob.setTop(static_cast<float>(kPitchCentre + (rate - 1.0) * kTwipsPerRate));
    // Sync is one deliberate move: it is applied now, whatever the pitch wait says.
    transport_.settings().pitchwait = 0;
    mixer_.pitchset(deck);

    DeckPlayer& player = transport_.player(deck);
    const DeckPlayer& lead = transport_.player(other);
    if (player.playState() == deck::kPlaying && lead.playState() == deck::kPlaying) {
        // Beats of each song at its own speed; `ratio` is how many of this deck's beats fall in one of the
        // other's (1, or 2 and 0.5 when matched at double or half tempo).
        const double myPeriod = 60.0 / mine->bpm;
        const double theirPeriod = 60.0 / theirs->bpm;
        const double myRate = player.rate();
        const double ratio = (theirPeriod / lead.rate()) / (myPeriod / myRate);
        const double theirBeats = (lead.currentPosition() - theirs->firstBeat) / theirPeriod;
        const double wanted = theirBeats * std::round(ratio * 2.0) / 2.0;
        const double myBeats = (player.currentPosition() - mine->firstBeat) / myPeriod;
        double shift = wanted - myBeats;
        shift -= std::round(shift);
        if (shift != 0.0) player.setCurrentPosition(std::max(0.0, player.currentPosition() + shift * myPeriod));
    }
    messages_[index(deck)].clear();
    messageTicks_[index(deck)] = 0;
    ++revision_;
    transport_.touch();
    return SyncResult::kMatched;
}

}  // namespace korvex::mixer
