#include "control/midi/player_operations.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mixer/equalizer.h"
#include "mixer/headphones.h"

namespace korvex::midi {
namespace {

using Kind = Operation::Kind;

// The largest turn a single move of the jog may make: the mixer counts its quarters from one move to the
// next, so a move must stay well inside one.
constexpr double kJogMoveLimit = 1.0 / 8.0;

// A point of the jog's circle `turns` round from its top, base-relative.
std::pair<float, float> jogPoint(const mixer::Knob& jog, double turns) {
    const mixer::TwipBox& b = jog.base();
    const double r = std::min(b.width, b.height) / 4.0;
    const double a = 2.0 * std::numbers::pi * turns;
    return {static_cast<float>(b.width / 2 + r * std::sin(a)),
            static_cast<float>(b.height / 2 - r * std::cos(a))};
}

// Where a linear knob's indicator (its Top or Left) stands at the bottom or left end of its travel and at the
// other end: the clamp's ends where it has one, else where a drag to the base's ends puts it.
std::pair<float, float> travel(const mixer::Knob& knob) {
    const mixer::KnobDesign& d = knob.design();
    if (d.clamped) return {d.low, d.high};
    if (d.kind == mixer::KnobKind::kVertical)
        return {d.base.top - knob.height() / 2, d.base.top + d.base.height - knob.height() / 2};
    return {d.base.left - knob.width() / 2, d.base.left + d.base.width - knob.width() / 2};
}

}  // namespace

double PlayerOperations::knobPosition(const mixer::Knob& knob) {
    const mixer::TwipBox& b = knob.base();
    double v = 0.0;
    switch (knob.design().kind) {
        case mixer::KnobKind::kVertical: {
            const auto [upper, lower] = travel(knob);
            v = (lower - knob.top()) / (lower - upper);
            break;
        }
        case mixer::KnobKind::kHorizontal: {
            const auto [left, right] = travel(knob);
            v = (knob.left() - left) / (right - left);
            break;
        }
        case mixer::KnobKind::kTrim: {
            // The needle swings over the upper half circle: its horizontal reach tells the angle.
            const double reach = b.height / 4 + 10;
            const double u = std::clamp((knob.lineX2() - knob.lineX1()) / reach, -1.0, 1.0);
            v = std::asin(u) / std::numbers::pi + 0.5;
            break;
        }
        case mixer::KnobKind::kJog:
            break;
    }
    return std::clamp(v, 0.0, 1.0);
}

void PlayerOperations::dragKnob(mixer::Knob& knob, double value) {
    const mixer::TwipBox& b = knob.base();
    const auto v = static_cast<float>(std::clamp(value, 0.0, 1.0));
    switch (knob.design().kind) {
        case mixer::KnobKind::kVertical: {
            // The point a drag would put the indicator's centre on, kept on the base (the pitch's bounds).
            const auto [upper, lower] = travel(knob);
            const float top = lower - v * (lower - upper);
            knob.updatePosition(b.width / 2, std::clamp(top + knob.height() / 2 - b.top, 0.0f, b.height));
            break;
        }
        case mixer::KnobKind::kHorizontal: {
            const auto [left, right] = travel(knob);
            const float at = left + v * (right - left);
            knob.updatePosition(std::clamp(at + knob.width() / 2 - b.left, 0.0f, b.width), b.height / 2);
            break;
        }
        case mixer::KnobKind::kTrim: {
            const double a = (v - 0.5) * std::numbers::pi;
            knob.updatePosition(static_cast<float>(b.width / 2 + std::sin(a) * b.height / 2),
                                static_cast<float>(b.height / 2 - std::cos(a) * b.height / 2));
            break;
        }
        case mixer::KnobKind::kJog:
            break;
    }
}

PlayerOperations::PlayerOperations(MidiControl& control, PlayerTargets targets) : t_(std::move(targets)) {
    for (int deck = 0; deck < 2; ++deck) {
        QTimer& timer = jogRelease_[static_cast<std::size_t>(deck)];
        timer.setSingleShot(true);
        timer.setInterval(kJogReleaseMs);
        QObject::connect(&timer, &QTimer::timeout, [this, deck] {
            if (!jogHeld_[static_cast<std::size_t>(deck)]) return;
            jogHeld_[static_cast<std::size_t>(deck)] = false;
            t_.mixer.jogKnob(deck).release(mixer::KnobPart::kBase, mixer::kLeftButton, 0, 0);
        });
    }
    addButtons(control);
    addKnobs(control);
    addStates(control);
}

void PlayerOperations::releaseJogs() {
    for (QTimer& timer : jogRelease_) {
        if (!timer.isActive()) continue;
        timer.stop();
        timer.timeout({});
    }
}

void PlayerOperations::turnJog(int deck, double steps) {
    const auto d = static_cast<std::size_t>(deck);
    mixer::Knob& jog = t_.mixer.jogKnob(deck);
    if (!jogHeld_[d]) {
        jogHeld_[d] = true;
        jogTurns_[d] = 0.0;
        const auto [x, y] = jogPoint(jog, 0.0);
        jog.press(mixer::KnobPart::kBase, mixer::kLeftButton, x, y);
    }
    double left = steps * kJogTurnPerStep;
    while (left != 0.0) {
        const double move = std::clamp(left, -kJogMoveLimit, kJogMoveLimit);
        jogTurns_[d] += move;
        left -= move;
        const auto [x, y] = jogPoint(jog, jogTurns_[d]);
        jog.move(mixer::KnobPart::kBase, mixer::kLeftButton, x, y);
    }
    jogRelease_[d].start();
}

void PlayerOperations::addButtons(MidiControl& control) {
    deck::DeckTransport& transport = t_.transport;
    mixer::Mixer& mixer = t_.mixer;
    // A button that acts on its press only.
    auto onPress = [&control](const char* name, ArgKind arg, const QString& caption,
                              std::function<void(int)> act) {
        control.addOperation({QString::fromLatin1(name),
                              arg,
                              Kind::kButton,
                              [act = std::move(act)](const MidiInput& in) {
                                  if (in.pressed) act(in.argument);
                              },
                              {},
                              caption});
    };
    auto pressRelease = [&control](const char* name, ArgKind arg, const QString& caption,
                                   std::function<void(int)> press, std::function<void(int)> release) {
        control.addOperation({QString::fromLatin1(name),
                              arg,
                              Kind::kButton,
                              [press = std::move(press), release = std::move(release)](const MidiInput& in) {
                                  (in.pressed ? press : release)(in.argument);
                              },
                              {},
                              caption});
    };
    pressRelease(
        "play", ArgKind::kDeck, QStringLiteral("再生／一時停止"),
        [&transport](int d) { transport.playPress(d); }, [&transport](int d) { transport.playRelease(d); });
    pressRelease(
        "cue", ArgKind::kDeck, QStringLiteral("CUE"), [&transport](int d) { transport.cuePress(d); },
        [&transport](int d) { transport.cueRelease(d); });
    pressRelease(
        "stop", ArgKind::kDeck, QStringLiteral("停止"), [&transport](int d) { transport.stopPress(d); },
        [&transport](int d) {
            transport.stopRelease(d);
            transport.stopdeck(d);
        });
    pressRelease(
        "search-back", ArgKind::kDeck, QStringLiteral("サーチ（戻る）"),
        [&mixer](int d) { mixer.searchLPress(d); }, [&mixer](int d) { mixer.searchLRelease(d); });
    pressRelease(
        "search-forward", ArgKind::kDeck, QStringLiteral("サーチ（進む）"),
        [&mixer](int d) { mixer.searchRPress(d); }, [&mixer](int d) { mixer.searchRRelease(d); });
    onPress("sync", ArgKind::kDeck, QStringLiteral("SYNC"), [this](int d) { t_.sync.sync(d); });
    onPress("keylock", ArgKind::kDeck, QStringLiteral("キーロック"),
            [&mixer](int d) { mixer.toggleKeylock(d); });
    onPress("pfl", ArgKind::kDeck, QStringLiteral("プリリスン（PFL）"),
            [&mixer](int d) { mixer.headphones().togglePrelisten(d); });
    const std::array<std::pair<const char*, const char*>, 3> kills{
        {{"kill-low", "LOW キル"}, {"kill-mid", "MID キル"}, {"kill-high", "HI キル"}}};
    for (int band = 0; band < 3; ++band) {
        onPress(kills[static_cast<std::size_t>(band)].first, ArgKind::kDeck,
                QString::fromUtf8(kills[static_cast<std::size_t>(band)].second),
                [&mixer, band](int d) { mixer.equalizer().toggleKill(d, band); });
    }
    // A sampler slot as its digit key plays it: the press plays, the release ends a silencer's mute.
    pressRelease(
        "sampler", ArgKind::kSlot, QStringLiteral("サンプラー"),
        [this](int slot) { t_.keyboard.samplerHooks().cmdPlay_Click(slot); },
        [this](int slot) {
            if (t_.keyboard.samplerHooks().slotsilencer(slot) != 1) return;
            t_.transport.player(0).setMute(false);
            t_.transport.player(1).setMute(false);
        });
    control::Keyboard& keyboard = t_.keyboard;
    pressRelease(
        "key", ArgKind::kKey, QStringLiteral("キー"), [&keyboard](int code) { keyboard.keyDown(code); },
        [&keyboard](int code) { keyboard.keyUp(code, false); });
    control.addOperation({QStringLiteral("jog"),
                          ArgKind::kDeck,
                          Kind::kWheel,
                          [this](const MidiInput& in) { turnJog(in.argument, in.delta); },
                          {},
                          QStringLiteral("ジョグ")});
}

void PlayerOperations::addKnobs(MidiControl& control) {
    mixer::Mixer& mixer = t_.mixer;
    auto knob = [&control](const char* name, ArgKind arg, const QString& caption,
                           std::function<mixer::Knob&(int)> which) {
        control.addOperation({QString::fromLatin1(name), arg, Kind::kKnob,
                              [which](const MidiInput& in) { dragKnob(which(in.argument), in.value); },
                              [which](int a) { return knobPosition(which(a)); }, caption});
    };
    knob("volume", ArgKind::kDeck, QStringLiteral("ボリューム"),
         [&mixer](int d) -> mixer::Knob& { return mixer.volumeKnob(d); });
    knob("pitch", ArgKind::kDeck, QStringLiteral("ピッチ"),
         [&mixer](int d) -> mixer::Knob& { return mixer.pitchKnob(d); });
    knob("pan", ArgKind::kDeck, QStringLiteral("パン"),
         [&mixer](int d) -> mixer::Knob& { return mixer.panKnob(d); });
    knob("trim", ArgKind::kDeck, QStringLiteral("トリム"),
         [&mixer](int d) -> mixer::Knob& { return mixer.trimKnob(d); });
    const std::array<std::pair<const char*, const char*>, 3> bands{
        {{"eq-low", "EQ LOW"}, {"eq-mid", "EQ MID"}, {"eq-high", "EQ HI"}}};
    for (int band = 0; band < 3; ++band) {
        knob(bands[static_cast<std::size_t>(band)].first, ArgKind::kDeck,
             QString::fromLatin1(bands[static_cast<std::size_t>(band)].second),
             [&mixer, band](int d) -> mixer::Knob& { return mixer.equalizer().knob(d, band); });
    }
    knob("crossfader", ArgKind::kNone, QStringLiteral("クロスフェーダー"),
         [&mixer](int) -> mixer::Knob& { return mixer.faderKnob(); });
    knob("master", ArgKind::kNone, QStringLiteral("マスター"),
         [&mixer](int) -> mixer::Knob& { return mixer.masterKnob(1); });
    knob("monitor", ArgKind::kNone, QStringLiteral("モニター"),
         [&mixer](int) -> mixer::Knob& { return mixer.masterKnob(0); });
    knob("phones-mix", ArgKind::kNone, QStringLiteral("ヘッドホン ミックス"),
         [&mixer](int) -> mixer::Knob& { return mixer.headphones().mixKnob(); });
}

void PlayerOperations::addStates(MidiControl& control) {
    deck::DeckTransport& transport = t_.transport;
    mixer::Mixer& mixer = t_.mixer;
    control.addState({QStringLiteral("playing"), ArgKind::kDeck,
                      [&transport](int d) { return transport.player(d).playState() == deck::kPlaying; }});
    // Lit as the CUE button is: steady while it previews, blinking while the deck stands by.
    control.addState({QStringLiteral("cue"), ArgKind::kDeck, [&transport](int d) {
                          return transport.view(d).cuePicture == QLatin1String("cue2.bmp");
                      }});
    control.addState(
        {QStringLiteral("keylock"), ArgKind::kDeck, [&mixer](int d) { return mixer.keylocked(d); }});
    control.addState(
        {QStringLiteral("pfl"), ArgKind::kDeck, [&mixer](int d) { return mixer.headphones().prelisten(d); }});
    control.addState({QStringLiteral("sync"), ArgKind::kDeck, [this](int d) { return t_.sync.lit(d); }});
    const std::array<const char*, 3> kills{"kill-low", "kill-mid", "kill-high"};
    for (int band = 0; band < 3; ++band) {
        control.addState({QString::fromLatin1(kills[static_cast<std::size_t>(band)]), ArgKind::kDeck,
                          [&mixer, band](int d) { return mixer.equalizer().killed(d, band); }});
    }
    control.addState({QStringLiteral("sampler"), ArgKind::kSlot,
                      [this](int slot) { return t_.slotPlaying && t_.slotPlaying(slot); }});
}

}  // namespace korvex::midi
