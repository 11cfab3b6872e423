// Cost of one 30 ms main-timer tick on the user-interface thread, with both decks playing through the engine,
// a crossfader slide running (a level update on every tick) and the title marquees of both decks scrolling.

#include <benchmark/benchmark.h>

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/player_hooks.h"
#include "deck/continuous_play.h"
#include "deck/deck_hooks.h"
#include "deck/deck_settings.h"
#include "deck/deck_transport.h"
#include "deck/main_timer.h"
#include "mixer/master_output.h"
#include "mixer/mixer.h"
#include "platform/audio/audio_engine.h"
#include "platform/dsp/gain.h"
#include "platform/media_player.h"
#include "songlist/song_list.h"
#include "support/signals.h"

namespace {

using korvex::MediaPlayer;
using korvex::audio::AudioEngine;

const std::string& songFile() {
    static const std::string path = [] {
        std::string p = korvex::test::tempDir() + "/tick.wav";
        korvex::test::writeWav16(p, korvex::test::sine(440.0, 30.0));
        return p;
    }();
    return path;
}

// Both decks with their lists, the mixer and continuous play, wired as the player wires them.
struct Rig {
    AudioEngine engine{44100};
    MediaPlayer playerA{engine, 0};
    MediaPlayer playerB{engine, 1};
    korvex::songlist::SongList listA;
    korvex::songlist::SongList listB;
    korvex::deck::DeckSettings settings;
    korvex::deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    korvex::mixer::EngineMasterOutput master{engine};
    korvex::mixer::Mixer mixer{transport, master};
    korvex::deck::ContinuousPlay continuous{transport};
    korvex::app::PlayerHooks hooks{mixer, continuous, nullptr};

    Rig() {
        transport.setHooks(hooks);
        mixer.start();
    }
};

void BM_MainTimerTick(benchmark::State& state) {
    Rig rig;
    auto& [engine, playerA, playerB, listA, listB, settings, transport, master, mixer, continuous, hooks] = rig;
    settings.autoplay2 = true;
    korvex::deck::MainTimer timer(transport);

    // Titles whose first "." lies far in, so the file label and the deck display both scroll.
    const QString path = QString::fromStdString(songFile());
    listA.append(path, QStringLiteral("A rather long title of the first song on deck A.wav"), 20);
    listB.append(path, QStringLiteral("Another long title, this one of the song on deck B.wav"), 20);
    for (int deck = 0; deck < 2; ++deck) {
        transport.loadsong(deck);
        transport.PLAYBTNON(deck);
    }
    playerA.waitUntilDecoded();
    playerB.waitUntilDecoded();
    // A slide of one position per tick: a thousand ticks from one end to the other.
    settings.switchtime[0] = 700;
    mixer.lvolPress();
    // Starts a slide; the deck display of both decks scrolls as after a load (the Switch ends that for the
    // deck it starts).
    const auto startSlide = [&] {
        mixer.switching();
        for (int deck = 0; deck < 2; ++deck) transport.record(deck).freshload = true;
    };
    startSlide();
    std::vector<float> out(512);
    engine.render_rt(out.data(), 256);

    std::int64_t slides = 0;
    for (auto _ : state) {
        timer.tick();
        if (!mixer.slideflag()) {
            state.PauseTiming();
            startSlide();
            ++slides;
            engine.render_rt(out.data(), 256);
            engine.dispatchEvents();
            state.ResumeTiming();
        }
    }
    state.counters["playing"] = playerA.playState() == 2 && playerB.playState() == 2 ? 1 : 0;
    state.counters["slides"] = static_cast<double>(slides);
}
BENCHMARK(BM_MainTimerTick)->Unit(benchmark::kMicrosecond);

// Knob drag to audible change: after each drag of deck A's volume knob, the first block the engine renders
// ends at the new level (no backlog of queued updates). The counter is the largest number of extra blocks
// any drag needed, over a long run of fast drags.
void BM_KnobDragToAudibleChange(benchmark::State& state) {
    Rig rig;
    auto& [engine, playerA, playerB, listA, listB, settings, transport, master, mixer, continuous, hooks] = rig;
    mixer.lvolPress();  // crossfader at deck A's end: deck A at its own level
    // A steady level (half scale) makes every output sample show the gain it was played at.
    const std::string steady = korvex::test::tempDir() + "/steady.wav";
    korvex::test::writeWav16(steady, std::vector<float>(44100 * 20 * 2, 0.5f));
    listA.append(QString::fromStdString(steady), QStringLiteral("steady.wav"), 20);
    transport.loadsong(0);
    playerA.waitUntilDecoded();
    transport.PLAYBTNON(0);
    std::vector<float> out(512);
    for (int i = 0; i < 4; ++i) engine.render_rt(out.data(), 256);

    korvex::mixer::Knob& volume = mixer.volumeKnob(0);
    double worst = 0;
    int step = 0;
    for (auto _ : state) {
        const double before = engine.deck(0).gainLeft.load();
        // Press on the base and drag to a new place; every drag event reaches the knob's consumer.
        const float y = 100.0f + static_cast<float>((step++ * 97) % 1400);
        volume.press(korvex::mixer::KnobPart::kBase, korvex::mixer::kLeftButton, 300.0f, y);
        volume.move(korvex::mixer::KnobPart::kBase, korvex::mixer::kLeftButton, 300.0f, y + 40.0f);
        volume.release(korvex::mixer::KnobPart::kBase, korvex::mixer::kLeftButton, 300.0f, y + 40.0f);
        // The level the drag asked for, as the engine will read it at the start of its next block.
        const double wanted = korvex::dsp::volumeToGain(playerA.volume()) *
                              korvex::dsp::balanceToGains(playerA.balance()).left;
        const bool seen = std::abs(engine.deck(0).gainLeft.load() - wanted) < 1e-6;
        engine.render_rt(out.data(), 256);
        // The gain glides across the block and its last frame plays at (within one step of) the new level.
        const double last = out[2 * 255] / 0.5;
        const bool heard = std::abs(last - wanted) <= std::abs(before - wanted) / 256.0 + 1e-4;
        worst = std::max<double>(worst, seen && heard ? 0 : 1);
        engine.dispatchEvents();
    }
    state.counters["blocks_of_delay"] = worst;
}
BENCHMARK(BM_KnobDragToAudibleChange)->Iterations(2000);

}  // namespace
