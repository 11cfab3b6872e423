#include "deck/continuous_play.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "deck/time_format.h"

namespace korvex::deck {
namespace {

ContinuousPlay::RandomSource defaultRandom() {
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine]() { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
}

}  // namespace

ContinuousPlay::ContinuousPlay(DeckTransport& transport, RandomSource random)
    : transport_(transport), random_(random ? std::move(random) : defaultRandom()) {}

void ContinuousPlay::nonstop(int ended) {
    if (ended != 0 && ended != 1) return;
    if (!transport_.settings().autoplay2) return;
    const int other = 1 - ended;
    if (transport_.list(other).current() < 0) return;
    transport_.touch();

    DeckPlayer& endedPlayer = transport_.player(ended);
    DeckPlayer& otherPlayer = transport_.player(other);
    endedPlayer.stop();
    transport_.view(other).totaltime = lengthText(otherPlayer.duration());

    songlist::SongList& list = transport_.list(ended);
    if (transport_.settings().random && list.count() > 0) {
        // A row in 0 .. n-1; the step below then loads the row after it.
        const double dice = random_();
        const int row = static_cast<int>(std::floor(list.count() * (std::isfinite(dice) ? dice : 0.0)));
        list.select(std::clamp(row, 0, list.count() - 1));
    }

    transport_.record(other).freshload = false;
    transport_.record(ended).freshload = true;
    DeckView& otherView = transport_.view(other);
    // The other deck shows the playing look only when it plays (an end memory hands over without starting
    // it).
    if (otherPlayer.playState() == kPlaying) otherView.playPicture = QStringLiteral("play2.bmp");
    transport_.view(ended).playPicture = QStringLiteral("play1.bmp");
    otherView.cuePicture = transport_.list(other).currentField(songlist::kCue) == QStringLiteral("-1")
                               ? QStringLiteral("cue1.bmp")
                               : QStringLiteral("cue2.bmp");

    if (nextsong_) {
        nextsong_(ended);
    } else {
        Nextsong(ended);
    }
    transport_.setLivedeck(other);
    if (onHandedOver) onHandedOver(other);
}

void ContinuousPlay::Nextsong(int deck) {
    if (deck != 0 && deck != 1) return;
    songlist::SongList& list = transport_.list(deck);
    if (list.count() == 0) return;
    const int current = list.current();
    list.select(current == list.count() - 1 ? 0 : current + 1);
    transport_.loadsong(deck);
    DeckPlayer& player = transport_.player(deck);
    // A song the player cannot open ends the step with the selection moved.
    if (player.fileName().empty() || player.hasError()) return;
    player.play();
    player.pause();
}

}  // namespace korvex::deck
