// A MIDI controller worked into the running player through a JACK server of the test's own (dummy back
// end): the test's virtual port plays deck A, moves the volume knob (soft takeover first), turns the jog,
// gets the lights, is let go and picked up again; malformed and unbound messages change nothing; a broken
// mapping file is named with its lines; MIDI learn binds through the real dialog, whose port list follows
// ports plugged in and out; a jog spun hard is summed and moves the deck as its single steps do; a JACK
// server killed and started again is let go and picked up.

#include <gtest/gtest.h>

#include <rtmidi/RtMidi.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>
#include <numeric>

#include "mixer/knob_geometry.h"
#include "support/jack_server.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// Sound in the last `seconds` of the mix (RMS of the left channel).
double heardLevel(const QString& wav, double seconds = 0.2) {
    const std::vector<float> mix = readSound(wav.toStdString());
    const auto n = static_cast<std::size_t>(seconds * 44100);
    if (mix.size() / 2 < n) return 0.0;
    return rms(channel(mix, 0, mix.size() / 2 - n, n));
}

class MidiWindow : public WavWindowTest {
protected:
    void SetUp() override {
        jack_ = std::make_unique<JackServer>();
        ASSERT_TRUE(jack_->up()) << jack_->log().toStdString();
        extraArgs_.push_back("--midi-api=jack");
        WavWindowTest::SetUp();
        plugIn();
        lamps_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "lamps");
        lamps_->openVirtualPort("in");
        midi().ports().rescan();
        ASSERT_TRUE(midi().ports().openInputs().contains(QStringLiteral("ctl:pads")))
            << midi().ports().availableInputs().join(QLatin1Char(',')).toStdString();
    }
    void TearDown() override {
        controller_.reset();
        lamps_.reset();
        WavWindowTest::TearDown();
        app_.reset();
        jack_.reset();
    }
    midi::MidiSession& midi() { return app_->midi(); }
    void plugIn() {
        controller_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "ctl");
        controller_->openVirtualPort("pads");
    }
    // Sends a message and lets the player take it (the JACK cycle, then the queued call).
    void send(std::vector<unsigned char> bytes) {
        const std::uint64_t before = delivered_;
        controller_->sendMessage(&bytes);
        ++delivered_;
        // A marker the player ignores (an unbound note on channel 16) shows that everything before it
        // arrived.
        std::vector<unsigned char> marker{0x9F, 0x7F, static_cast<unsigned char>(delivered_ % 100 + 1)};
        controller_->sendMessage(&marker);
        EXPECT_TRUE(QTest::qWaitFor([&] { return seenMarker_ > before; }, 3000));
    }
    void watchMarkers() {
        midi().ports().onMessage = [this, inner = midi().ports().onMessage](
                                       const QString& port, std::span<const std::uint8_t> bytes) {
            if (bytes.size() == 3 && bytes[0] == 0x9F && bytes[1] == 0x7F) ++seenMarker_;
            inner(port, bytes);
        };
    }
    // What the lamps' port got so far.
    std::vector<std::vector<unsigned char>> lampMessages() {
        std::vector<std::vector<unsigned char>> all;
        std::vector<unsigned char> m;
        for (;;) {
            lamps_->getMessage(&m);
            if (m.empty()) break;
            all.push_back(m);
        }
        return all;
    }

    // Loads a song on deck A, played and paused again by the controller (the jog then moves its position).
    void loadAndPause() {
        const QString path = toneFile(dir_.path(), QStringLiteral("a.wav"), 440.0, 30.0);
        auto* list = window().titleList(0);
        dropFiles(list->viewport(), {path});
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(0)).center());
        for (int i = 0; i < 2; ++i) {
            send({0x90, 60, 100});
            send({0x80, 60, 0});
        }
        ASSERT_TRUE(player().transport().record(0).deckheld) << "paused";
    }

    std::unique_ptr<JackServer> jack_;
    std::unique_ptr<RtMidiOut> controller_;
    std::unique_ptr<RtMidiIn> lamps_;
    std::uint64_t delivered_ = 0;
    std::uint64_t seenMarker_ = 0;
};

