// The MIDI mapping file and the message stream: what a line binds, which lines are refused and why, how
// buttons, absolute, 14-bit and relative controls reach their operations, soft takeover, and the lights sent
// only on change.

#include <gtest/gtest.h>

#include "control/midi/midi_control.h"
#include "control/midi/player_operations.h"
#include "mixer/knob_geometry.h"

namespace korvex::midi {
namespace {

// A control with one button operation and one knob (whose position the test sets, as a mouse would).
struct Rig {
    MidiControl control;
    std::vector<std::pair<int, bool>> presses;  // argument, pressed
    std::vector<double> values;
    std::vector<double> wheel;
    double knob = 0.5;
    bool lit = false;

    Rig() {
        control.addOperation({QStringLiteral("play"),
                              ArgKind::kDeck,
                              Operation::Kind::kButton,
                              [this](const MidiInput& in) { presses.emplace_back(in.argument, in.pressed); },
                              {},
                              {}});
        control.addOperation({QStringLiteral("volume"),
                              ArgKind::kNone,
                              Operation::Kind::kKnob,
                              [this](const MidiInput& in) {
                                  values.push_back(in.value);
                                  knob = in.value;
                              },
                              [this](int) { return knob; },
                              {}});
        control.addOperation({QStringLiteral("jog"),
                              ArgKind::kDeck,
                              Operation::Kind::kWheel,
                              [this](const MidiInput& in) { wheel.push_back(in.delta); },
                              {},
                              {}});
        control.addState({QStringLiteral("playing"), ArgKind::kDeck, [this](int) { return lit; }});
    }
    void map(const QString& text) {
        QStringList errors;
        ASSERT_TRUE(control.setMappingText(text, errors)) << errors.join(QLatin1Char('\n')).toStdString();
    }
    void send(std::vector<std::uint8_t> bytes, const QString& port = QStringLiteral("dev:out")) {
        control.handle(port, bytes);
    }
};

TEST(MidiMapping, TheGenericMappingBindsWhatTheControllerExpects) {
    QStringList errors;
    // A catalogue that knows every name (the player's own is read in the window tests), with its argument.
    MappingCatalog any;
    any.operation = [](const QString& name) -> std::optional<ArgKind> {
        if (name == QLatin1String("sampler")) return ArgKind::kSlot;
        if (name == QLatin1String("crossfader") || name == QLatin1String("master") ||
            name == QLatin1String("monitor") || name == QLatin1String("phones-mix"))
            return ArgKind::kNone;
        return ArgKind::kDeck;
    };
    any.state = any.operation;
    const std::optional<Mapping> mapping = readMapping(genericMappingText(), any, errors);
    ASSERT_TRUE(mapping) << errors.join(QLatin1Char('\n')).toStdString();
    auto bound = [&](MessageKind kind, int number, const char* op, int arg) {
        return std::any_of(mapping->bindings.begin(), mapping->bindings.end(), [&](const Binding& b) {
            return b.kind == kind && b.channel == 0 && b.number == number &&
                   b.operation == QLatin1String(op) && b.argument == arg;
        });
    };
    EXPECT_TRUE(bound(MessageKind::kNote, 60, "play", 0) && bound(MessageKind::kNote, 62, "play", 1));
    EXPECT_TRUE(bound(MessageKind::kNote, 64, "cue", 0) && bound(MessageKind::kNote, 65, "cue", 1));
    EXPECT_TRUE(bound(MessageKind::kCc, 1, "crossfader", -1));
    EXPECT_TRUE(bound(MessageKind::kCc, 7, "volume", 0) && bound(MessageKind::kCc, 8, "volume", 1));
    for (int slot = 0; slot < 8; ++slot) EXPECT_TRUE(bound(MessageKind::kNote, 36 + slot, "sampler", slot));
    // Written and read back, the same bindings.
    const std::optional<Mapping> again = readMapping(writeMapping(*mapping, any), any, errors);
    ASSERT_TRUE(again);
    ASSERT_EQ(again->bindings.size(), mapping->bindings.size());
    EXPECT_EQ(again->lights.size(), mapping->lights.size());
    for (std::size_t i = 0; i < again->bindings.size(); ++i) {
        EXPECT_EQ(again->bindings[i].operation, mapping->bindings[i].operation);
        EXPECT_EQ(again->bindings[i].number, mapping->bindings[i].number);
        EXPECT_EQ(again->bindings[i].argument, mapping->bindings[i].argument);
    }
}

TEST(MidiMapping, RefusedLinesAreNamedAndTheMappingInUseStays) {
    Rig rig;
    rig.map(QStringLiteral("note 1 60 play A"));
    QStringList errors;
    EXPECT_FALSE(rig.control.setMappingText(QStringLiteral("# fine\n"
                                                           "note 1 61 play B  # fine too\n"
                                                           "note 0 62 play A\n"
                                                           "cc 1 128 volume\n"
                                                           "note 1 63 dance A\n"
                                                           "note 1 64 play C\n"
                                                           "ccrel 1 5 jog A scale=fast\n"
                                                           "light pitch 1 3 playing A\n"
                                                           "cc14 1 40 volume\n"),
                                            errors));
    ASSERT_EQ(errors.size(), 7) << errors.join(QLatin1Char('\n')).toStdString();
    for (int line = 3; line <= 9; ++line)
        EXPECT_TRUE(errors[line - 3].startsWith(QStringLiteral("%1 行目: ").arg(line)))
            << errors[line - 3].toStdString();
    ASSERT_EQ(rig.control.mapping().bindings.size(), 1u);
    rig.send({0x90, 60, 100});
    EXPECT_EQ(rig.presses.size(), 1u) << "the old mapping still works";
}

TEST(MidiControl, ButtonsAbsoluteAndRelativeControlsReachTheirOperations) {
    Rig rig;
    rig.map(
        QStringLiteral("note 1 60 play A\n"
                       "cc 2 20 play B\n"
                       "port dj\n"
                       "note 1 61 play B\n"
                       "port *\n"
                       "cc14 1 3 volume takeover=off\n"
                       "ccrel 1 24 jog A scale=2\n"));
    rig.send({0x90, 60, 100});
    rig.send({0x90, 60, 0});    // velocity 0: the release
    rig.send({0x80, 60, 0});    // a second release of a button that is up: nothing
    rig.send({0x91, 60, 100});  // channel 2: not bound
    rig.send({0xB1, 20, 127});
    rig.send({0xB1, 20, 100});  // still down: no second press
    rig.send({0xB1, 20, 0});
    rig.send({0x90, 61, 1}, QStringLiteral("other:port"));  // another device
    rig.send({0x90, 61, 1}, QStringLiteral("MyDJ:out"));
    const std::vector<std::pair<int, bool>> expected{{0, true}, {0, false}, {1, true}, {1, false}, {1, true}};
    EXPECT_EQ(rig.presses, expected);

    rig.send({0xB0, 3, 64});    // high half
    rig.send({0xB0, 35, 127});  // low half
    ASSERT_EQ(rig.values.size(), 2u);
    EXPECT_NEAR(rig.values[0], (64 << 7) / 16383.0, 1e-9);
    EXPECT_NEAR(rig.values[1], ((64 << 7) | 127) / 16383.0, 1e-9);

    rig.send({0xB0, 24, 3});
    rig.send({0xB0, 24, 125});  // -3
    rig.send({0xB0, 24, 64});   // no step
    EXPECT_EQ(rig.wheel, (std::vector<double>{6.0, -6.0}));

    // Malformed: cut short, a data byte as status, system messages.
    const std::uint64_t revision = rig.control.revision();
    rig.send({0x90, 60});
    rig.send({0x60, 60, 1});
    rig.send({0xF0, 60, 1});
    rig.send({0x90, 200, 1});
    EXPECT_EQ(rig.control.revision(), revision);
}

// Only controls bound nowhere but relatively to a knob or a wheel may be summed on the port's thread; a
// sum works them as its messages one by one would (the jog's steps add up, an encoder's knob clamps alike).
TEST(MidiControl, OnlyPurelyRelativeControlsAreSummedAndASumWorksLikeItsSteps) {
    Rig rig;
    rig.map(
        QStringLiteral("ccrel 1 24 jog A scale=2\n"
                       "ccrel 2 25 volume\n"
                       "ccrel 1 26 play A\n"
                       "ccrel 1 27 jog B\n"
                       "port dj\n"
                       "cc 1 27 volume\n"
                       "port *\n"
                       "cc14 1 8 volume\n"
                       "ccrel 1 8 jog B\n"));
    EXPECT_EQ(rig.control.relativeControls(), (std::vector<int>{24, 128 + 25}));

    rig.control.handleSteps(QStringLiteral("x"), 0, 24, -7);
    EXPECT_EQ(rig.wheel, (std::vector<double>{-14.0}));
    rig.knob = 0.98;
    rig.control.handleSteps(QStringLiteral("x"), 1, 25, 10);
    ASSERT_EQ(rig.values.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.values[0], 1.0) << "clamped at the end, as ten single steps are";

    // While learning, a sum is the control moved.
    std::vector<LearnedControl> learnt;
    rig.control.onLearn = [&](const LearnedControl& c) { learnt.push_back(c); };
    rig.control.handleSteps(QStringLiteral("dj:1"), 0, 24, 3);
    ASSERT_EQ(learnt.size(), 1u);
    EXPECT_EQ(learnt[0].kind, MessageKind::kCc);
    EXPECT_EQ(learnt[0].number, 24);
    EXPECT_EQ(rig.wheel.size(), 1u);
}

TEST(MidiControl, AnAbsoluteKnobWaitsUntilItPassesTheKnobOnScreen) {
    Rig rig;
    rig.map(QStringLiteral("cc 1 7 volume\ncc 1 8 volume invert=on takeover=off"));
    rig.knob = 0.5;
    rig.send({0xB0, 7, 10});
    rig.send({0xB0, 7, 40});
    EXPECT_TRUE(rig.values.empty()) << "below the knob: held";
    rig.send({0xB0, 7, 90});  // passed it between two messages
    ASSERT_EQ(rig.values.size(), 1u);
    rig.send({0xB0, 7, 100});
    EXPECT_EQ(rig.values.size(), 2u);
    // The knob moved by the mouse: the control must come to it again.
    rig.knob = 0.1;
    rig.send({0xB0, 7, 110});
    EXPECT_EQ(rig.values.size(), 2u);
    rig.send({0xB0, 7, 14});  // within the window of 0.1
    EXPECT_EQ(rig.values.size(), 3u);
    // Without takeover it acts at once; inverted, the top is 0.
    rig.send({0xB0, 8, 127});
    EXPECT_DOUBLE_EQ(rig.values.back(), 0.0);
}

TEST(MidiControl, LightsAreSentOnChangeToEachPort) {
    Rig rig;
    rig.map(QStringLiteral("light note 1 60 playing A on=100\nlight cc 3 9 playing A off=5"));
    const QStringList ports{QStringLiteral("a"), QStringLiteral("b")};
    auto first = rig.control.lights(ports);
    ASSERT_EQ(first.size(), 4u) << "every light once to each port";
    EXPECT_EQ(first[0].bytes, (std::vector<std::uint8_t>{0x90, 60, 0}));
    EXPECT_EQ(first[1].bytes, (std::vector<std::uint8_t>{0xB2, 9, 5}));
    EXPECT_TRUE(rig.control.lights(ports).empty()) << "nothing changed";
    rig.lit = true;
    auto second = rig.control.lights({QStringLiteral("a")});
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].bytes, (std::vector<std::uint8_t>{0x90, 60, 100}));
    // Port b was away; back, it gets all of them.
    EXPECT_EQ(rig.control.lights(ports).size(), 2u);
}

TEST(MidiControl, KnobDragsLandWhereTheirPositionReadsBack) {
    for (const mixer::KnobDesign& design :
         {mixer::geometry::volume(0), mixer::geometry::pan(1), mixer::geometry::trim(0),
          mixer::geometry::fader(), mixer::geometry::pitch(1), mixer::geometry::master(1)}) {
        mixer::Knob knob(design);
        for (const double v : {0.0, 0.25, 0.5, 0.8, 1.0}) {
            PlayerOperations::dragKnob(knob, v);
            EXPECT_NEAR(PlayerOperations::knobPosition(knob), v, 0.02)
                << static_cast<int>(design.kind) << " at " << v;
        }
    }
}

}  // namespace
}  // namespace korvex::midi
