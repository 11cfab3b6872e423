// The slots' effect lists: signatures, applying a list as a chain, the messages, refusals, and which
// settings dialog a "設定" button opens. (Rounding a record for its dialog is checked by the dialogs.)

#include "sampler/effect_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "songlist/list_fakes.h"
#include "support/fake_sound_buffer.h"

namespace korvex::sampler {
namespace {

using dsp::EffectKind;
using base::MessageAnswer;
using base::MessageButtons;
using base::MessageIcon;
using songlist::testing::FakeMessages;
using test::FakeSoundBuffer;

QStringList entries(std::initializer_list<const char*> captions) {
    QStringList list;
    for (const char* caption : captions) list << newEntry(QString::fromUtf8(caption));
    return list;
}

class SlotEffectsTest : public ::testing::Test {
protected:
    SlotEffectsTest() {
        for (auto& buffer : buffers_) buffer = std::make_unique<FakeSoundBuffer>();
        model_.onListChanged = [this](int slot) { changed_.push_back(slot); };
        model_.showDialog = [this](EffectKind kind, SoundBuffer& buffer) {
            opened_.emplace_back(kind, &buffer);
        };
    }
    FakeSoundBuffer& buffer(int slot) { return *buffers_[static_cast<std::size_t>(slot)]; }
    QStringList& list(int slot) { return lists_.entries[static_cast<std::size_t>(slot)]; }

    std::array<std::unique_ptr<FakeSoundBuffer>, 8> buffers_;
    EffectLists lists_;
    FakeMessages boxes_;
    SlotEffects model_{lists_, [this](int slot) { return buffers_[static_cast<std::size_t>(slot)].get(); },
                       boxes_};
    std::vector<int> changed_;
    std::vector<std::pair<EffectKind, SoundBuffer*>> opened_;
};

TEST(EffectEntries, SignatureSumsPlaceAndWeightOfKnownEffects) {
    // Echo then chorus and chorus then echo come to the same signature.
    EXPECT_EQ(signatureOf(entries({"Echo", "Chorus"})), 97);
    EXPECT_EQ(signatureOf(entries({"Chorus", "Echo"})), 97);
    EXPECT_EQ(signatureOf(entries({"Distortion", "Compressor", "ParamEQ", "Gargle", "Flanger"})),
              16 + (1 + 256) + (2 + 1024) + (3 + 512) + (4 + 128));
    // Names compare in lower case; an unknown name keeps its place but adds nothing.
    EXPECT_EQ(signatureOf({QStringLiteral("Reverb (Unallocated)"), QStringLiteral("ECHO - Software")}), 33);
    EXPECT_EQ(signatureOf({}), 0);
    EXPECT_EQ(newEntry(QStringLiteral("ParamEQ")), QStringLiteral("ParamEQ (Unallocated)"));
    EXPECT_EQ(effectOfEntry(QStringLiteral("ParamEQ (Unallocated)"))->kind, EffectKind::ParamEq);
    EXPECT_EQ(effectOfEntry(QStringLiteral("Gargle"))->index, 7);
    EXPECT_EQ(effectByIndex(6), nullptr);
}

// The sampler's end-to-end test applies "Echo, Flanger" on the engine and sees the entries and signature.
TEST_F(SlotEffectsTest, ApplyPlacesTheChainAndRewritesEveryEntry) {
    // Every result code has its text; a code above 5 leaves the entry as it was.
    list(3) = entries({"Echo", "Chorus", "Flanger", "Distortion", "Compressor", "ParamEQ", "Gargle"});
    buffer(3).resultCodes = {0, 1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(model_.applyslotfx(3, false));
    EXPECT_EQ(list(3),
              (QStringList{QStringLiteral("Echo - Present"), QStringLiteral("Chorus - Hardware"),
                           QStringLiteral("Flanger - Software"), QStringLiteral("Distortion - Unallocated"),
                           QStringLiteral("Compressor - Failed"), QStringLiteral("ParamEQ - Unknown"),
                           QStringLiteral("Gargle (Unallocated)")}));
    EXPECT_EQ(buffer(3).kinds().size(), 7u);
    EXPECT_EQ(changed_, std::vector<int>{3});
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(SlotEffectsTest, EveryMessageWithItsTitleIconAndButtons) {
    // No buffer in the slot.
    buffers_[0].reset();
    list(0) = entries({"Echo"});
    EXPECT_FALSE(model_.applyslotfx(0, false));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text,
              QStringLiteral("エフェクトを選択する前にＷａｖｅファイルを選択してください。"));
    EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("バッファがありません。"));
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Information);