TEST_F(MidiWindow, TheControllerPlaysMovesKnobsTurnsTheJogAndGetsItsLights) {
    watchMarkers();
    const QString path = toneFile(dir_.path(), QStringLiteral("a.wav"), 440.0, 30.0);
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {path});
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    lampMessages();

    // Note 60 on channel 1: Play of deck A, heard in the mix; its light goes on.
    send({0x90, 60, 100});
    send({0x80, 60, 0});
    EXPECT_EQ(player().player(0).playState(), deck::kPlaying);
    recordFor(wav_, 0.4);
    EXPECT_GT(heardLevel(wav_), 0.05);
    std::vector<std::vector<unsigned char>> lamps;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (auto& m : lampMessages()) lamps.push_back(m);
            return std::find(lamps.begin(), lamps.end(), std::vector<unsigned char>{0x90, 60, 127}) !=
                   lamps.end();
        },
        3000));
    // Sent only on change: no second "playing" light while nothing changes.
    player().refresh();
    recordFor(wav_, 0.1);
    for (auto& m : lampMessages()) EXPECT_NE(m, (std::vector<unsigned char>{0x90, 60, 127}));

    // CC 7: deck A's volume. The knob stands at the top; a fader at the bottom does nothing until it has
    // come up to the knob (soft takeover), then the knob and the engine's level follow it.
    mixer::Knob& volume = player().mixer().volumeKnob(0);
    const float top = volume.top();
    const int level = player().player(0).volume();
    send({0xB0, 7, 0});
    send({0xB0, 7, 40});
    EXPECT_EQ(volume.top(), top) << "soft takeover holds";
    EXPECT_EQ(player().player(0).volume(), level);
    send({0xB0, 7, 126});
    send({0xB0, 7, 32});
    EXPECT_GT(volume.top(), top + 500) << "taken over: the knob follows";
    EXPECT_LT(player().player(0).volume(), level - 1000);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::abs(window().picture("Volbtn", 0)->y() * 15.0 - volume.top()) <= 15.0; }, 1000))
        << "the window's indicator";

    // Malformed, unbound and other-channel messages change nothing.
    const std::uint64_t revision = midi().control().revision();
    send({0x90, 61, 100});
    send({0x91, 60, 100});
    send({0xB0, 99, 10});
    send({0xF8});
    EXPECT_EQ(midi().control().revision(), revision);
    EXPECT_EQ(player().player(0).playState(), deck::kPlaying);

    // The jog (relative CC 24) moves a paused deck's position as the on-screen jog does, 128 steps a turn.
    send({0x90, 60, 100});
    send({0x80, 60, 0});
    ASSERT_TRUE(player().transport().record(0).deckheld) << "paused";
    const double at = player().transport().record(0).cuepos;
    send({0xB0, 24, 63});
    send({0xB0, 24, 63});
    send({0xB0, 24, 2});
    EXPECT_NEAR(player().transport().record(0).cuepos - at, 4 * 0.133, 0.002)
        << "a whole turn: four quarters";
    send({0xB0, 24, 118});
    EXPECT_LT(player().transport().record(0).cuepos - at, 4 * 0.133 - 0.01) << "ten steps back";
    midi().operations().releaseJogs();

    // Unplugged: let go within 2 s; plugged in again: picked up within 2 s and working (the player's own
    // look, once a second).
    const auto open = [this] { return midi().ports().openInputs().contains(QStringLiteral("ctl:pads")); };
    controller_.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !open(); }, 2000));
    plugIn();
    ASSERT_TRUE(QTest::qWaitFor(open, 2000));
    send({0x90, 60, 100});
    EXPECT_FALSE(player().transport().record(0).deckheld) << "playing again";
}

