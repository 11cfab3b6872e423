#include "deck/deck_transport.h"

#include "base/file_names.h"
#include "deck/time_format.h"

namespace korvex::deck {

namespace {

const QString kCueStandBy = QStringLiteral("CUE STAND BY!");

}  // namespace

DeckTransport::DeckTransport(DeckPlayer& playerA, DeckPlayer& playerB, songlist::SongList& listA,
                             songlist::SongList& listB, DeckSettings& settings)
    : players_{&playerA, &playerB}, lists_{&listA, &listB}, settings_(settings) {
    for (int deck = 0; deck < 2; ++deck) {
        player(deck).onStateChanged = [this, deck](int, int) { statechanged(deck); };
        player(deck).onEndReached = [this, deck]() { endreached(deck); };
    }
}

DeckTransport::~DeckTransport() {
    for (DeckPlayer* p : players_) {
        p->onStateChanged = nullptr;
        p->onEndReached = nullptr;
    }
}

void DeckTransport::setLivedeck(int deck) {
    if (!isDeck(deck)) return;
    livedeck_ = deck;
    touch();
}

QString DeckTransport::title(int deck) const {
    const songlist::SongList& songs = *lists_[index(deck)];
    const QString file = base::fileNameFromBytes(players_[index(deck)]->fileName());
    if (file.isEmpty() || songs.currentField(songlist::kPath) == file) return songs.currentField(songlist::kTitle);
    // A row picked for later must not rename the song that plays.
    LoadedTitle& loaded = loadedTitles_[index(deck)];
    if (loaded.path != file) {
        loaded.path = file;
        loaded.title = base::readableTitleOf(file);
        for (int row = 0; row < songs.count(); ++row) {
            if (songs.field(songlist::kPath, row) == file) {
                loaded.title = songs.field(songlist::kTitle, row);
                break;
            }
        }
    }
    return loaded.title;
}

double DeckTransport::cueTarget(int deck) const {
    return cutToMilliseconds(songlist::memoryValue(lists_[index(deck)]->currentField(songlist::kCue)));
}

QString DeckTransport::restingCuePicture(int deck) const {
    return lists_[index(deck)]->currentField(songlist::kCue) == QStringLiteral("-1")
               ? QStringLiteral("cue1.bmp")
               : QStringLiteral("cue2.bmp");
}

void DeckTransport::pauseIfPlaying(int deck) {
    if (player(deck).playState() != kPlaying) return;
    player(deck).pause();
    view(deck).playPicture = QStringLiteral("play1.bmp");
}

void DeckTransport::started(int deck) {
    if (settings_.autorec && settings_.recarmed) hooks_->recordstart();
    livedeck_ = deck;
}

bool DeckTransport::keepsLiveDeck(int deck) {
    if (!isDeck(deck) || !settings_.protectLiveDeck || player(deck).playState() != kPlaying) return false;
    hooks_->flashTitle(deck);
    return true;
}

void DeckTransport::loadsong(int deck) {
    if (!isDeck(deck)) return;
    touch();
    songlist::SongList& songs = list(deck);
    // Loading "nothing" would silence a playing deck for no reason.
    if (songs.current() < 0) return;
    DeckPlayer& p = player(deck);
    DeckRecord& r = record(deck);
    DeckView& v = view(deck);

    p.setFileName(base::fileNameString(songs.currentField(songlist::kPath)));
    // A column without a selection reads empty and a hand-edited one may not be a number: neither is a
    // tempo of 0 %, so both play at normal speed.
    const QString tempo = songs.currentField(songlist::kTempo);
    hooks_->pitchset(deck, songlist::memoryNumber(tempo).value_or(100.0));
    hooks_->trimlinedraw(deck);
    hooks_->volcontrol();
    r.freshload = true;
    v.lbfilename.clear();
    p.setSelectionStart(songlist::memoryValue(songs.currentField(songlist::kStart)));
    v.text2 = songs.currentField(songlist::kTitle);
    v.totaltime = loadedLength(deck);
    v.playPicture = QStringLiteral("play1.bmp");
    v.cuePicture = restingCuePicture(deck);
    endHold(deck);
}

QString DeckTransport::loadedLength(int deck) const {
    if (!isDeck(deck)) return QString();
    const DeckPlayer& p = *players_[index(deck)];
    if (p.fileName().empty() || p.hasError()) return QString();
    return lengthText(p.duration());
}

void DeckTransport::endHold(int deck) {
    if (!isDeck(deck)) return;
    touch();
    DeckRecord& r = record(deck);
    // The new song starts out loaded: the previous song's pause loop or standby would otherwise go on
    // seeking the new file to a point of the old one.
    if (r.deckheld || r.headplay || r.cuestandby) {
        view(deck).playPicture = QStringLiteral("play1.bmp");
        view(deck).cuePicture = restingCuePicture(deck);
    }
    r.cuestandby = false;
    r.deckheld = false;
    r.headplay = false;
}

void DeckTransport::PLAYBTNON(int deck) {
    if (!isDeck(deck)) return;
    touch();
    DeckPlayer& p = player(deck);
    DeckRecord& r = record(deck);

    if (r.cuestandby) {
        p.play();
        r.cuestandby = false;
        r.deckheld = false;
        // Starting from the cue point is a start like any other.
        if (hasFile(deck)) started(deck);
        return;
    }
    if (r.deckheld) {
        // Leaving the pause loop: stop, then play on from where the loop left the deck.
        p.stop();
        r.headplay = false;
        r.deckheld = false;
        view(deck).cuePicture = QStringLiteral("cue2.bmp");
    }
    if (p.playState() == kPlaying) {
        // Pause: the player keeps running and the main timer's pause loop keeps returning it here.
        r.cuepos = p.currentPosition();
        r.jogstart = r.cuepos;
        r.headplay = true;
        timecounter(deck);
        r.deckheld = true;
        livedeck_ = deck;
    } else if (hasFile(deck)) {
        hooks_->volcontrol();
        p.play();
        started(deck);
    }
}

void DeckTransport::cuedown(int deck) {
    if (!isDeck(deck)) return;
    touch();
    DeckPlayer& p = player(deck);
    DeckRecord& r = record(deck);

    if (r.cuestandby) {
        // Preview from the cue point while the button is held.
        p.play();
        return;
    }
    if (r.deckheld) {
        pauseIfPlaying(deck);
        hooks_->storememory(deck, r.cuepos);
        r.headplay = false;
    }
    if (!hasFile(deck)) return;
    hooks_->volcontrol();
    pauseIfPlaying(deck);
    p.setCurrentPosition(cueTarget(deck));
    r.jogstart = p.currentPosition();
    // The deck stands by at its cue memory, the point a release of CUE returns to; the pause loop target and
    // the fine-tuning keys start from there too.
    r.cuepos = r.jogstart;
    r.deckheld = true;
    r.cuestandby = true;
    view(deck).lbfilename = kCueStandBy;
}

void DeckTransport::cueup(int deck) {
    if (!isDeck(deck)) return;
    touch();
    if (!record(deck).cuestandby || !hasFile(deck)) return;
    pauseIfPlaying(deck);
    player(deck).setCurrentPosition(cueTarget(deck));
    timecounter(deck);
    hooks_->volcontrol();
    view(deck).lbfilename = kCueStandBy;
}

void DeckTransport::stopdeck(int deck) {
    if (!isDeck(deck)) return;
    touch();
    DeckRecord& r = record(deck);
    DeckView& v = view(deck);
    const bool wasLooping = r.headplay;
    const bool wasStandingBy = r.cuestandby;

    r.deckheld = false;
    r.headplay = false;
    r.cuestandby = false;
    r.freshload = true;
    player(deck).stop();
    player(deck).setCurrentPosition(0.0);
    v.text2 = title(deck);
    v.totaltime.clear();
    v.playPicture = QStringLiteral("play1.bmp");
    // End the pause loop's blinking on the look of a deck at rest.
    if (wasLooping) v.cuePicture = restingCuePicture(deck);
    // A deck that never played sends no state change, so the standby label is taken down here.
    if (wasStandingBy) v.lbfilename.clear();
}

void DeckTransport::timecounter(int deck) {
    if (!isDeck(deck)) return;
    const DeckPlayer& p = player(deck);
    view(deck).text2 = deckTimeText(p.currentPosition(), p.duration(), settings_.countdown);
}

void DeckTransport::fontroll(int deck) {
    if (!isDeck(deck)) return;
    const MarqueeFrame frame = marqueeStep(title(deck), record(deck).rollcount, kDeckDisplayMarquee);
    if (frame.changed) view(deck).text2 = frame.text;
}

void DeckTransport::playPress(int deck) {
    if (!isDeck(deck)) return;
    PLAYBTNON(deck);
    DeckView& v = view(deck);
    record(deck).freshload = false;
    v.playPicture = QStringLiteral("play2.bmp");
    v.playOffset = kPressOffset;
    if (hasFile(deck)) v.totaltime = lengthText(player(deck).duration());
}

void DeckTransport::playRelease(int deck) {
    if (!isDeck(deck)) return;
    touch();
    view(deck).playOffset = 0;
}

void DeckTransport::cuePress(int deck) {
    if (!isDeck(deck)) return;
    cuedown(deck);
    DeckView& v = view(deck);
    v.cuePicture = QStringLiteral("cue2.bmp");
    v.cueOffset = kPressOffset;
    record(deck).freshload = false;
}

void DeckTransport::cueRelease(int deck) {
    if (!isDeck(deck)) return;
    cueup(deck);
    DeckView& v = view(deck);
    if (hasFile(deck)) v.totaltime = lengthText(player(deck).duration());
    v.cueOffset = 0;
}

void DeckTransport::stopPress(int deck) {
    if (!isDeck(deck)) return;
    touch();
    view(deck).stopPicture = QStringLiteral("stop2.bmp");
}

void DeckTransport::stopRelease(int deck) {
    if (!isDeck(deck)) return;
    touch();
    view(deck).stopPicture = QStringLiteral("stop1.bmp");
}

void DeckTransport::statechanged(int deck) {
    if (!isDeck(deck)) return;
    touch();
    DeckView& v = view(deck);
    if (player(deck).playState() == kPlaying) {
        v.lbfilename = title(deck);
    } else if (record(deck).cuestandby) {
        // The player reports the pause after CUE has already put the standby label up; keep it.
        v.lbfilename = kCueStandBy;
    } else {
        v.lbfilename.clear();
    }
}

void DeckTransport::endreached(int deck) {
    if (!isDeck(deck)) return;
    touch();
    hooks_->nonstop(deck);
}

}  // namespace korvex::deck
