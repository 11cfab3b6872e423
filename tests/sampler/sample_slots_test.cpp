#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "sampler/slot_rig.h"

namespace korvex::sampler {
namespace {

using base::MessageIcon;
using test::FakeSoundBuffer;
using testing::SlotRig;

TEST(SampleSlots, DialogLoadLabelsTheSlotAndTheModeMakesTheBuffer) {
    SlotRig r;
    EXPECT_EQ(r.slots.caption(0), QStringLiteral("1:"));
    EXPECT_EQ(r.slots.caption(7), QStringLiteral("8:"));
    r.dialogs.answer = QStringLiteral("/s/kick.wav");
    r.slots.loadByDialog(2);
    // The dialog asked for wave files in the desktop's sound folder (or home), with no name proposed.
    ASSERT_EQ(r.dialogs.shown.size(), 1u);
    EXPECT_EQ(r.dialogs.shown[0].filter, QStringLiteral("Wave Files (*.wav)|*.wav"));
    EXPECT_EQ(r.dialogs.shown[0].initialFolder, samplerDialogFolder());
    EXPECT_TRUE(r.dialogs.shown[0].fileName.isEmpty());
    EXPECT_EQ(r.slots.caption(2), QStringLiteral("3:kick.wav"));
    EXPECT_EQ(r.paths[2], QStringLiteral("/s/kick.wav"));
    EXPECT_EQ(r.slots.currentslot, 2);
    EXPECT_EQ(r.unloads, 1);
    EXPECT_EQ(r.modeDialogs, 1);
    EXPECT_EQ(r.slots.slotbuffer(2), nullptr) << "the buffer waits for the mode";

    r.slots.effects().fxsignature = 97;
    r.slots.selectmode(kSampler3D);
    ASSERT_NE(r.buffer(2), nullptr);
    EXPECT_EQ(r.modes[2], 0);
    EXPECT_EQ(r.buffer(2)->caps(), unsigned{kCtrlVolume | kCtrlFrequency | kCtrl3D});
    EXPECT_EQ(r.slots.effects().fxsignature, 0);
    EXPECT_TRUE(r.messages.shown.empty());
    // The next dialog starts where the last file was chosen.
    r.dialogs.answer.reset();
    r.slots.loadByDialog(3);
    EXPECT_EQ(r.dialogs.shown.back().initialFolder, QStringLiteral("/s/"));
    EXPECT_EQ(r.slots.caption(3), QStringLiteral("4:")) << "cancelling changes nothing";
    EXPECT_EQ(r.modeDialogs, 1);
}

// The window tests see a stereo file in "SAMPLER MODE" end in mode 2 with the sampler's capabilities and no
// message, and a short file in "EFFECTER MODE" say so and leave the old buffer.
TEST(SampleSlots, ModeFallbacksAndFailuresKeepTheOldBuffer) {
    SlotRig r;
    // A stereo file in "EFFECTER MODE" cannot have 3D: mode 3.
    r.load(1, QStringLiteral("/s/horn.wav"), kEffecter3D);
    EXPECT_EQ(r.modes[1], 3);
    EXPECT_EQ(r.buffer(1)->caps(), unsigned{kCtrlVolume | kCtrlFx | kCtrlPan});

    // A 100 ms file is too short for effects: the message, and the slot keeps the horn.
    FakeSoundBuffer* horn = r.buffer(1);
    r.load(1, QStringLiteral("/s/click.wav"), kEffecter3D);
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(r.buffer(1), horn);
    EXPECT_EQ(r.modes[1], 1) << "the mode chosen stays";
    EXPECT_EQ(r.slots.caption(1), QStringLiteral("2:click.wav")) << "the label shows the new file";
    // The same file as a sampler is fine.
    r.load(1, QStringLiteral("/s/click.wav"), kSampler3D);
    EXPECT_NE(r.buffer(1), horn);
    EXPECT_EQ(r.messages.shown.size(), 1u);

    // A file that cannot be read at all.
    r.load(4, QStringLiteral("/s/gone.wav"), kSampler3D);
    EXPECT_EQ(
        r.messages.shown.back().text,
        QStringLiteral(
            "ファイルを読み込めません。\n/s/gone.wav\nファイルが見つかりません。\n移動や削除、名前の変更が"
            "されていないか確かめて、曲を選び直してください。"));
    EXPECT_EQ(r.slots.slotbuffer(4), nullptr);
}

TEST(SampleSlots, DropTakesOnlyALowerCaseWaveFile) {
    SlotRig r;
    QTemporaryDir dir;
    const QString upper = dir.path() + QStringLiteral("/LOOP.WAV");
    const QString lower = dir.path() + QStringLiteral("/loop.wav");
    for (const QString& p : {upper, lower}) QFile(p).open(QIODevice::WriteOnly);
    // Only the first file counts (the window tests drop an upper-case name alone).
    r.slots.drop(5, {dir.path() + QStringLiteral("/notes.txt"), lower});
    EXPECT_EQ(r.modeDialogs, 0);

    r.slots.drop(5, {lower, upper});
    EXPECT_EQ(r.slots.caption(5), QStringLiteral("6:loop.wav"));
    EXPECT_EQ(r.paths[5], lower);
    EXPECT_EQ(r.slots.loadpath, lower);
    EXPECT_EQ(r.slots.currentslot, 5);
    EXPECT_EQ(r.modeDialogs, 1);
    EXPECT_EQ(r.unloads, 0) << "a drop leaves the other windows open";

    // A dropped name that is no file says so.
    r.slots.drop(6, {dir.path() + QStringLiteral("/vanished.wav")});
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text,
              QStringLiteral("ファイルが読み込めません。\n") + dir.path() +
                  QStringLiteral("/vanished.wav\nファイルが見つかりません。\n移動や削除、名前の"
                                 "変更がされていないか確かめて、曲を選び直してください。"));
    EXPECT_EQ(r.messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(r.slots.caption(6), QStringLiteral("7:"));
    // A folder named like a wave file is told apart.
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/kit.wav")));
    r.slots.drop(6, {dir.path() + QStringLiteral("/kit.wav")});
    ASSERT_EQ(r.messages.shown.size(), 2u);
    EXPECT_TRUE(r.messages.shown[1].text.contains(QStringLiteral("/kit.wav\nフォルダーです。")))
        << r.messages.shown[1].text.toStdString();
}

// The window tests press the digit keys: a silencer slot mutes both decks, one without a buffer nothing.
TEST(SampleSlots, PlayRestartsOneShotsAndTogglesLoops) {
    SlotRig r;
    r.load(0, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.slots.cmdPlay_Click(0);
    FakeSoundBuffer* kick = r.buffer(0);
    EXPECT_TRUE(kick->playing() && !kick->looping());
    r.slots.cmdPlay_Click(0);
    EXPECT_EQ(kick->plays, 2) << "a one-shot restarts on every press";
    EXPECT_EQ(kick->position, 0);

    r.slots.setSlotloop(0, 1);
    r.slots.cmdPlay_Click(0);
    EXPECT_TRUE(kick->looping());
    EXPECT_EQ(r.slots.slotlooping(0), -1);
    r.slots.cmdPlay_Click(0);
    EXPECT_FALSE(kick->playing()) << "a running loop stops on the next press";
    EXPECT_EQ(r.slots.slotlooping(0), 0);
    EXPECT_EQ(kick->plays, 3);

    // A new buffer loaded over a running loop starts on the next press.
    r.slots.cmdPlay_Click(0);
    r.load(0, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.slots.cmdPlay_Click(0);
    EXPECT_TRUE(r.buffer(0)->playing());
}

TEST(SampleSlots, DialogLoadStopsOnlyAOneShotThatPlays) {
    SlotRig r;
    r.load(0, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.load(1, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.slots.cmdPlay_Click(0);
    r.slots.setSlotloop(1, 1);
    r.slots.cmdPlay_Click(1);
    r.dialogs.answer = QStringLiteral("/s/horn.wav");
    r.slots.loadByDialog(0);
    r.slots.loadByDialog(1);
    EXPECT_FALSE(r.buffer(0)->playing());
    EXPECT_TRUE(r.buffer(1)->playing()) << "a looping buffer reports more than 1 and is not stopped";
}

TEST(SampleSlots, RightPressOpensTheDialogOnlyForAFilledSlot) {
    SlotRig r;
    r.slots.textMouseDown(3, true);
    EXPECT_EQ(r.samplerDialogs, 0);
    r.load(3, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.slots.currentslot = 0;
    const int unloads = r.unloads;
    r.slots.textMouseDown(3, true);
    EXPECT_EQ(r.samplerDialogs, 1);
    EXPECT_EQ(r.slots.currentslot, 3);
    EXPECT_EQ(r.unloads, unloads + 1);
    // Any other button loads.
    r.dialogs.answer.reset();
    r.slots.textMouseDown(3, false);
    EXPECT_EQ(r.dialogs.shown.size(), 2u);
}

TEST(SampleSlots, ClearEmptiesLabelsAndPathsButKeepsTheSounds) {
    SlotRig r;
    r.load(0, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.load(7, QStringLiteral("/s/horn.wav"), kEffecter3D);
    r.slots.clssamp();  // the window tests see the labels emptied and the keys still playing
    for (const QString& path : r.paths) EXPECT_TRUE(path.isEmpty());
    EXPECT_EQ(r.modes[7], 3);
    EXPECT_NE(r.buffer(7), nullptr);
}

TEST(SampleSlots, ReleaseStopsOneShotsAndFreesEverything) {
    SlotRig r;
    r.load(0, QStringLiteral("/s/kick.wav"), kSampler3D);
    r.load(1, QStringLiteral("/s/horn.wav"), kSampler3D);
    r.slots.cmdPlay_Click(0);
    const auto log = r.device->log;
    const auto alive = r.device->alive;
    EXPECT_EQ(*alive, 2);
    r.slots.releasesound();
    EXPECT_EQ(*alive, 0);
    EXPECT_FALSE(r.slots.dsready());
    EXPECT_EQ(r.slots.slotbuffer(0), nullptr);
    const auto stop = std::find(log->begin(), log->end(), "stop /s/kick.wav");
    const auto release = std::find(log->begin(), log->end(), "release /s/kick.wav");
    EXPECT_TRUE(stop < release);
    EXPECT_EQ(std::count(log->begin(), log->end(), std::string("stop /s/horn.wav")), 0);
}

TEST(SampleSlots, StartUpReloadFallsBackAndSkipsMissingFiles) {
    SlotRig r;
    EXPECT_TRUE(r.slots.loadslot(0, kSampler3D, QStringLiteral("/s/horn.wav")));
    EXPECT_EQ(r.modes[0], 2);
    EXPECT_EQ(r.slots.caption(0), QStringLiteral("1:horn.wav"));
    EXPECT_FALSE(r.slots.loadslot(1, kSampler3D, QStringLiteral("/s/gone.wav")));
    EXPECT_EQ(r.slots.caption(1), QStringLiteral("2:"));
    EXPECT_EQ(r.slots.slotbuffer(1), nullptr);
    EXPECT_TRUE(r.messages.shown.empty()) << "start-up goes on without a box";
    EXPECT_EQ(r.slots.loadpath, QStringLiteral("/s/horn.wav"));

    // Without a device nothing loads.
    r.slots.releasesound();
    EXPECT_FALSE(r.slots.loadslot(2, kSampler3D, QStringLiteral("/s/kick.wav")));
}

TEST(SampleSlots, DialogFolderIsTheSoundFolderWhenThereIsOne) {
    QTemporaryDir dir;
    EXPECT_EQ(samplerDialogFolder(dir.path()), dir.path());
    EXPECT_EQ(samplerDialogFolder(dir.path() + QStringLiteral("/none")), QDir::homePath());
}

}  // namespace
}  // namespace korvex::sampler