TEST_F(MidiWindow, ABrokenMappingSaysWhichLinesAndTheMappingInUseStays) {
    const QString file = dir_.filePath(QStringLiteral("broken.midimap"));
    writeLines(file, {QStringLiteral("note 1 60 play A"), QStringLiteral("note 17 61 play B"),
                      QStringLiteral("cc 1 7 loudness A"), QStringLiteral("ccrel 1 24 jog C")});
    QString message;
    EXPECT_FALSE(midi().loadMapping(file, message));
    EXPECT_TRUE(message.contains(QStringLiteral("2 行目")) && message.contains(QStringLiteral("3 行目")) &&
                message.contains(QStringLiteral("4 行目")) && !message.contains(QStringLiteral("1 行目")))
        << message.toStdString();
    EXPECT_EQ(midi().mappingPath(), QString()) << "the generic mapping stays";
    EXPECT_EQ(midi().control().mapping().bindings.size(), 50u);
}

TEST_F(MidiWindow, LearnBindsTheMovedControlAndSavesTheMapping) {
    watchMarkers();
    app_->showConfiguration();
    click(app_->configurationWindow()->midiButton());
    midi::MidiWindow* dialog = app_->midiWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->portList()->findItems(QStringLiteral("ctl:pads"), Qt::MatchExactly).size() == 1);
    const auto rows = dialog->operationList()->findItems(QStringLiteral("（keylock A）"), Qt::MatchEndsWith);
    ASSERT_EQ(rows.size(), 1);
    dialog->operationList()->setCurrentItem(rows.first());
    click(dialog->learnButton());
    send({0xB0, 30, 127});
    EXPECT_FALSE(player().mixer().keylocked(0)) << "learning works nothing";
    EXPECT_TRUE(dialog->status()->text().contains(QStringLiteral("cc 1 30")))
        << dialog->status()->text().toStdString();
    send({0xB0, 30, 0});
    send({0xB0, 30, 127});
    EXPECT_TRUE(player().mixer().keylocked(0)) << "the learnt control works the operation";

    const QString file = dir_.filePath(QStringLiteral("mine.midimap"));
    dialog->askSavePath = [file] { return file; };
    click(dialog->saveButton());
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_TRUE(text.contains("cc 1 30 keylock A\n")) << text.constData();
    EXPECT_TRUE(text.contains("note 1 60 play A\n"));
    EXPECT_EQ(midi().mappingPath(), file);
    const QByteArray settings = leaveSavingAndReadKorvexSettings();
    EXPECT_TRUE(settings.contains("midi-mapping=" + file.toUtf8())) << settings.constData();
    // The tests of one process share the settings folder: the next player must not look for this test's file.
    QFile::remove(korvexSettingsFile());
}

TEST_F(MidiWindow, AJogSpunHardIsSummedAndMovesTheDeckAsItsSingleStepsDo) {
    watchMarkers();
    loadAndPause();
    // What reaches the control: summed steps and messages, in order.
    std::vector<int> seen;  // steps, or 1000 for the unbound note between them
    midi().ports().onSteps = [this, &seen, inner = midi().ports().onSteps](const QString& port, int channel,
                                                                           int number, int steps) {
        seen.push_back(steps);
        inner(port, channel, number, steps);
    };
    const auto inner = midi().ports().onMessage;
    midi().ports().onMessage = [&seen, inner](const QString& port, std::span<const std::uint8_t> bytes) {
        if (bytes[0] == 0x9E) seen.push_back(1000);
        inner(port, bytes);
    };
    // Forty steps on, a note, two on, twelve back and three on, all within one JACK cycle (one burst).
    std::vector<std::vector<unsigned char>> burst;
    for (int i = 0; i < 20; ++i) burst.push_back({0xB0, 24, static_cast<unsigned char>(i % 2 == 0 ? 1 : 3)});
    burst.push_back({0x9E, 10, 100});
    for (int i = 0; i < 2; ++i) burst.push_back({0xB0, 24, 1});
    for (int i = 0; i < 12; ++i) burst.push_back({0xB0, 24, 127});
    burst.push_back({0xB0, 24, 3});
    const double at = player().transport().record(0).cuepos;
    for (std::size_t i = 0; i + 1 < burst.size(); ++i) controller_->sendMessage(&burst[i]);
    send(burst.back());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::accumulate(seen.begin(), seen.end(), 0) == 1000 + 42 - 9; }, 1000));
    const double summed = player().transport().record(0).cuepos - at;
    const auto note = std::find(seen.begin(), seen.end(), 1000);
    ASSERT_NE(note, seen.end());
    EXPECT_EQ(std::accumulate(seen.begin(), note, 0), 40)
        << "the steps before the note are handled before it";
    EXPECT_LE(seen.size(), 8u) << "35 steps in a handful of sums";
    EXPECT_EQ(std::accumulate(note, seen.end(), 0, [](int sum, int s) { return s < 0 ? sum + s : sum; }), -12)
        << "a sum goes one way only";
    midi().operations().releaseJogs();

    // The same steps one at a time, each handed over alone: the deck moves exactly as far.
    const double from = player().transport().record(0).cuepos;
    for (const auto& m : burst)
        if (m[0] == 0xB0) send(m);
    EXPECT_NEAR(player().transport().record(0).cuepos - from, summed, 1e-9);
    EXPECT_GT(summed, 0.1);
}

