#pragma once
// The effect chains of the sampler's slots: each slot's list of effect entries (what the main window's
// `lstUse` lists show), applying a list to the slot's sound buffer as one chain (`applyslotfx`), and
// choosing the settings dialog a "設定" button opens (`openfxdialog`).
//
// Why it is shaped this way: the entries are the record of a chain. A new entry is the check box's caption
// followed by " (Unallocated)"; an apply rewrites every entry to its effect name and the component's result
// for it ("Echo - Software"). `fxsignature` sums, per entry, its place in the list and the effect's weight;
// it is one value for the whole program, so on its own it cannot tell whether a slot's buffer already
// holds that slot's chain (two slots with the same single effect share a signature, and so do echo then
// chorus and chorus then echo). The model therefore remembers, per slot, the chain it last placed on the
// slot's buffer and asks the buffer whether those effects are still there; a chain is applied again only
// when the slot's buffer does not hold it. `fxsignature` is still kept as the signature of the chain last
// applied, for the parts of the sampler that reset it.
//
// The state is plain data (`EffectLists`) so that the sampler dialog's check boxes can work on the same
// lists; the operations and their messages are `SlotEffects`.

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/dsp/effect_params.h"
#include "platform/sound_device.h"
#include "base/message_boxes.h"

namespace korvex::sampler {

inline constexpr int kSlotCount = 8;

// One of the seven standard effects: its name in the entries (lower case), its check box index and
// caption in the sampler dialog, its weight in `fxsignature`, and its settings dialog's title.
struct EffectInfo {
    std::string_view name;
    int index;
    std::string_view caption;
    int weight;
    dsp::EffectKind kind;
    std::string_view dialogTitle;
};

// clang-format off
inline constexpr std::array<EffectInfo, 7> kEffects{{
    {"echo", 0, "Echo", 32, dsp::EffectKind::Echo, "エコー設定"},
    {"chorus", 1, "Chorus", 64, dsp::EffectKind::Chorus, "コーラス設定"},
    {"flanger", 2, "Flanger", 128, dsp::EffectKind::Flanger, "フランジ設定"},
    {"distortion", 3, "Distortion", 16, dsp::EffectKind::Distortion, "ディストーション設定"},
    {"compressor", 4, "Compressor", 256, dsp::EffectKind::Compressor, "Compressor 設定"},
    {"parameq", 5, "ParamEQ", 1024, dsp::EffectKind::ParamEq, "パラメータイコライザ設定"},
    {"gargle", 7, "Gargle", 512, dsp::EffectKind::Gargle, "Ｇａｇｌｅ設定"},
}};
// clang-format on

// The effect with this check box index (0..5, 7), or nullptr.
const EffectInfo* effectByIndex(int index);
// The effect of this kind (always found).
const EffectInfo& effectOfKind(dsp::EffectKind kind);
// An entry's effect name: its text before the first blank (all of it when there is none).
QString effectNameOf(const QString& entry);
// The effect an entry names (compared in lower case), or nullptr for a name not in the table.
const EffectInfo* effectOfEntry(const QString& entry);
// A new entry for a ticked check box: its caption followed by " (Unallocated)".
QString newEntry(const QString& caption);
// " - Present" .. " - Unknown" for the result codes 0..5; empty for any other code.
QString statusText(int resultCode);
// The signature of a list: for entry i (from 0) naming a known effect, i plus the effect's weight.
int signatureOf(const QStringList& entries);
// The nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4, -0.5 gives 0).
int roundHalfEven(double value);

// The sampler's effect state, shared with the sampler dialog.
struct EffectLists {
    // `lstUse(slot)`: each slot's entries in the order they were ticked; kept when a new file is loaded.
    std::array<QStringList, kSlotCount> entries;
    // The signature of the chain last applied to any slot; 0 for none (reset whenever a buffer is made).
    int fxsignature = 0;
    // The check box index whose "設定" button was pressed last.
    int currentfx = 0;
    // The chain this model last placed on each slot's buffer, in order; empty when it placed none.
    std::array<std::vector<dsp::EffectKind>, kSlotCount> applied;
};

// The messages `applyslotfx` shows.
namespace fxmessages {
inline const QString kNoBuffer =
    QStringLiteral("エフェクトを選択する前にＷａｖｅファイルを選択してください。");
inline const QString kNoBufferTitle = QStringLiteral("バッファがありません。");
inline const QString kPlaying = QStringLiteral("エフェクトを選択する前に再生を止めてください。");
inline const QString kPlayingTitle = QStringLiteral("再生中です。");
inline const QString kRemoveAll = QStringLiteral("エフェクトを消しますか?");
inline const QString kRemoveAllTitle = QStringLiteral("エフェクトなし");
inline const QString kChooseOne = QStringLiteral("エフェクトを選んでください。");
inline const QString kChooseOneTitle = QStringLiteral("エフェクトがありません。");
// When the sound component refuses a chain (the sampler dialog's "OK"; the settings buttons stay silent).
inline const QString kRefusedNoFx = QStringLiteral(
    "このサンプルはエフェクトを使わないモードで読み込まれています。"
    "エフェクトを使うには EFFECTER MODE で読み込み直してください。");
inline const QString kRefused = QStringLiteral("エフェクトをかけられませんでした。");
inline const QString kRefusedTitle = QStringLiteral("エフェクトをかけられません。");
}  // namespace fxmessages

class SlotEffects {
public:
    // `slotBuffer(slot)` gives the slot's buffer or nullptr (`slotbuffer`); `lists` and `boxes` must outlive
    // the model.
    SlotEffects(EffectLists& lists, std::function<SoundBuffer*(int slot)> slotBuffer,
                base::MessageBoxes& boxes);

    // True when the slot's chain is in place on its buffer. Not forced, a playing buffer is refused with a
    // message; an empty list asks whether to remove every effect. The chain is applied only when the slot's
    // buffer does not already hold it; then every entry is rewritten with its result and `fxsignature` set.
    // A chain the component refuses leaves the entries and `fxsignature` as they were (and says so when not
    // forced).
    bool applyslotfx(int slot, bool forced);
    // The "設定" button of effect `currentfx`: applies the slot's chain (forced) and, when it is in place and
    // the list names that effect, opens the effect's dialog on the slot's buffer through `showDialog`.
    // True when a dialog was opened.
    bool openfxdialog(int slot);

    // Whether the slot's buffer holds exactly `chain` in this order (as this model last placed it).
    bool holdsChain(int slot, SoundBuffer& buffer, const std::vector<dsp::EffectKind>& chain) const;

    // Opens the settings dialog of `kind` on `buffer` (effect index 0), modeless, owned by the main window.
    std::function<void(dsp::EffectKind kind, SoundBuffer& buffer)> showDialog;
    // A slot's entries changed (the main window redraws `lstUse(slot)`).
    std::function<void(int slot)> onListChanged;

private:
    void refused(SoundError error, bool forced);

    EffectLists& lists_;
    std::function<SoundBuffer*(int)> slotBuffer_;
    base::MessageBoxes& boxes_;
};

}  // namespace korvex::sampler
