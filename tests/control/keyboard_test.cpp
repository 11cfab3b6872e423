#include "control/keyboard.h"

#include <gtest/gtest.h>

#include <Qt>
#include <cmath>
#include <memory>
#include <vector>

#include "deck/time_format.h"
#include "mixer/mixer_fakes.h"

namespace korvex::control {
namespace {

using namespace songlist;

using mixer::testing::FakeMaster;
using mixer::testing::FakePlayer;
using mixer::testing::MixerHooks;

// The sampler as the keys see it: records the slots played; a silencer slot mutes both decks as it plays.
class FakeSampler final : public SamplerKeyHooks {
public:
    explicit FakeSampler(std::array<FakePlayer*, 2> players) : players_(players) {}
    void cmdPlay_Click(int slot) override {
        played.push_back(slot);
        if (slotsilencer(slot) == 1)
            for (FakePlayer* p : players_) p->setMute(true);
    }
    int slotsilencer(int slot) const override { return silencer[static_cast<std::size_t>(slot)]; }

    std::vector<int> played;
    std::array<int, 8> silencer{};

private:
    std::array<FakePlayer*, 2> players_;
};

constexpr int K(char c) {
    return vk::letter(c);
}

// Two decks of three songs, the mixer, the list editor, the memories and the keyboard, wired as the
// application wires them.
struct KeyRig {
    KeyRig() {
        transport.setHooks(hooks);
        mixer.start();
        keyboard.setHooks(sampler);
        for (int deck = 0; deck < 2; ++deck) {
            SongList& l = list(deck);
            for (const char* name : {"one", "two", "three"})
                l.append(QStringLiteral("/music/%1%2").arg(deck).arg(QLatin1String(name)),
                         QLatin1String(name), 20);
            l.select(0);
            transport.loadsong(deck);
        }
    }
    FakePlayer& fake(int deck) { return deck == 0 ? playerA : playerB; }
    SongList& list(int deck) { return deck == 0 ? listA : listB; }
    deck::DeckRecord& record(int deck) { return transport.record(deck); }
    void playing(int deck) { transport.PLAYBTNON(deck); }
    // Playing, then paused at `position` (the pause loop returns there).
    void pausedAt(int deck, double position) {
        transport.PLAYBTNON(deck);
        fake(deck).position = position;
        transport.PLAYBTNON(deck);
    }
    void press(int key) { keyboard.keyDown(key); }
    void release(int key) { keyboard.keyUp(key, false); }
    void tap(int key) {
        press(key);
        release(key);
    }
    // One auto-repeat as Qt sends it: a release and a press, both marked as repeats.
    void autoRepeat(int key) {
        keyboard.keyUp(key, true);
        keyboard.keyDown(key);
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) timer.tick();
    }

