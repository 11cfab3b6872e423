#include "control/keyboard.h"

#include <cmath>

#include "deck/time_format.h"
#include "mixer/knob_geometry.h"

namespace korvex::control {
namespace {

// `value` held at `limit` once a step in the direction of `step` has carried it past.
float limited(float value, float step, float limit) {
    if (step > 0 ? value > limit : value < limit) return limit;
    return value;
}

}  // namespace

Keyboard::Keyboard(deck::DeckTransport& transport, mixer::Mixer& mixer, ListEditor& editor,
                   songlist::SongMemories& memories)
    : transport_(transport), mixer_(mixer), editor_(editor), memories_(memories) {}

// --- from the window
// ----------------------------------------------------------------------------------------

void Keyboard::keyDown(int virtualKey, std::uint32_t physicalKey) {
    repeated_ = held_.isDown(virtualKey);
    held_.press(virtualKey, physicalKey);
    heldKeyActions();
    eventKeyActions(virtualKey);
    ++revision_;
    transport_.touch();
}

void Keyboard::keyUp(int virtualKey, bool autoRepeat, std::uint32_t physicalKey) {
    if (autoRepeat) return;
    releaseActions(held_.release(virtualKey, false, physicalKey));
    ++revision_;
    transport_.touch();
}

void Keyboard::focusLost() {
    for (const int code : held_.downKeys()) releaseActions(code);
    held_.clear();
    ++revision_;
    transport_.touch();
}

// --- state
// --------------------------------------------------------------------------------------------------

void Keyboard::focuschangeA() {
    focusdeck_ = 0;
    keyfocus_ = {true, false};
    ++revision_;
}

void Keyboard::focuschangeB() {
    focusdeck_ = 1;
    keyfocus_ = {false, true};
    ++revision_;
}

bool Keyboard::slotKeyHeld(int slot) const {
    return slot >= 0 && slot < kSlotKeyCount && slotHeld_[static_cast<std::size_t>(slot)];
}

int Keyboard::slotOf(int virtualKey) {
    if (virtualKey >= vk::kDigit1 && virtualKey < vk::kDigit1 + kSlotKeyCount)
        return virtualKey - vk::kDigit1;
    if (virtualKey >= vk::kKeypad1 && virtualKey < vk::kKeypad1 + kSlotKeyCount)
        return virtualKey - vk::kKeypad1;
    return -1;
}

// --- key-down
// -----------------------------------------------------------------------------------------------

void Keyboard::heldKeyActions() {
    // Every held key in this order, whichever key went down; each reads the focus deck when it runs, so
    // the arrows change the deck of the keys after them.
    if (held_.isDown(vk::kBackspace)) playPause();
    if (held_.isDown(vk::kSpace)) mixer_.switching();
    if (held_.isDown(vk::kEnter)) cueDown();
    if (held_.isDown(vk::kDelete)) transport_.stopdeck(focusdeck_);
    if (held_.isDown(vk::kLeft)) focuschangeA();
    if (held_.isDown(vk::kRight)) focuschangeB();
    if (held_.isDown(vk::kUp)) {
        if (transport_.record(focusdeck_).deckheld)
            moveCue(keystep::kCueFine);
        else
            editor_.Presong(focusdeck_);
    }
    if (held_.isDown(vk::kDown)) {
        if (transport_.record(focusdeck_).deckheld)
            moveCue(-keystep::kCueFine);
        else
            editor_.Nextsong(focusdeck_);
    }
    if (held_.isDown(vk::kPageUp)) {
        if (transport_.record(focusdeck_).deckheld) {
            moveCue(keystep::kCueCoarse);
        } else {
            // Searches forward until the key comes up.
            transport_.record(focusdeck_).searchfwd = true;
            searchFwdByKey_[deckIndex(focusdeck_)] = true;
        }
    }
    if (held_.isDown(vk::kPageDown)) {
        if (transport_.record(focusdeck_).deckheld) {
            moveCue(-keystep::kCueCoarse);
        } else {
            transport_.record(focusdeck_).searchback = true;
            searchBackByKey_[deckIndex(focusdeck_)] = true;
        }
    }
    if (held_.isDown(vk::kEnd)) memories_.cycleMode(focusdeck_);
}

void Keyboard::playPause() {
    const int d = focusdeck_;
    transport_.PLAYBTNON(d);
    transport_.record(d).freshload = false;
    DeckPlayer& player = transport_.player(d);
    if (!player.fileName().empty()) transport_.view(d).totaltime = deck::lengthText(player.duration());
}

void Keyboard::cueDown() {
    const int d = focusdeck_;
    transport_.cuedown(d);
    transport_.view(d).cuePicture = QStringLiteral("cue2.bmp");
    transport_.record(d).freshload = false;
    cueByKey_[deckIndex(d)] = true;
}

void Keyboard::moveCue(double seconds) {
    const int d = focusdeck_;
    deck::DeckRecord& record = transport_.record(d);
    DeckPlayer& player = transport_.player(d);
    double target = record.cuepos + seconds;
    if (target < 0.0) target = 0.0;
    // The player cannot go past the end of the song; a cue position beyond it would make the keys seem
    // dead on the way back and could be stored as a memory no song has.
    const double length = player.duration();
    if (length > 0.0 && target > length) target = length;
    record.cuepos = target;
    player.setCurrentPosition(target);
    transport_.timecounter(d);
}

void Keyboard::eventKeyActions(int virtualKey) {
    const int slot = slotOf(virtualKey);
    if (slot >= 0 && !slotHeld_[static_cast<std::size_t>(slot)]) {
        hooks_->cmdPlay_Click(slot);
        slotHeld_[static_cast<std::size_t>(slot)] = true;
    }
    switch (virtualKey) {
        case vk::letter('F'):
            mixer_.FDpaturn(0);
            break;
        case vk::letter('G'):
            mixer_.FDpaturn(1);
            break;
        case vk::letter('H'):
            mixer_.FDpaturn(2);
            break;
        case vk::letter('J'):
            mixer_.FDpaturn(3);
            break;
        // Sync: the keyboard deck's tempo and beats to the other deck's.
        case vk::letter('Y'):
            if (beatSync_ != nullptr) beatSync_->sync(focusdeck_);
            break;
        // Beat loops on the keyboard's deck: 1, 2, 4 and 8 beats, once per press; the running loop's key
        // again leaves it.
        case vk::letter('U'):
        case vk::letter('I'):
        case vk::letter('O'):
        case vk::letter('D'): {
            if (beatLoop_ == nullptr || repeated_) break;
            const int beats = virtualKey == vk::letter('U')   ? 1
                              : virtualKey == vk::letter('I') ? 2
                              : virtualKey == vk::letter('O') ? 4
                                                              : 8;
            beatLoop_->press(focusdeck_, beats);
            break;
        }
        // The keyboard deck's equaliser kills: low, mid, high.
        // Each switches once per press however long the key is held, as the panel's switch does.
        case vk::letter('E'):
            if (!repeated_) mixer_.equalizer().toggleKill(focusdeck_, mixer::kEqLow);
            break;
        case vk::letter('R'):
            if (!repeated_) mixer_.equalizer().toggleKill(focusdeck_, mixer::kEqMid);
            break;
        case vk::letter('T'):
            if (!repeated_) mixer_.equalizer().toggleKill(focusdeck_, mixer::kEqHigh);
            break;
        case vk::letter('L'):
            if (onLibraryKey) onLibraryKey();
            break;
        // The keyboard deck's keylock, once per press however long the key is held.
        case vk::letter('K'):
            if (!repeated_) mixer_.toggleKeylock(focusdeck_);
            break;
        // The keyboard deck's pre-listen.
        case vk::letter('P'):
            if (!repeated_) mixer_.headphones().togglePrelisten(focusdeck_);
            break;
        case vk::letter('Q'):
            stepVolume(keystep::kVolume, mixer::kVolumeBottom);
            break;
        case vk::letter('W'):
            stepVolume(-keystep::kVolume, mixer::kVolumeTop);
            break;
        case vk::letter('A'):
            stepPitch(-keystep::kPitch, keystep::kPitchHighest);
            break;
        case vk::letter('S'):
            stepPitch(keystep::kPitch, keystep::kPitchLowest);
            break;
        case vk::letter('Z'):
            stepPan(-keystep::kPan);
            break;
        case vk::letter('X'):
            stepPan(keystep::kPan);
            break;
        case vk::letter('C'):
            mixer_.faderKnob().setLeft(mixer::kFaderLeftA);
            mixer_.volcontrol();
            break;
        case vk::letter('M'):
            mixer_.faderKnob().setLeft(mixer::kFaderLeftB);
            mixer_.volcontrol();
            break;
        case vk::letter('B'):
            mixer_.centerClick();
            break;
        case vk::letter('N'): {
            mixer::Knob& fader = mixer_.faderKnob();
            // The step lands on a whole twip.
            const auto left = static_cast<float>(std::lrint(fader.left() + keystep::kFader));
            fader.setLeft(limited(left, keystep::kFader, mixer::kFaderLeftB));
            mixer_.volcontrol();
            break;
        }
        case vk::letter('V'): {
            mixer::Knob& fader = mixer_.faderKnob();
            fader.setLeft(limited(fader.left() - keystep::kFader, -keystep::kFader, mixer::kFaderLeftA));
            mixer_.volcontrol();
            break;
        }
        case vk::kSlash:
            stepMaster(1, keystep::kMaster, mixer::kMasterBottom);
            break;
        case vk::kBackslash:
            stepMaster(1, -keystep::kMaster, mixer::kMasterTop);
            break;
        case vk::kColon:
            stepMaster(0, keystep::kMaster, mixer::kMasterBottom);
            break;
        case vk::kBracketRight:
            stepMaster(0, -keystep::kMaster, mixer::kMasterTop);
            break;
        default:
            break;
    }
}

void Keyboard::stepVolume(float step, float limit) {
    mixer::Knob& knob = mixer_.volumeKnob(focusdeck_);
    knob.setTop(limited(knob.top() + step, step, limit));
    mixer_.volcontrol();
}

void Keyboard::stepPitch(float step, float limit) {
    mixer::Knob& knob = mixer_.pitchKnob(focusdeck_);
    knob.setTop(limited(knob.top() + step, step, limit));
    mixer_.pitchset(focusdeck_);
}

void Keyboard::stepPan(float step) {
    // The pan keys stop where a drag stops: at the ends of the pan base, where the balance is about
    // -7 dB .. +6 dB, with the indicator still on its base.
    mixer::Knob& knob = mixer_.panKnob(focusdeck_);
    const mixer::TwipBox& base = knob.base();
    const float leftEnd = base.left - knob.width() / 2;
    const float rightEnd = base.left + base.width - knob.width() / 2;
    knob.setLeft(limited(knob.left() + step, step, step > 0 ? rightEnd : leftEnd));
    mixer_.panbalance(focusdeck_);
}

void Keyboard::stepMaster(int index, float step, float limit) {
    mixer::Knob& knob = mixer_.masterKnob(index);
    knob.setTop(limited(knob.top() + step, step, limit));
    mixer_.masvol2(index);
}

// --- key-up
// -------------------------------------------------------------------------------------------------

void Keyboard::releaseActions(int virtualKey) {
    const deck::DeckRecord& focus = transport_.record(focusdeck_);
    switch (virtualKey) {
        case vk::kEnter: {
            // The CUE release goes to the decks the key pressed (the focus deck when it pressed none).
            bool released = false;
            for (int d = 0; d < 2; ++d) {
                if (!cueByKey_[deckIndex(d)]) continue;
                transport_.cueup(d);
                released = true;
            }
            if (!released) transport_.cueup(focusdeck_);
            cueByKey_ = {};
            break;
        }
        case vk::kPageUp:
            if (!focus.deckheld) transport_.record(focusdeck_).searchfwd = false;
            // A search the key started ends too when its deck was paused or lost the keyboard meanwhile.
            for (int d = 0; d < 2; ++d) {
                if (searchFwdByKey_[deckIndex(d)]) transport_.record(d).searchfwd = false;
            }
            searchFwdByKey_ = {};
            break;
        case vk::kPageDown:
            if (!focus.deckheld) transport_.record(focusdeck_).searchback = false;
            for (int d = 0; d < 2; ++d) {
                if (searchBackByKey_[deckIndex(d)]) transport_.record(d).searchback = false;
            }
            searchBackByKey_ = {};
            break;
        default: {
            const int slot = slotOf(virtualKey);
            if (slot < 0) break;
            if (hooks_->slotsilencer(slot) == 1) {
                transport_.player(0).setMute(false);
                transport_.player(1).setMute(false);
            }
            slotHeld_[static_cast<std::size_t>(slot)] = false;
            break;
        }
    }
}

}  // namespace korvex::control
