// MIDI in the player: from the moment a port's thread hands a message over (where RtMidi calls back) to
// the operation having put its command into the engine's queue on the user-interface thread, and what a
// jog wheel spun hard (1000 messages a second) costs the threads that take it.

#include <benchmark/benchmark.h>

#include "bench_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "app/player_hooks.h"
#include "control/keyboard.h"
#include "control/list_editor.h"
#include "control/midi/midi_session.h"
#include "deck/continuous_play.h"
#include "deck/deck_transport.h"
#include "mixer/beat_sync.h"
#include "mixer/master_output.h"
#include "mixer/mixer.h"
#include "platform/audio/audio_engine.h"
#include "platform/media_player.h"
#include "songlist/song_list.h"
#include "songlist/song_memories.h"
#include "support/signals.h"

namespace {

using Clock = std::chrono::steady_clock;

struct NoAnalysis final : korvex::analysis::AnalysisSource {
    void request(const std::string&, Priority) override {}
    std::shared_ptr<const korvex::analysis::TrackAnalysis> find(const std::string&) const override {
        return nullptr;
    }
};

// The decks, the mixer and the keyboard wired as the player wires them, a song on deck A, and the MIDI
// session with the generic mapping; a thread renders the engine at real time so its queue drains.
struct Rig {
    korvex::audio::AudioEngine engine{44100};
    korvex::MediaPlayer playerA{engine, 0};
    korvex::MediaPlayer playerB{engine, 1};
    korvex::songlist::SongList listA;
    korvex::songlist::SongList listB;
    korvex::deck::DeckSettings settings;
    korvex::deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    korvex::mixer::EngineMasterOutput master{engine};
    korvex::mixer::Mixer mixer{transport, master};
    korvex::deck::ContinuousPlay continuous{transport};
    korvex::app::PlayerHooks hooks{mixer, continuous, nullptr};
    korvex::control::ListEditor editor{transport};
    korvex::songlist::SongMemories memories{{&listA, &listB}, {&playerA, &playerB}};
    korvex::control::Keyboard keyboard{transport, mixer, editor, memories};
    NoAnalysis analyses;
    korvex::mixer::BeatSync sync{mixer, transport, analyses};
    korvex::midi::MidiSession session{{transport, mixer, keyboard, sync, {}}, korvex::midi::MidiApi::kJack};
    std::atomic<bool> rendering{true};
    std::thread renderer;

    Rig() {
        transport.setHooks(hooks);
        mixer.start();
        const std::string path = korvex::test::tempDir() + "/midi.wav";
        korvex::test::writeWav16(path, korvex::test::sine(440.0, 30.0));
        listA.append(QString::fromStdString(path), QStringLiteral("midi.wav"), 20);
        transport.loadsong(0);
        playerA.waitUntilDecoded();
        renderer = std::thread([this] {
            std::vector<float> block(2 * 441);
            auto next = Clock::now();
            while (rendering.load()) {
                engine.render_rt(block.data(), 441);
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
    }
    ~Rig() {
        rendering = false;
        renderer.join();
    }
};

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A note bound to Play, press and release in turn, handed over from another thread one at a time.
void BM_MidiMessageToCommandQueue(benchmark::State& state) {
    application();
    Rig rig;
    std::atomic<int> handled{0};
    Clock::time_point sentAt;
    std::vector<double> micros;
    auto inner = rig.session.ports().onMessage;
    rig.session.ports().onMessage = [&](const QString& port, std::span<const std::uint8_t> bytes) {
        inner(port, bytes);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sentAt).count());
        handled.fetch_add(1);
    };
    const std::uint64_t before = rig.engine.acknowledged();
    korvex::midi::Inbox& inbox = rig.session.ports().inbox(QStringLiteral("bench:out"));
    for (auto _ : state) {
        micros.clear();
        handled = 0;
        constexpr int kMessages = 400;
        std::thread port([&] {
            for (int i = 0; i < kMessages; ++i) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                sentAt = Clock::now();
                const std::array<std::uint8_t, 3> note{static_cast<std::uint8_t>(i % 2 == 0 ? 0x90 : 0x80),
                                                       60, 100};
                inbox.post(note);
                while (handled.load() <= i) std::this_thread::yield();
            }
        });
        while (handled.load() < kMessages) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        port.join();
    }
    if (rig.engine.acknowledged() == before) state.SkipWithError("no command reached the engine");
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_MidiMessageToCommandQueue)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A jog wheel spun hard: 1000 relative steps a second for three seconds; the CPU of the port's thread and
// of the user-interface thread that works the jog, as a share of one core (`cpu_percent`), and of that what
// Korvex's code does (`korvex_percent`).
void BM_MidiJogThousandPerSecond(benchmark::State& state) {
    application();
    Rig rig;
    korvex::midi::Inbox& inbox = rig.session.ports().inbox(QStringLiteral("bench:out"));
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::atomic<double> portCpu{0.0};
        std::atomic<double> postCpu{0.0};
        constexpr int kMessages = 3000;
        const auto start = Clock::now();
        const double uiStart = threadCpuSeconds();
        std::thread port([&] {
            const double cpuStart = threadCpuSeconds();
            for (int i = 0; i < kMessages; ++i) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(i));
                const double before = threadCpuSeconds();
                inbox.post(std::array<std::uint8_t, 3>{0xB0, 24, 1});
                postCpu = postCpu + (threadCpuSeconds() - before);
            }
            portCpu = threadCpuSeconds() - cpuStart;
            done = true;
            // Wakes the loop below once more.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        });
        // Sleeps until there is something to do, as the player's event loop does.
        while (!done.load()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        port.join();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double ui = threadCpuSeconds() - uiStart;
        state.counters["cpu_percent"] = 100.0 * (ui + portCpu.load()) / wall;
        state.counters["ui_thread_percent"] = 100.0 * ui / wall;
        // What Korvex adds: the user-interface thread, and the hand-over on the port's thread (the port's
        // own sleeping and waking is the MIDI system's, whoever listens).
        state.counters["korvex_percent"] = 100.0 * (ui + postCpu.load()) / wall;
        rig.session.operations().releaseJogs();
    }
}
BENCHMARK(BM_MidiJogThousandPerSecond)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
