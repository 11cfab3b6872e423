#include "control/mini_mode.h"

#include <cmath>

#include "deck/time_format.h"
#include "mixer/knob_geometry.h"

namespace korvex::control {

MiniMode::MiniMode(deck::DeckTransport& transport, control::ListEditor& editor, mixer::Mixer& mixer,
                   appearance::PanelLayout& layout, const QString& version)
    : transport_(transport),
      editor_(editor),
      mixer_(mixer),
      layout_(layout),
      version_(version),
      topbar_(QStringLiteral("Ver.") + version) {}

int MiniMode::windowWidth() const {
    return miniflag_ ? kMiniBarWidth : layout_.geometry().width;
}

int MiniMode::windowHeight() const {
    return miniflag_ ? kMiniBarHeight : layout_.geometry().height;
}

void MiniMode::tobarClick() {
    // The menus go with the bar's small size; the menu button shows them hidden.
    if (layout_.flags.menuview) layout_.imgmenuClick();
    miniButtonsTop_ = kMiniButtonsShownTop;
    layout_.layoutpanels();
    miniflag_ = true;
    showLiveTitle();
    touch();
}

void MiniMode::formtobig() {
    if (!miniflag_) return;
    miniButtonsTop_ = kMiniButtonsParkedTop;
    layout_.layoutpanels();
    miniflag_ = false;
    topbar_ = QStringLiteral("Ver.") + version_;
    bartime_.clear();
    touch();
}

void MiniMode::minimumClick() {
    minimizedflag_ = true;
    caption_ = QStringLiteral("Korvex Ver.") + version_;
    touch();
}

bool MiniMode::restored() {
    if (!minimizedflag_) return false;
    minimizedflag_ = false;
    caption_.clear();
    layout_.layoutpanels();
    touch();
    return true;
}

void MiniMode::showLiveTitle() {
    topbar_ = transport_.view(transport_.livedeck()).lbfilename;
}

void MiniMode::centreFader() {
    mixer_.faderKnob().setLeft(mixer::kFaderCentre);
    mixer_.volcontrol();
}

void MiniMode::miniplayClick() {
    const int deck = transport_.livedeck();
    transport_.PLAYBTNON(deck);
    transport_.record(deck).freshload = false;
    showLiveTitle();
    transport_.touch();
    touch();
}

void MiniMode::ministopClick() {
    const int deck = transport_.livedeck();
    showLiveTitle();
    transport_.stopdeck(deck);
    transport_.record(deck).freshload = true;
    transport_.touch();
    touch();
}

void MiniMode::mininextClick() {
    const int from = transport_.livedeck();
    // A hand-over the operator asked for: the deck that played moves on even when it is protected.
    editor_.Nextsong(from, false);
    const int deck = 1 - from;
    transport_.setLivedeck(deck);
    startLiveDeck(deck);
}

void MiniMode::miniprevClick() {
    const int from = transport_.livedeck();
    transport_.stopdeck(from);
    const int deck = 1 - from;
    transport_.setLivedeck(deck);
    editor_.Presong(deck);
    startLiveDeck(deck);
}

void MiniMode::startLiveDeck(int deck) {
    transport_.PLAYBTNON(deck);
    centreFader();
    showLiveTitle();
    transport_.record(deck).freshload = false;
    transport_.touch();
    touch();
}

bool MiniMode::minimumdisplay() {
    if (!miniflag_ && !minimizedflag_) return false;
    const int deck = transport_.livedeck();
    const double position = std::floor(transport_.player(deck).currentPosition());
    if (!minimizedflag_) bartime_ = deck::barTimeText(position);
    const QString title = transport_.title(deck);
    if (minimizedflag_) {
        caption_ = deck::taskbarCaption(position, title);
    } else {
        const deck::MarqueeFrame frame =
            deck::marqueeStep(title, transport_.record(deck).rollcount, deck::kTopBarMarquee);
        if (frame.changed) topbar_ = frame.text;
    }
    touch();
    return true;
}

}  // namespace korvex::control
