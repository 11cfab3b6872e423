#pragma once
// Each deck's tempo as the operator hears it, and Sync: one deck's tempo and beats matched to the other's.
//
// Why it is shaped this way: the tempo of a song comes from the analysis worker some time after the song
// was loaded, so the deck asks for it when its song changes and looks on every timer tick until it is
// there; until then the deck shows no figure. What the deck shows is the song's tempo times the rate the
// pitch knob's indicator stands at, so the figure follows the knob while it is dragged (the pitch wait
// only holds back the engine). Sync moves the pitch indicator and calls `pitchset` as a knob move would,
// so the rate, the percentage and the tempo memory follow, then puts the deck's beats on the other's
// with a seek of less than half a beat (de-clicked like every seek).
//
// All of it runs on the user-interface thread.

#include <QString>
#include <array>
#include <memory>
#include <set>
#include <string>

#include "deck/deck_transport.h"
#include "platform/analysis/analysis_worker.h"

namespace korvex::mixer {

class Mixer;

// How a Sync press ended.
enum class SyncResult {
    kMatched,        // tempo matched; phase too when both decks play
    kNoTempo,        // one of the songs has no known tempo (yet)
    kOutOfRange,     // the pitch knob cannot reach the other deck's tempo, nor half or double it
};

// Ticks a Sync message stays in the deck's file label (3 s).
inline constexpr int kSyncMessageTicks = 100;

class BeatSync {
public:
    // The mixer, transport and source must outlive this.
    BeatSync(Mixer& mixer, deck::DeckTransport& transport, analysis::AnalysisSource& source);

    // One timer tick: asks for the analyses of songs newly in a deck or a list, and takes the ones that
    // have come in.
    void tick();

    // Sync on `deck` (key Y on the keyboard's deck, or its Sync button): its effective tempo becomes the
    // other deck's (or half or double it, whichever the pitch knob reaches, nearest to normal speed), then,
    // when both play, its beats land on the other's.
    SyncResult sync(int deck);

    // The deck's song analysis, or null while it is not known.
    const std::shared_ptr<const analysis::TrackAnalysis>& analysis(int deck) const { return analyses_[index(deck)]; }
    // The deck's tempo at its pitch knob's rate; 0 while not known.
    double effectiveBpm(int deck) const;
    // The deck display's tempo figure, one decimal ("128.0"); empty while not known.
    QString tempoText(int deck) const;
    // The Sync button is lit while the deck's tempo matches the other deck's.
    bool lit(int deck) const;
    // What a Sync press has to say, shown for a while in the deck's file label; empty otherwise.
    const QString& message(int deck) const { return messages_[index(deck)]; }

    // Grows whenever something shown here may have changed.
    std::uint64_t revision() const { return revision_; }

private:
    static std::size_t index(int deck) { return deck == 0 ? 0 : 1; }
    void say(int deck, const QString& text);

    Mixer& mixer_;
    deck::DeckTransport& transport_;
    analysis::AnalysisSource& source_;
    std::array<std::string, 2> paths_;
    std::array<std::shared_ptr<const analysis::TrackAnalysis>, 2> analyses_;
    std::array<std::uint64_t, 2> listRevisions_{~std::uint64_t{0}, ~std::uint64_t{0}};
    // Rows of each list already asked for.
    std::array<int, 2> listRows_{0, 0};
    std::set<std::string> asked_;
    std::array<QString, 2> messages_;
    std::array<int, 2> messageTicks_{0, 0};
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::mixer