    FakePlayer playerA, playerB;
    SongList listA, listB;
    deck::DeckSettings settings;
    deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    deck::MainTimer timer{transport};
    FakeMaster master;
    mixer::Mixer mixer{transport, master};
    deck::ContinuousPlay continuous{transport};
    MixerHooks hooks{mixer, continuous};
    ListEditor editor{transport};
    SongMemories memories{{&listA, &listB}, {&playerA, &playerB}};
    FakeSampler sampler{{&playerA, &playerB}};
    Keyboard keyboard{transport, mixer, editor, memories};
};

using Probe = double (*)(KeyRig&, int deck);
constexpr Probe kCurrent = [](KeyRig& r, int d) -> double { return r.list(d).current(); };
constexpr Probe kPattern = [](KeyRig& r, int) -> double { return r.mixer.faderpattern(); };
constexpr Probe kVolumeTop = [](KeyRig& r, int d) -> double { return r.mixer.volumeKnob(d).top(); };
constexpr Probe kPitchTop = [](KeyRig& r, int d) -> double { return r.mixer.pitchKnob(d).top(); };
constexpr Probe kPan = [](KeyRig& r, int d) -> double { return r.fake(d).pan; };
constexpr Probe kFaderLeft = [](KeyRig& r, int) -> double { return r.mixer.faderKnob().left(); };
constexpr Probe kMonitorTop = [](KeyRig& r, int) -> double { return r.mixer.masterKnob(0).top(); };
constexpr Probe kMasterTop = [](KeyRig& r, int) -> double { return r.mixer.masterKnob(1).top(); };

// One key of the keyboard: after an optional setup and its key-down on focus deck d, `probe` reads
// `focus` on deck d and `other` on the other deck (shared controls read the same on both).
struct KeyCase {
    const char* name;
    int key;
    void (*setup)(KeyRig&);
    Probe probe;
    double focus;
    double other;
};

const KeyCase kEveryKey[] = {
    {"Backspace pauses", vk::kBackspace, nullptr,
     [](KeyRig& r, int d) -> double { return r.record(d).deckheld; }, 1, 0},
    {"Backspace shows the length", vk::kBackspace, nullptr,
     [](KeyRig& r, int d) -> double {
         return r.transport.view(d).totaltime == "/03'20" && !r.record(d).freshload;
     },
     1, 0},
    {"Space", vk::kSpace, nullptr, [](KeyRig& r, int) -> double { return r.mixer.slidestate(); }, 2, 2},
    {"Enter cues", vk::kEnter, nullptr, [](KeyRig& r, int d) -> double { return r.record(d).cuestandby; }, 1,
     0},
    {"Enter lights CUE", vk::kEnter, nullptr,
     [](KeyRig& r, int d) -> double { return r.transport.view(d).cuePicture == "cue2.bmp"; }, 1, 0},
    {"Delete", vk::kDelete, nullptr, [](KeyRig& r, int d) -> double { return r.fake(d).state; }, 0, 2},
    {"Left", vk::kLeft, nullptr,
     [](KeyRig& r, int d) -> double {
         return r.keyboard.keyfocusVisible(d) == (d == 0) && r.keyboard.focusdeck() == 0;
     },
     1, 1},
    {"Right", vk::kRight, nullptr,
     [](KeyRig& r, int d) -> double {
         return r.keyboard.keyfocusVisible(d) == (d == 1) && r.keyboard.focusdeck() == 1;
     },
     1, 1},
    {"Up", vk::kUp, nullptr, kCurrent, 2, 0},
    {"Down", vk::kDown, nullptr, kCurrent, 1, 0},
    {"Page Up", vk::kPageUp, nullptr, [](KeyRig& r, int d) -> double { return r.record(d).searchfwd; }, 1, 0},
    {"Page Down", vk::kPageDown, nullptr, [](KeyRig& r, int d) -> double { return r.record(d).searchback; },
     1, 0},
    {"End", vk::kEnd, nullptr,
     [](KeyRig& r, int d) -> double { return r.memories.modeCaption(d) == "START"; }, 1, 0},
    {"F", K('F'), [](KeyRig& r) { r.mixer.FDpaturn(3); },
     [](KeyRig& r, int) -> double { return r.mixer.faderpattern() + r.mixer.cutin(); }, 0, 0},
    {"G", K('G'), nullptr, kPattern, 1, 1},
    {"H", K('H'), nullptr, kPattern, 2, 2},
    {"J", K('J'), nullptr, [](KeyRig& r, int) -> double { return r.mixer.cutin(); }, 1, 1},
    {"Q", K('Q'), nullptr, kVolumeTop, 1980, 1830},
    // The level law ran: the trim's -400 and the knob's 8 squared.
    {"Q level", K('Q'), nullptr, [](KeyRig& r, int d) -> double { return r.fake(d).level; }, -464, -400},
    {"W", K('W'),
     [](KeyRig& r) {
         for (int deck = 0; deck < 2; ++deck) r.mixer.volumeKnob(deck).setTop(2400.0f);
     },
     kVolumeTop, 2250, 2400},
    {"A", K('A'), nullptr, kPitchTop, 2394, 2400},
    {"S", K('S'), nullptr, kPitchTop, 2406, 2400},
    {"Z", K('Z'), nullptr, kPan, -30, 0},
    {"X", K('X'), nullptr, kPan, 30, 0},
    {"C", K('C'), nullptr, kFaderLeft, 3630, 3630},
    {"C level", K('C'), nullptr, [](KeyRig& r, int) -> double { return r.fake(1).level; }, -10000, -10000},
    {"M", K('M'), nullptr, kFaderLeft, 6630, 6630},
    {"B", K('B'), [](KeyRig& r) { r.mixer.faderKnob().setLeft(3630.0f); }, kFaderLeft, 5130, 5130},
    {"N", K('N'), nullptr, kFaderLeft, 5280, 5280},
    {"V", K('V'), nullptr, kFaderLeft, 4980, 4980},
    {"/", vk::kSlash, nullptr, kMasterTop, 3940, 3940},
    // 90 % on both channels.
    {"/ output", vk::kSlash, nullptr, [](KeyRig& r, int) -> double { return r.master.value; }, 0xE66AE66A,
     0xE66AE66A},
    {"\\", vk::kBackslash, [](KeyRig& r) { r.mixer.masterKnob(1).setTop(4340.0f); }, kMasterTop, 4240, 4240},
    {":", vk::kColon, nullptr, kMonitorTop, 3940, 3940},
    // The monitor is the headphones' level (90 %), not the master's.
    {": output", vk::kColon, nullptr, [](KeyRig& r, int) -> double { return r.master.writes; }, 0, 0},
    {": headphones", vk::kColon, nullptr,
     [](KeyRig& r, int) -> double { return std::round(r.master.phonesLevel * 65535.0); }, 0xE66A, 0xE66A},
    // P pre-listens the keyboard's deck.
    {"P", K('P'), nullptr, [](KeyRig& r, int d) -> double { return r.mixer.headphones().prelisten(d) ? 1 : 0; },
     1, 0},
    {"P player", K('P'), nullptr, [](KeyRig& r, int d) -> double { return r.fake(d).prelisten ? 1 : 0; }, 1, 0},
    {"]", vk::kBracketRight, [](KeyRig& r) { r.mixer.masterKnob(0).setTop(4340.0f); }, kMonitorTop, 4240,
     4240},
};

TEST(KeyboardTest, EveryKeyActsOnTheFocusDeckOrTheSharedControls) {
    // Both decks play the first of three songs.
    const auto rig = [](int d) {
        auto r = std::make_unique<KeyRig>();
        r->playing(0);
        r->playing(1);
        if (d == 1) r->keyboard.focuschangeB();
        return r;
    };
    for (int d = 0; d < 2; ++d) {
        for (const KeyCase& c : kEveryKey) {
            SCOPED_TRACE(::testing::Message() << c.name << " on deck " << d);
            const auto r = rig(d);
            if (c.setup) c.setup(*r);
            r->press(c.key);
            EXPECT_EQ(c.probe(*r, d), c.focus);
            EXPECT_EQ(c.probe(*r, 1 - d), c.other);
        }
        for (int slot = 0; slot < 8; ++slot) {
            for (const int key : {vk::kDigit1 + slot, vk::kKeypad1 + slot}) {
                SCOPED_TRACE(::testing::Message() << "key " << key << " on deck " << d);
                const auto r = rig(d);
                r->tap(key);
                EXPECT_EQ(r->sampler.played, std::vector<int>{slot});
            }
        }
    }
}

TEST(KeyboardTest, HeldKeysRunAgainOnEveryKeyDownWhateverTheKey) {
    KeyRig r;
    r.press(vk::kSpace);
    EXPECT_EQ(r.mixer.slidestate(), mixer::kSlideTowardsA);
    r.press(K('Q'));  // Space still held: the second Switch stops the slide
    EXPECT_EQ(r.mixer.slidestate(), mixer::kSlideIdle);
    EXPECT_EQ(r.mixer.volumeKnob(0).top(), 1980.0f);
    r.press(0);  // a key the player does not use runs the held keys too
    EXPECT_EQ(r.mixer.slidestate(), mixer::kSlideTowardsA);
    r.release(K('Q'));
    r.release(vk::kSpace);
    r.tap(K('Q'));
    EXPECT_EQ(r.mixer.slidestate(), mixer::kSlideTowardsA);

    // The arrows come before the deck keys: with End held, Right goes down and End cycles deck B.
    r.press(vk::kEnd);
    r.press(vk::kRight);
    EXPECT_EQ(r.memories.modeCaption(0), QStringLiteral("START"));
    EXPECT_EQ(r.memories.modeCaption(1), QStringLiteral("START"));
    r.release(vk::kRight);
    r.release(vk::kEnd);

    // Enter before Delete: with both held the deck cues, then stops (back at the start, not standing by).
    r.press(vk::kLeft);
    r.release(vk::kLeft);
    r.playing(0);
    r.fake(0).position = 20.0;
    r.press(vk::kEnter);
    r.press(vk::kDelete);
    EXPECT_FALSE(r.record(0).cuestandby);
    EXPECT_EQ(r.fake(0).position, 0.0);
}

// One play per press and a silencer's mute until the release are checked through the real window.
TEST(KeyboardTest, SlotKeysAreReleasedByTheirPhysicalKeyAndOnlyASilencerUnmutes) {
    KeyRig r;
    // A slot without the silencer leaves the decks' mute alone.
    r.playerA.muted = true;
    r.tap(vk::kDigit1 + 3);
    EXPECT_TRUE(r.playerA.muted);

    // A digit whose character changed while held (Shift pressed meanwhile) is released by its physical key.
    r.keyboard.keyDown(vk::kDigit1 + 4, 17);
    EXPECT_TRUE(r.keyboard.slotKeyHeld(4));
    r.keyboard.keyUp(0, false, 17);
    EXPECT_FALSE(r.keyboard.slotKeyHeld(4));
    // A key released with a physical key never seen going down is released by its code.
    r.press(vk::kDigit1 + 5);
    r.keyboard.keyUp(vk::kDigit1 + 5, false, 99);
    EXPECT_FALSE(r.keyboard.slotKeyHeld(5));
}

TEST(KeyboardTest, KnobKeysStopAtTheirLimitsEvenFromBetweenSteps) {
    KeyRig bottom;
    for (int i = 0; i < 12; ++i) bottom.tap(K('Q'));
    EXPECT_EQ(bottom.mixer.volumeKnob(0).top(), 3330.0f);
    EXPECT_EQ(bottom.fake(0).level, -10000);

    // The knob placed at `from`, `taps` presses, then `probe` reads `to` and the output (when given)
    // `output`.
    struct Limit {
        int key;
        mixer::Knob& (*knob)(KeyRig&);
        float from;
        int taps;
        double to;
        double output;
    };
    constexpr auto volume = [](KeyRig& r) -> mixer::Knob& { return r.mixer.volumeKnob(0); };
    constexpr auto pitch = [](KeyRig& r) -> mixer::Knob& { return r.mixer.pitchKnob(0); };
    constexpr auto fader = [](KeyRig& r) -> mixer::Knob& { return r.mixer.faderKnob(); };
    constexpr auto monitor = [](KeyRig& r) -> mixer::Knob& { return r.mixer.masterKnob(0); };
    constexpr auto master = [](KeyRig& r) -> mixer::Knob& { return r.mixer.masterKnob(1); };
    const Limit limits[] = {
        {K('Q'), volume, 3300, 1, 3330, -1},
        {K('W'), volume, 1900, 1, 1830, -1},
        {K('S'), pitch, 3297, 2, 3300, -1},
        {K('A'), pitch, 1503, 1, 1500, -1},
        {K('N'), fader, 6600, 2, 6630, -1},
        {K('N'), fader, 5130.5f, 1, 5280, -1},  // N lands on a whole twip, halves to even
        {K('V'), fader, 3700, 2, 3630, -1},
        {vk::kSlash, master, 4800, 1, 4840, 0},
        {vk::kBackslash, master, 3850, 1, 3840, 0xFFFFFFFFu},
        {vk::kColon, monitor, 4790, 1, 4840, -1},
        {vk::kBracketRight, monitor, 3900, 1, 3840, -1},
    };
    for (const Limit& c : limits) {
        SCOPED_TRACE(::testing::Message() << "key " << c.key << " from " << c.from);
        KeyRig r;
        mixer::Knob& knob = c.knob(r);
        const bool fromLeft = &knob == &r.mixer.faderKnob();
        fromLeft ? knob.setLeft(c.from) : knob.setTop(c.from);
        for (int i = 0; i < c.taps; ++i) r.tap(c.key);
        EXPECT_EQ(fromLeft ? knob.left() : knob.top(), c.to);
        if (c.output >= 0) {
            EXPECT_EQ(r.master.value, c.output);
        }
    }
}

TEST(KeyboardTest, PanKeysStopAtTheEndsOfThePanBase) {
    // A drag reaches the ends of the base; the keys stop there too, without snapping to a hard pan.
    const int leftBalance[2] = {-718, -688};
    const int rightBalance[2] = {618, 648};
    for (int d = 0; d < 2; ++d) {
        KeyRig r;
        if (d == 1) r.keyboard.focuschangeB();
        const mixer::Knob& pan = r.mixer.panKnob(d);
        for (int i = 0; i < 40; ++i) r.tap(K('Z'));
        EXPECT_EQ(pan.left(), pan.base().left - pan.width() / 2);
        EXPECT_EQ(r.fake(d).pan, leftBalance[d]);
        for (int i = 0; i < 80; ++i) r.tap(K('X'));
        EXPECT_EQ(pan.left(), pan.base().left + pan.base().width - pan.width() / 2);
        EXPECT_EQ(r.fake(d).pan, rightBalance[d]);
    }
}

TEST(KeyboardTest, PitchKeyFromTheCentreReachesItsLimitAndTheTempoMemoryFollows) {
    KeyRig r;
    r.ticks(10);  // the load's pitch update has had its wait
    for (int i = 0; i < 151; ++i) {
        r.tap(K('A'));
        r.ticks(1);
    }
    r.ticks(10);
    EXPECT_EQ(r.mixer.pitchKnob(0).top(), 1500.0f);
    EXPECT_EQ(r.list(0).currentField(kTempo), QStringLiteral(" 70"));
    EXPECT_EQ(r.mixer.view().pitchper[0], QStringLiteral("-20.0%"));
    EXPECT_FLOAT_EQ(static_cast<float>(r.fake(0).rateSet), 0.8f);
}

TEST(KeyboardTest, UpAndDownStepSongsOnAPlayingDeckAndMoveTheCueOnAPausedOne) {
    KeyRig r;
    r.list(0).select(2);
    r.transport.loadsong(0);
    r.playing(0);
    r.tap(vk::kDown);
    EXPECT_EQ(r.list(0).current(), 0);
    EXPECT_EQ(r.fake(0).file, "/music/0one");
    EXPECT_EQ(r.fake(0).state, 1);

    r.pausedAt(0, 0.0025);
    r.tap(vk::kDown);
    EXPECT_DOUBLE_EQ(r.record(0).cuepos, 0.0015);
    EXPECT_DOUBLE_EQ(r.fake(0).position, 0.0015);
    r.tap(vk::kDown);
    r.tap(vk::kDown);
    EXPECT_EQ(r.record(0).cuepos, 0.0);
    EXPECT_EQ(r.fake(0).position, 0.0);
    EXPECT_EQ(r.transport.view(0).text2, deck::deckTimeText(0.0, 200.0, false));
    r.tap(vk::kUp);
    EXPECT_DOUBLE_EQ(r.record(0).cuepos, 0.001);
    EXPECT_EQ(r.list(0).current(), 0);
}

TEST(KeyboardTest, PageUpSearchesUntilReleasedOrMovesThePausedCueOnEveryRepeat) {
    KeyRig r;
    r.playing(0);
    r.fake(0).position = 10.0;
    r.press(vk::kPageUp);
    r.autoRepeat(vk::kPageUp);
    r.ticks(4);  // a search step every second tick
    EXPECT_TRUE(r.record(0).searchfwd);
    EXPECT_DOUBLE_EQ(r.fake(0).position, 11.0);
    r.release(vk::kPageUp);
    r.ticks(4);
    EXPECT_FALSE(r.record(0).searchfwd);
    EXPECT_DOUBLE_EQ(r.fake(0).position, 11.0);

    r.pausedAt(1, 20.0);
    r.keyboard.focuschangeB();
    r.press(vk::kPageUp);
    r.autoRepeat(vk::kPageUp);
    r.autoRepeat(vk::kPageUp);
    EXPECT_NEAR(r.record(1).cuepos, 20.03, 1e-9);
    EXPECT_NEAR(r.fake(1).position, 20.03, 1e-9);
    r.release(vk::kPageUp);
    EXPECT_FALSE(r.record(1).searchfwd);
    r.press(vk::kPageDown);
    EXPECT_NEAR(r.record(1).cuepos, 20.02, 1e-9);
    r.release(vk::kPageDown);

    // The cue never passes the end of the song.
    r.pausedAt(1, 199.995);
    r.tap(vk::kPageUp);
    EXPECT_EQ(r.record(1).cuepos, 200.0);
}

TEST(KeyboardTest, ReleasesReachTheDeckTheKeyPressedAndFocusLossReleasesAll) {
    // A search started by the key ends on its release, though the deck was paused while it was held.
    KeyRig r;
    r.playing(0);
    r.press(vk::kPageDown);
    r.press(vk::kBackspace);
    r.release(vk::kBackspace);
    r.release(vk::kPageDown);
    EXPECT_FALSE(r.record(0).searchback);

    // ... or the keyboard moved to the other deck.
    r.transport.PLAYBTNON(0);
    r.press(vk::kPageUp);
    r.tap(vk::kRight);
    r.release(vk::kPageUp);
    EXPECT_FALSE(r.record(0).searchfwd);
    EXPECT_FALSE(r.record(1).searchfwd);

    // The CUE key previews deck A; deck B takes the keyboard meanwhile; the release ends A's preview.
    KeyRig c;
    c.tap(vk::kEnter);
    c.press(vk::kEnter);
    EXPECT_EQ(c.fake(0).state, 2);
    c.tap(vk::kRight);
    c.release(vk::kEnter);
    EXPECT_NE(c.fake(0).state, 2);
    EXPECT_TRUE(c.record(0).cuestandby);
    EXPECT_FALSE(c.record(1).cuestandby);

    KeyRig f;
    f.sampler.silencer[0] = 1;
    f.playing(0);
    f.press(vk::kPageUp);
    f.press(vk::kDigit1);
    f.keyboard.focusLost();
    EXPECT_FALSE(f.record(0).searchfwd);
    EXPECT_FALSE(f.keyboard.slotKeyHeld(0));
    EXPECT_FALSE(f.playerA.muted);
    EXPECT_TRUE(f.keyboard.heldKeys().downKeys().empty());
    f.tap(K('Q'));  // Page Up no longer runs
    EXPECT_FALSE(f.record(0).searchfwd);
}

TEST(KeyCodesTest, QtKeysMapToTheCodesTheHandlersUse) {
    EXPECT_EQ(virtualKey(Qt::Key_Return, false), 13);
    EXPECT_EQ(virtualKey(Qt::Key_Enter, true), 13);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(virtualKey(Qt::Key_1 + i, true), 97 + i);
        EXPECT_EQ(virtualKey(Qt::Key_1 + i, false), 49 + i);
    }
    for (int i = 0; i < 26; ++i) EXPECT_EQ(virtualKey(Qt::Key_A + i, false), 65 + i);
    EXPECT_EQ(virtualKey(Qt::Key_Slash, false), 191);
    EXPECT_EQ(virtualKey(Qt::Key_Question, false), 191);
    // The Japanese keyboard's shifted keys (its own scan codes) are checked through the real window.
    const std::vector<std::pair<int, int>> named = {
        {Qt::Key_Backspace, 8},     {Qt::Key_Space, 32},  {Qt::Key_PageUp, 33},     {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},          {Qt::Key_Left, 37},   {Qt::Key_Up, 38},         {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},         {Qt::Key_Delete, 46}, {Qt::Key_Backslash, 226}, {Qt::Key_Colon, 186},
        {Qt::Key_BracketRight, 221}};
    for (const auto& [qt, code] : named) EXPECT_EQ(virtualKey(qt, false), code) << qt;
    // The keypad's own keys are not the main keyboard's; without Num Lock its digits are cursor keys.
    EXPECT_EQ(virtualKey(Qt::Key_Slash, true), 0);
    EXPECT_EQ(virtualKey(Qt::Key_Asterisk, true), 0);
    EXPECT_EQ(virtualKey(Qt::Key_9, true), 0);
    EXPECT_EQ(virtualKey(Qt::Key_End, true), 35);
    EXPECT_EQ(virtualKey(Qt::Key_Shift, false), 0);
}

}  // namespace
}  // namespace korvex::control
