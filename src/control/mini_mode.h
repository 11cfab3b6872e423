#pragma once
// The window chrome: the mini bar, the minimised caption and the title-bar texts.
//
// Why it is shaped this way: the mini bar is a few flags and texts (`miniflag`, `minimizedflag`, the
// `topbar` and `bartime` captions, the window caption, where the four mini buttons sit) plus the window's
// size, so it is a model the window only draws. Its buttons run the decks' own operations on `livedeck`
// (the transport's Play/Pause logic and Stop, the list editor's next and previous song, the mixer's
// crossfader), and `minimumdisplay` is the main timer's step for it: it runs while the mini bar is up or the
// window is minimised and then ends the tick.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <cstdint>

#include "appearance/panel_layout.h"
#include "deck/deck_transport.h"
#include "mixer/mixer.h"
#include "control/list_editor.h"

namespace korvex::control {

// The mini bar's size in twips.
inline constexpr int kMiniBarWidth = 4000;
inline constexpr int kMiniBarHeight = 310;
// Where the mini buttons sit: in the bar, and out of sight.
inline constexpr int kMiniButtonsShownTop = 40;
inline constexpr int kMiniButtonsParkedTop = 1000;

class MiniMode {
public:
    // `version`: the program's version number ("0.1.0"). All references must outlive the model.
    MiniMode(deck::DeckTransport& transport, control::ListEditor& editor, mixer::Mixer& mixer,
             appearance::PanelLayout& layout, const QString& version);

    // --- state --------------------------------------------------------------------------------------------
    // `miniflag`: the mini bar is up.
    bool miniflag() const { return miniflag_; }
    // `minimizedflag`: the window was minimised with its button and is not restored yet.
    bool minimizedflag() const { return minimizedflag_; }
    // The title bar's texts and the window's caption.
    const QString& topbar() const { return topbar_; }
    const QString& bartime() const { return bartime_; }
    const QString& caption() const { return caption_; }
    // Top of the four mini buttons, in twips.
    int miniButtonsTop() const { return miniButtonsTop_; }
    // The window's size in twips: the mini bar's, or what the panel layout gives.
    int windowWidth() const;
    int windowHeight() const;
    // Grows whenever anything here changed.
    std::uint64_t revision() const { return revision_; }

    // --- events -------------------------------------------------------------------------------------------
    // `Tobar` click: into the mini bar.
    void tobarClick();
    // `formtobig`, a double-click on the title bar: out of the mini bar (nothing outside it).
    void formtobig();
    // `Minimum` click: the window is to be minimised (the caller does that).
    void minimumClick();
    // The window came back from being minimised; false when it had not been minimised with the button.
    bool restored();
    void miniplayClick();
    void ministopClick();
    void mininextClick();
    void miniprevClick();
    // `minimumdisplay`, the main timer's step: while the mini bar is up or the window is minimised, the bar
    // time, the caption and the top-bar marquee; returns whether it ran (the tick then ends).
    bool minimumdisplay();

private:
    // `topbar` := the playing-title label of `livedeck`.
    void showLiveTitle();
    // Crossfader to the centre and the levels recomputed.
    void centreFader();
    // The tail of the next/previous buttons: `deck` plays, the crossfader centres, the bar shows its title.
    void startLiveDeck(int deck);
    void touch() { ++revision_; }

    deck::DeckTransport& transport_;
    control::ListEditor& editor_;
    mixer::Mixer& mixer_;
    appearance::PanelLayout& layout_;
    QString version_;
    bool miniflag_ = false;
    bool minimizedflag_ = false;
    QString topbar_;
    QString bartime_;
    QString caption_;
    int miniButtonsTop_ = kMiniButtonsParkedTop;
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::control
