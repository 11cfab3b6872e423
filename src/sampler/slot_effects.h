#pragma once
// The effect entries of the eight sampler slots (`lstUse`), the one signature of the chain last applied
// (`fxsignature`) and the effect whose settings dialog is asked for (`currentfx`).
//
// Why it is shaped this way: the entries are plain texts ("Echo (Unallocated)", "Echo - Software") that
// the sampler dialog's check boxes add and remove and that the effect chain code rewrites after an apply,
// so both sides share one value here rather than a list widget. The main window's `lstUse` lists only
// show these texts.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "sampler/effect_list.h"

namespace korvex::sampler {

// Number of sampler slots.
inline constexpr int kSamplerSlots = kSlotCount;
// Number of effect check boxes (`Check1`) and settings buttons (`efectcfg`) by index; index 6 has none.
inline constexpr int kEffectBoxCount = 8;

// The effect state the sampler dialog shares with the effect chain code (`lstUse` entries, `fxsignature`,
// `currentfx`, and the chain placed on each slot's buffer).
using SlotEffectLists = EffectLists;

// The effect name of an entry: its text before the first blank, in lower case ("echo").
QString slotEffectName(const QString& entry);
// The check-box index of an effect name (echo 0, chorus 1, flanger 2, distortion 3, compressor 4,
// parameq 5, gargle 7); -1 for a name that is not an effect.
int slotEffectBox(const QString& effectName);
// The caption of check box `index` ("Echo" .. "Gargle"); empty for 6 and out-of-range indexes.
QString slotEffectCaption(int index);
// The entry a newly ticked box adds: its caption and " (Unallocated)".
QString slotEffectEntry(int index);

// What the sampler dialog's effect controls set off beyond the entries above: the effect chain code
// connects these. Each may be left empty; it then does nothing.
struct SamplerEffectHooks {
    // `Check1`(index) of `slot` was ticked or unticked, after the slot's entries were updated (not called
    // while the dialog ticks its boxes on opening, nor for an untick refused while the slot plays).
    std::function<void(int slot, int index, bool ticked)> onEffectToggled;
    // `efectcfg`(index) was clicked: `currentfx` is already `index`; `openfxdialog`(slot) is to run.
    std::function<void(int slot, int index)> onEffectSettings;
    // The dialog's "OK" with entries in the slot's list: `applyslotfx`(slot, not forced) is to run.
    std::function<void(int slot)> applyOnOk;
};

}  // namespace korvex::sampler
