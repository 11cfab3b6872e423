// Test helper: records the mix of a deck playing a 440 Hz tone (16-bit stereo 44.1 kHz) through the
// recorder's command interface into DIR, a little faster than real time, and never stops. Once at least
// SECONDS of audio are counted in the file's header it prints "ready FRAMES TEMPFILE" on stdout; the test
// then kills it.
//
//   korvex_record_child DIR SECONDS

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/capture.h"
#include "recorder/command_interface.h"
#include "support/engine_rig.h"
#include "support/signals.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string dir = argv[1];
    const double seconds = std::atof(argv[2]);
    korvex::test::writeWav16(dir + "/tone.wav", korvex::test::sine(440.0, 60.0));
    korvex::test::EngineRig rig;
    rig.load(dir + "/tone.wav");
    rig.player.play();
    korvex::recorder::CommandInterface commands([&rig] { return korvex::audio::makeMixCapture(rig.engine); });
    commands.setDestination(QString::fromStdString(dir + "/set.wav"));
    QString text;
    for (const char* command : {"open new type waveaudio alias file", "set file bitspersample 16",
                                "set file samplespersec 44100", "set file channels 2", "record file"})
        if (commands.mci(QString::fromUtf8(command), text) != 0) return 1;
    const korvex::audio::WaveRecording* recording = commands.recording(QStringLiteral("file"));
    bool told = false;
    for (;;) {
        rig.render(0.05);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto frames = recording->framesInHeader();
        if (!told && frames >= static_cast<std::uint64_t>(seconds * 44100)) {
            std::printf("ready %llu %s\n", static_cast<unsigned long long>(frames),
                        recording->tempPath().c_str());
            std::fflush(stdout);
            told = true;
        }
    }
}
