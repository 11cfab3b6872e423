#pragma once
// The sampler's eight slots: a wave file per slot in its own sound buffer, loaded by the open dialog or
// by a drop and the mode dialog, played and stopped from the digit keys, cleared, released at exit.
//
// Why it is shaped this way: everything the slots do is state (buffers, modes, paths, the loop and silencer
// flags, the captions of the slot labels) plus operations on it, so the slots are one model class that
// speaks to sound only through SoundDevice / SoundBuffer and to the operator only through the message and
// file-dialog interfaces; the windows (mode dialog, sampler dialog, the labels on the sampler strip) are
// reached through SamplerWindows. A test drives it with a fake device and fake dialogs.
//
// The modes and paths are the settings file's (SlotSettings); the model writes them in place. The slot
// keys' held flags belong to the keyboard, which calls cmdPlay_Click() and slotsilencer() through
// SamplerKeyHooks and unmutes the decks itself on a silencer key's release.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/deck_player.h"
#include "platform/sound_device.h"
#include "sampler/slot_effects.h"
#include "control/keyboard.h"
#include "base/message_boxes.h"
#include "songlist/song_adder.h"

namespace korvex::sampler {

// Buffer modes of a slot: 0 sampler with 3D, 1 effecter with 3D, 2 sampler, 3 effecter.
enum SlotMode : int { kSampler3D = 0, kEffecter3D = 1, kSampler = 2, kEffecter = 3 };

// The capability flags a buffer of `mode` is made with.
unsigned slotCaps(int mode);

// The windows the slots open and close. Each may be left empty; it then does nothing.
struct SamplerWindows {
    // Shows the mode dialog ("モード選択") modeless; its clicks come back as selectmode().
    std::function<void()> showModeDialog;
    // Shows the sampler dialog for `currentslot` modeless.
    std::function<void()> showSamplerDialog;
    // `unloadothers`: closes every window but the main window.
    std::function<void()> unloadothers;
    // A slot's buffer is about to be released (replaced, or every buffer on leaving): windows that work on
    // it close first.
    std::function<void(const SoundBuffer* buffer)> releasingBuffer;
};

class SampleSlots final : public control::SamplerKeyHooks {
public:
    // `slotmode` and `slotpath` are the settings file's and must outlive the slots, as must the decks'
    // players (muted by silencer slots), the file dialogs and the message boxes.
    SampleSlots(std::array<int, kSamplerSlots>& slotmode, std::array<QString, kSamplerSlots>& slotpath,
                std::array<DeckPlayer*, 2> decks, songlist::FileDialogs& files,
                base::MessageBoxes& messages);
    ~SampleSlots() override;
    SampleSlots(const SampleSlots&) = delete;
    SampleSlots& operator=(const SampleSlots&) = delete;

    SamplerWindows windows;
    // What the sampler dialog's effect controls set off (the effect chain code connects these).
    SamplerEffectHooks effectHooks;

    // --- the device -----------------------------------------------------------------------------------
    // `initsound`'s result: the device the buffers are made on (null for none).
    void setDevice(std::unique_ptr<SoundDevice> device);
    SoundDevice* device() const { return device_.get(); }
    // `dsready`: the device exists.
    bool dsready() const { return device_ != nullptr; }

    // --- state ----------------------------------------------------------------------------------------
    // `slotbuffer`(slot): null when the slot holds no sample (and for indexes other than 0 .. 7).
    SoundBuffer* slotbuffer(int slot) const;
    int slotmode(int slot) const;
    const QString& slotpath(int slot) const;
    // `slotloop`, `slotsilencer` (1 on, 0 off) and `slotlooping` (-1 while a looping slot runs, else 0).
    int slotloop(int slot) const;
    void setSlotloop(int slot, int value);
    int slotsilencer(int slot) const override;
    void setSlotsilencer(int slot, int value);
    int slotlooping(int slot) const;
    // The slot's pre-listen tick: its sound goes to the headphones as well. It stays with the slot when a
    // new sound is loaded into it (not kept between runs).
    bool slotprelisten(int slot) const;
    void setSlotprelisten(int slot, bool on);
    // `slot3dbuffer`(slot): the 3D interface the sampler dialog took from the slot's buffer, or null.
    SoundBuffer3D* slot3dbuffer(int slot) const;
    void setSlot3dbuffer(int slot, SoundBuffer3D* buffer);
    // `currentslot`: the slot being loaded or edited. `loadpath`: the file last chosen for a slot.
    int currentslot = 0;
    QString loadpath;
    // The slots' effect entries and `fxsignature`.
    SlotEffectLists& effects() { return effects_; }
    const SlotEffectLists& effects() const { return effects_; }
    // Caption of the slot label `Text1`(slot): "3:kick.wav", "3:" when empty.
    const QString& caption(int slot) const;
    void setCaption(int slot, const QString& caption);
    // Grows with every change the window shows (captions, buffers).
    std::uint64_t revision() const { return revision_; }
    // The open dialog's state (filter "Wave Files (*.wav)", the folder of the last chosen file).
    const songlist::DialogState& dialogState() const { return dialog_; }