    // A playing buffer, not forced.
    list(1) = entries({"Echo"});
    buffer(1).play(SoundBuffer::kPlayLooping);
    EXPECT_FALSE(model_.applyslotfx(1, false));
    ASSERT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(boxes_.shown[1].text, QStringLiteral("エフェクトを選択する前に再生を止めてください。"));
    EXPECT_EQ(boxes_.shown[1].title, QStringLiteral("再生中です。"));
    EXPECT_EQ(buffer(1).setFxCalls, 0);
    EXPECT_EQ(list(1), entries({"Echo"}));

    // An empty list asks; No says to choose an effect and leaves the chain.
    list(2) = entries({"Chorus"});
    ASSERT_TRUE(model_.applyslotfx(2, false));
    list(2).clear();
    boxes_.answer = MessageAnswer::No;
    EXPECT_FALSE(model_.applyslotfx(2, false));
    ASSERT_EQ(boxes_.shown.size(), 4u);
    EXPECT_EQ(boxes_.shown[2].text, QStringLiteral("エフェクトを消しますか?"));
    EXPECT_EQ(boxes_.shown[2].title, QStringLiteral("エフェクトなし"));
    EXPECT_EQ(boxes_.shown[2].buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes_.shown[2].icon, MessageIcon::Question);
    EXPECT_EQ(boxes_.shown[3].text, QStringLiteral("エフェクトを選んでください。"));
    EXPECT_EQ(boxes_.shown[3].title, QStringLiteral("エフェクトがありません。"));
    EXPECT_EQ(buffer(2).kinds(), std::vector{EffectKind::Chorus});

    // Yes removes every effect, and the answer is still false.
    boxes_.answer = MessageAnswer::Yes;
    EXPECT_FALSE(model_.applyslotfx(2, false));
    EXPECT_EQ(boxes_.shown.size(), 5u);
    EXPECT_TRUE(buffer(2).kinds().empty());
}

TEST_F(SlotEffectsTest, ARefusedChainLeavesTheListAndSignatureAndSaysWhyOnlyWhenNotForced) {
    list(0) = entries({"Gargle"});
    ASSERT_TRUE(model_.applyslotfx(0, false));
    const int signature = lists_.fxsignature;

    // A buffer loaded in a sampler mode has no effect capability.
    buffers_[1] = std::make_unique<FakeSoundBuffer>(kCtrlVolume | kCtrlFrequency | kCtrlPan);
    list(1) = entries({"Echo", "Chorus"});
    EXPECT_FALSE(model_.applyslotfx(1, false));
    EXPECT_EQ(list(1), entries({"Echo", "Chorus"}));
    EXPECT_EQ(lists_.fxsignature, signature);
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, fxmessages::kRefusedNoFx);
    EXPECT_EQ(boxes_.shown[0].title, fxmessages::kRefusedTitle);
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Warning);

    // Any other refusal.
    buffer(2).refuse = SoundError::BufferTooSmall;
    list(2) = entries({"Flanger"});
    EXPECT_FALSE(model_.applyslotfx(2, false));
    ASSERT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(boxes_.shown[1].text, fxmessages::kRefused);

    // Forced (a settings button) on a playing buffer: the component refuses, nothing is said.
    buffer(3).play(SoundBuffer::kPlayOnce);
    list(3) = entries({"Echo"});
    EXPECT_FALSE(model_.applyslotfx(3, true));
    EXPECT_EQ(buffer(3).setFxCalls, 1);
    EXPECT_EQ(list(3), entries({"Echo"}));
    EXPECT_EQ(lists_.fxsignature, signature);
    EXPECT_EQ(boxes_.shown.size(), 2u);
    EXPECT_TRUE(changed_ == std::vector<int>{0});
}

