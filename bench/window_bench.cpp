// The playing player's redraw on the user-interface thread: the pass that writes the models into the main
// window (on every 30 ms tick), and that pass with Qt's painting of what it changed. Both decks play songs
// through the real engine (null output), so the deck displays count on between iterations as they do on
// the tick. Offscreen: the X server's part is not in these figures.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "app/ui/korvex_app.h"
#include "bench_app.h"
#include "support/signals.h"

namespace {

// A started player, its settings in a folder of its own, both decks playing a 60 s tone.
struct PlayingPlayer {
    QTemporaryDir home;
    std::unique_ptr<korvex::app::KorvexApp> app;

    PlayingPlayer() {
        application();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, (home.path() + QLatin1Char('/') + QLatin1String(name)).toUtf8());
        // A first start says it starts afresh: answered as a user would.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
        });
        answer.start(20);
        app = std::make_unique<korvex::app::KorvexApp>(std::vector<std::string>{"--audio-output=null"});
        if (!app->start()) return;
        app->handOver();
        answer.stop();
        for (int deck = 0; deck < 2; ++deck) {
            const QString song = home.filePath(QStringLiteral("song%1.wav").arg(deck));
            korvex::test::writeWav16(song.toStdString(), korvex::test::sine(deck == 0 ? 440.0 : 330.0, 60.0));
            app->window().titleList(deck)->onDrop({song}, false);
            auto& transport = app->player().transport();
            transport.playPress(deck);
            transport.playRelease(deck);
        }
        settle();
    }
    ~PlayingPlayer() {
        if (app) app->shutdown();
    }
    // Lets the decks play on a little and the window take its events.
    static void settle() {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        QCoreApplication::processEvents();
    }
};

void redraw(benchmark::State& state, bool paint) {
    PlayingPlayer player;
    if (!player.app) {
        state.SkipWithError("the player did not start");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        PlayingPlayer::settle();
        state.ResumeTiming();
        player.app->player().refresh();
        if (paint) QCoreApplication::sendPostedEvents();
    }
}

void BM_PlayerRedraw(benchmark::State& state) { redraw(state, false); }
void BM_PlayerRedrawAndPaint(benchmark::State& state) { redraw(state, true); }

}  // namespace

BENCHMARK(BM_PlayerRedraw)->Unit(benchmark::kMicrosecond)->Iterations(2000)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_PlayerRedrawAndPaint)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(3)
    ->ReportAggregatesOnly();