    // --- operations -----------------------------------------------------------------------------------
    // A mouse press on `Text1`(slot): the right button opens the sampler dialog when the slot holds a
    // sample; any other loads a file by the open dialog.
    void textMouseDown(int slot, bool rightButton);
    // Load by the open dialog (also the menu items "ｻﾝﾌﾟﾗｰ１" .. "ｻﾝﾌﾟﾗｰ８"): asks for a wave file, labels
    // the slot with it, stops the slot's buffer when it plays once, closes the other windows and shows
    // the mode dialog. Cancelling changes nothing.
    void loadByDialog(int slot);
    // Files dropped on `Text1`(slot): the first one is taken when its name ends in ".wav" (lower case);
    // labels the slot and shows the mode dialog.
    void drop(int slot, const QStringList& paths);
    // A click in the mode dialog: `mode` 0 ("SAMPLER MODE") or 1 ("EFFECTER MODE"). Makes the buffer for
    // `currentslot` from `loadpath`, falling back to mode 2 / 3 when the file cannot have 3D; on failure
    // says why and the slot keeps its previous buffer. The mode dialog closes in either case.
    void selectmode(int mode);
    // `cmdPlay_Click`: silencer slots mute both decks; a one-shot slot restarts from the beginning, a
    // looping slot starts on one press and stops on the next. Nothing for a slot without a buffer.
    void cmdPlay_Click(int slot) override;
    // `cmdStop_Click`: stops the slot's buffer and rewinds it.
    void cmdStop_Click(int slot);
    // `clssamp` ("ｻﾝﾌﾟﾗｰのｸﾘｱ"): every caption back to "1:" .. "8:" and every path emptied; the buffers
    // stay, so the keys still play.
    void clssamp();
    // `releasesound`: stops and releases every buffer and then the device.
    void releasesound();
    // The start-up's reload of a slot from the settings file: makes `slot`'s buffer from `path` in
    // `mode` (falling back as selectmode() does) and labels the slot. False, with the slot left empty and
    // nothing said, when there is no device or the file cannot be loaded.
    bool loadslot(int slot, int mode, const QString& path);
    // Puts a new buffer into `slot` (the old one is released): its 3D interface is forgotten, it is not
    // looping, and `fxsignature` starts again from 0.
    void installBuffer(int slot, std::unique_ptr<SoundBuffer> buffer);
    // The operator's message boxes.
    base::MessageBoxes& messages() { return messages_; }
    // Says that a buffer could not be made ("読み込めません", critical icon).
    void cannotLoad(const QString& text);
    // "ファイルを読み込めません。" with the file `path` and why on the lines after it.
    static QString cannotLoadText(const QString& path);

private:
    static bool valid(int slot) { return slot >= 0 && slot < kSamplerSlots; }
    static std::size_t at(int slot) { return static_cast<std::size_t>(slot); }
    // Makes a buffer from `path` in `mode`, or in mode 2 / 3 when the file refuses 3D (`mode` follows).
    std::unique_ptr<SoundBuffer> makeBuffer(const QString& path, int& mode, SoundError& firstError);
    void muteDecks(bool mute);
    void touch() { ++revision_; }

    std::array<int, kSamplerSlots>& slotmode_;
    std::array<QString, kSamplerSlots>& slotpath_;
    std::array<DeckPlayer*, 2> decks_;
    songlist::FileDialogs& files_;
    base::MessageBoxes& messages_;
    songlist::DialogState dialog_;
    // Declared before the buffers: the buffers are released first.
    std::unique_ptr<SoundDevice> device_;
    std::array<std::unique_ptr<SoundBuffer>, kSamplerSlots> slotbuffer_;
    std::array<SoundBuffer3D*, kSamplerSlots> slot3dbuffer_{};
    std::array<int, kSamplerSlots> slotloop_{};
    std::array<int, kSamplerSlots> slotsilencer_{};
    std::array<bool, kSamplerSlots> slotprelisten_{};
    std::array<int, kSamplerSlots> slotlooping_{};
    std::array<QString, kSamplerSlots> captions_;
    SlotEffectLists effects_;
    std::uint64_t revision_ = 0;
};

// The caption of an empty slot label: "1:" .. "8:".
QString emptyCaption(int slot);
// The folder the sampler's open dialog starts in: the desktop's sound folder when `soundsFolder` exists,
// else the home folder.
QString samplerDialogFolder(const QString& soundsFolder = QStringLiteral("/usr/share/sounds"));

}  // namespace korvex::sampler