// A program-wide signature alone would skip these applies and leave a buffer with a chain its list does
// not show; each slot's buffer is compared with the chain it holds instead.
TEST_F(SlotEffectsTest, EachSlotGetsTheChainItsListShowsEvenWhenSignaturesMatch) {
    // Two slots with the same single effect.
    list(0) = entries({"Echo"});
    list(1) = entries({"Echo"});
    ASSERT_TRUE(model_.applyslotfx(0, false));
    ASSERT_TRUE(model_.applyslotfx(1, false));
    EXPECT_EQ(buffer(1).kinds(), std::vector{EffectKind::Echo});
    EXPECT_EQ(list(1), QStringList{QStringLiteral("Echo - Software")});
    EXPECT_EQ(lists_.fxsignature, 32);

    // The same effects in another order.
    list(2) = entries({"Echo", "Chorus"});
    ASSERT_TRUE(model_.applyslotfx(2, false));
    list(2) = entries({"Chorus", "Echo"});
    ASSERT_EQ(signatureOf(list(2)), lists_.fxsignature);
    ASSERT_TRUE(model_.applyslotfx(2, false));
    EXPECT_EQ(buffer(2).kinds(), (std::vector{EffectKind::Chorus, EffectKind::Echo}));
    EXPECT_EQ(list(2), (QStringList{QStringLiteral("Chorus - Software"), QStringLiteral("Echo - Software")}));

    // A new buffer in the slot (a reload) gets the chain again.
    buffers_[0] = std::make_unique<FakeSoundBuffer>();
    ASSERT_TRUE(model_.applyslotfx(0, false));
    EXPECT_EQ(buffer(0).kinds(), std::vector{EffectKind::Echo});
}

TEST_F(SlotEffectsTest, AChainInPlaceIsNotAppliedAgainSoItsSettingsStay) {
    list(0) = entries({"Echo"});
    list(1) = entries({"Flanger"});
    ASSERT_TRUE(model_.applyslotfx(0, false));
    dsp::EchoParams tuned;
    tuned.fFeedback = 80;
    ASSERT_TRUE(buffer(0).fake(EffectKind::Echo)->setAllParameters(tuned));
    // Working on another slot in between changes the signature but not slot 0's chain.
    ASSERT_TRUE(model_.applyslotfx(1, false));
    buffer(0).play(SoundBuffer::kPlayLooping);
    EXPECT_TRUE(model_.applyslotfx(0, true));
    EXPECT_TRUE(model_.applyslotfx(0, false) == false);  // not forced, it still may not apply while playing
    buffer(0).stop();
    EXPECT_TRUE(model_.applyslotfx(0, false));
    EXPECT_EQ(buffer(0).setFxCalls, 1);
    EXPECT_EQ(std::get<dsp::EchoParams>(buffer(0).fake(EffectKind::Echo)->params).fFeedback, 80);
}

// The window tests open the flanger of an "Echo, Flanger" list on its slot's buffer and see the entries.
TEST_F(SlotEffectsTest, SettingsButtonOpensTheDialogOfTheListedEffectOnly) {
    list(4) = entries({"Echo", "Flanger"});
    lists_.currentfx = 2;
    EXPECT_TRUE(model_.openfxdialog(4));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].first, EffectKind::Flanger);

    // An effect the list does not name opens nothing.
    lists_.currentfx = 1;
    EXPECT_FALSE(model_.openfxdialog(4));
    EXPECT_EQ(opened_.size(), 1u);

    // While the slot loops: with its chain in place the dialog opens; with a new chain nothing happens,
    // silently.
    buffer(4).play(SoundBuffer::kPlayLooping);
    lists_.currentfx = 0;
    EXPECT_TRUE(model_.openfxdialog(4));
    EXPECT_EQ(opened_.back().first, EffectKind::Echo);
    list(4) << newEntry(QStringLiteral("Gargle"));
    lists_.currentfx = 7;
    EXPECT_FALSE(model_.openfxdialog(4));
    EXPECT_EQ(opened_.size(), 2u);
    EXPECT_TRUE(boxes_.shown.empty());

    // An empty slot says so and opens nothing.
    buffers_[5].reset();
    EXPECT_FALSE(model_.openfxdialog(5));
    EXPECT_EQ(boxes_.texts(), QStringList{fxmessages::kNoBuffer});
}

}  // namespace
}  // namespace korvex::sampler
