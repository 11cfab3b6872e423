// korvex-playcheck: plays two files on the two decks through the sound device, as the player does, for a
// given time; the load check (bench/load_check.sh) records what reaches the sound server meanwhile.
//
//   korvex-playcheck A B SECONDS [--audio-output=MODE] [--audio-latency=MS]
//
// Prints "underflows=<n> output=<description>" at the end; exit status 2 when a file cannot be played.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/media_player.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<std::string> positional;
    korvex::audio::DeviceOptions options;
    for (const std::string& arg : args) {
        if (arg.rfind("--audio-latency=", 0) == 0) options.latencyMs = std::atof(arg.c_str() + 16);
        else if (arg.rfind("--", 0) != 0) positional.push_back(arg);
    }
    if (positional.size() != 3) {
        std::fputs("usage: korvex-playcheck A B SECONDS [--audio-output=MODE] [--audio-latency=MS]\n", stderr);
        return 1;
    }
    const double seconds = std::atof(positional[2].c_str());
    korvex::audio::AudioEngine engine(korvex::audio::kOutputRate);
    korvex::MediaPlayer a(engine, 0);
    korvex::MediaPlayer b(engine, 1);
    a.setFileName(positional[0]);
    b.setFileName(positional[1]);
    for (const korvex::MediaPlayer* player : {&a, &b}) {
        if (player->hasError()) {
            std::fprintf(stderr, "korvex-playcheck: %s: %s\n", player->fileName().c_str(),
                         player->errorText().c_str());
            return 2;
        }
    }
    std::string notice;
    auto output = korvex::audio::openOutput(korvex::audio::chooseOutputMode(args, std::getenv("KORVEX_AUDIO_OUTPUT")),
                                            engine, notice, options);
    if (!notice.empty()) std::fprintf(stderr, "korvex-playcheck: %s\n", notice.c_str());
    a.play();
    b.play();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        engine.dispatchEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    output->stop();
    std::printf("underflows=%llu output=%s\n", static_cast<unsigned long long>(output->underflows()),
                output->describe().c_str());
    return 0;
}