TEST_F(MidiWindow, TheDialogsPortListFollowsPortsPluggedInAndOut) {
    app_->showConfiguration();
    click(app_->configurationWindow()->midiButton());
    midi::MidiWindow* dialog = app_->midiWindow();
    ASSERT_NE(dialog, nullptr);
    const auto listed = [dialog](const char* name) {
        return dialog->portList()->findItems(QString::fromLatin1(name), Qt::MatchExactly).size() == 1;
    };
    EXPECT_TRUE(listed("ctl:pads"));
    auto other = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "deck2");
    other->openVirtualPort("knobs");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed("deck2:knobs"); }, 2000));
    // Unticked, so no longer opened: it still goes from the list and comes back to it, unticked.
    dialog->portList()->findItems(QStringLiteral("deck2:knobs"), Qt::MatchExactly)[0]->setCheckState(
        Qt::Unchecked);
    other.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !listed("deck2:knobs"); }, 2000));
    EXPECT_TRUE(listed("ctl:pads"));
    other = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "deck2");
    other->openVirtualPort("knobs");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed("deck2:knobs"); }, 2000));
    QListWidgetItem* item = dialog->portList()->findItems(QStringLiteral("deck2:knobs"), Qt::MatchExactly)[0];
    EXPECT_EQ(item->checkState(), Qt::Unchecked);
    EXPECT_FALSE(midi().ports().openInputs().contains(QStringLiteral("deck2:knobs")));
    // Every port again (the choice is kept in the settings the tests share).
    item->setCheckState(Qt::Checked);
    other.reset();
}

TEST_F(MidiWindow, AJackServerRestartedDuringASetIsLetGoAndPickedUpAgain) {
    watchMarkers();
    loadAndPause();
    // The user-interface thread keeps turning all along: the longest gap between ticks of a 20 ms timer.
    QElapsedTimer since;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, since.restart()); });
    since.start();
    ticks.start(20);

    // The test's own clients go first (RtMidi cannot close a port of a server that died); Korvex's ports stay
    // open (it looks once a second) when the server is killed.
    controller_.reset();
    lamps_.reset();
    ASSERT_TRUE(midi().ports().openInputs().contains(QStringLiteral("ctl:pads")));
    jack_->kill();
    const auto open = [this] { return midi().ports().openInputs().contains(QStringLiteral("ctl:pads")); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return !open() && midi().ports().openOutputs().isEmpty(); }, 3000))
        << "let go";
    // Its clients closed (JACK's library must not open the test's own probe meanwhile).
    EXPECT_TRUE(QTest::qWaitFor([this] { return !midi().ports().lettingGo(); }, 5000));
    EXPECT_LT(longest, 300) << "no stall while the server is gone";
    ASSERT_TRUE(jack_->start()) << jack_->log().toStdString();
    QElapsedTimer back;
    back.start();
    since.restart();
    longest = 0;
    plugIn();
    ASSERT_TRUE(QTest::qWaitFor(open, 3000));
    EXPECT_LT(back.elapsed(), 2000) << "open again within 2 s of the server's return";
    send({0x90, 60, 100});
    send({0x80, 60, 0});
    EXPECT_EQ(player().player(0).playState(), deck::kPlaying) << "the note plays deck A again";
    EXPECT_LT(longest, 300) << "no stall when it is back";
}

}  // namespace
}  // namespace korvex::test
