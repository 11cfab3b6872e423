#pragma once
// Connects the sampler to the main window: the eight slot labels on the sampler strip (mouse presses and
// drops), the "ｻﾝﾌﾟﾗｰ" menu, the digit keys (through the keyboard's sampler hooks), the mode dialog and
// the sampler dialog; creates the sound device at start-up (`initsound`) and releases it on leaving.

#include <QMenu>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/settings_file.h"
#include "app/ui/main_window.h"
#include "app/ui/player_controller.h"
#include "appearance/panel_layout.h"
#include "sampler/effect_list.h"
#include "sampler/sample_slots.h"
#include "sampler/ui/effect_dialogs.h"
#include "sampler/ui/mode_dialog.h"
#include "sampler/ui/sampler_dialog.h"

namespace korvex::app {

class SamplerController {
public:
    // All references must outlive the controller. `slots` holds the modes and paths the settings file
    // keeps.
    SamplerController(MainWindow& window, PlayerController& player, SlotSettings& slots);
    ~SamplerController();
    SamplerController(const SamplerController&) = delete;
    SamplerController& operator=(const SamplerController&) = delete;

    sampler::SampleSlots& slots() { return *slots_; }
    // The slots' effect chains (`applyslotfx`, `openfxdialog`) and their settings dialogs.
    sampler::SlotEffects& effects() { return *effects_; }
    sampler::EffectDialogHost& effectDialogs() { return effectDialogs_; }
    // Makes the sound device; empty, or returning null, when there is none.
    std::function<std::unique_ptr<SoundDevice>()> makeDevice;

    // Adds the submenu "ｻﾝﾌﾟﾗｰ" (`sa`) to `file`.
    void buildMenu(QMenu* file);
    // `initsound`: with the sampler switched on, creates the sound device once (a device that exists is
    // kept); records `dsready` in `flags`. Without the sampler, or when no device can be made, the
    // sampler menu is disabled and the strip hidden; a failed device also switches the sampler off, after
    // a message.
    void initsound(bool& samplerenabled, appearance::ViewFlags& flags);
    // `releasesound`: stops and releases every buffer and the device.
    void releasesound(appearance::ViewFlags& flags);
    // `unloadothers`: closes every window but the main window.
    void unloadothers();
    // Writes the slot captions into the labels.
    void refresh();

    // The dialogs now open (null when closed).
    sampler::ModeDialog* modeDialog() const { return modeDialog_; }
    sampler::SamplerDialog* samplerDialog() const { return samplerDialog_; }
    QMenu* menu() const { return menu_; }

private:
    void connectLabels();
    void showModeDialog();
    void showSamplerDialog();
    // Shows a slot's effect entries in its `lstUse` list and on its label's tooltip.
    void showEffects(int slot);

    MainWindow& window_;
    PlayerController& player_;
    std::unique_ptr<sampler::SampleSlots> slots_;
    std::unique_ptr<sampler::SlotEffects> effects_;
    sampler::EffectDialogHost effectDialogs_;
    QMenu* menu_ = nullptr;
    QPointer<sampler::ModeDialog> modeDialog_;
    QPointer<sampler::SamplerDialog> samplerDialog_;
    std::uint64_t shownRevision_ = ~std::uint64_t{0};
};

}  // namespace korvex::app
