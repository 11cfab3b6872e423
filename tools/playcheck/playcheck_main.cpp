// korvex-playcheck: plays two files on the two decks through the sound device, as the player does, for a
// given time; the load check (bench/load_check.sh) records what reaches the sound server meanwhile.
//
//   korvex-playcheck A B SECONDS [--audio-output=MODE] [--audio-latency=MS]
//                    [--continuous] [--a=FILE]... [--b=FILE]... [--sample=WAV] [--record=OUT.wav]
//                    [--headphones=MODE]
//   korvex-playcheck --default-latency      prints the output latency asked for without --audio-latency (ms)
//
// Without --continuous both decks play at once. With it, the decks are wired as the player wires them
// (transport, mixer, continuous play, the 30 ms main timer): list A holds A and every --a file, list B holds
// B and every --b file, continuous play with automatic crossfade is on, and deck A starts; each song end
// hands over to the other deck with a crossfade, and the ended deck loads its next song. --sample loops a
// wave file in an effecter-mode sampler slot with Echo and Chorus; --record records the master mix through
// the recorder's mix tap into a 16-bit stereo 44.1 kHz file.
//
// Prints "underflows=<n> output=<description>" and, with --continuous, --sample or --record, a second line of
// what else ran ("handovers=<n> starved_blocks=<n> sample=<looping|none> recorded_s=<s> lost_frames=<n>":
// starved blocks are blocks a deck waited for its decoder); exit status 2 when a file cannot be played or
// recorded. With --headphones (or KORVEX_HEADPHONES) deck B is pre-listened on the headphone output, and a
// line "phones=<description> drift_ppm=<measured> phones_underruns=<n>" follows for a headphone device.

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/player_hooks.h"
#include "deck/continuous_play.h"
#include "deck/deck_settings.h"
#include "deck/deck_transport.h"
#include "deck/main_timer.h"
#include "mixer/master_output.h"
#include "mixer/mixer.h"
#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/phones_feed.h"
#include "platform/media_player.h"
#include "platform/sound_buffer.h"
#include "platform/wave_recording.h"
#include "songlist/song_list.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::vector<std::string> positional;
    std::vector<std::string> moreA;
    std::vector<std::string> moreB;
    std::string sample;
    std::string record;
    bool continuous = false;
    korvex::audio::DeviceOptions device;
};

bool takeValue(const std::string& arg, const char* name, std::string& value) {
    const std::string prefix = std::string(name) + "=";
    if (arg.rfind(prefix, 0) != 0) return false;
    value = arg.substr(prefix.size());
    return true;
}

Options parse(const std::vector<std::string>& args) {
    Options options;
    std::string value;
    for (const std::string& arg : args) {
        if (takeValue(arg, "--audio-latency", value))
            options.device.latencyMs = std::atof(value.c_str());
        else if (takeValue(arg, "--a", value))
            options.moreA.push_back(value);
        else if (takeValue(arg, "--b", value))
            options.moreB.push_back(value);
        else if (takeValue(arg, "--sample", value))
            options.sample = value;
        else if (takeValue(arg, "--record", value))
            options.record = value;
        else if (arg == "--continuous")
            options.continuous = true;
        else if (arg.rfind("--", 0) != 0)
            options.positional.push_back(arg);
    }
    return options;
}

// The two decks with their lists, the mixer and continuous play, wired as the player wires them.
struct Decks {
    explicit Decks(korvex::audio::AudioEngine& engine) : playerA(engine, 0), playerB(engine, 1), master(engine) {
        transport.setHooks(hooks);
        continuous.onHandedOver = [this](int) { ++handovers; };
        mixer.start();
    }

    korvex::MediaPlayer playerA;
    korvex::MediaPlayer playerB;
    korvex::songlist::SongList listA;
    korvex::songlist::SongList listB;
    korvex::deck::DeckSettings settings;
    korvex::deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    korvex::mixer::EngineMasterOutput master;
    korvex::mixer::Mixer mixer{transport, master};
    korvex::deck::ContinuousPlay continuous{transport};
    korvex::app::PlayerHooks hooks{mixer, continuous, nullptr};
    korvex::deck::MainTimer timer{transport};
    int handovers = 0;
};

bool fill(korvex::songlist::SongList& list, const std::string& first, const std::vector<std::string>& more) {
    std::vector<std::string> files{first};
    files.insert(files.end(), more.begin(), more.end());
    for (const std::string& file : files) {
        const QString path = QString::fromStdString(file);
        if (!list.append(path, QString::fromStdString(std::filesystem::path(file).filename().string()), 0))
            return false;
    }
    list.select(0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--default-latency") {
        std::printf("%g\n", korvex::audio::kDefaultLatencyMs);
        return 0;
    }
    Options options = parse(args);
    if (options.positional.size() != 3) {
        std::fputs(
            "usage: korvex-playcheck A B SECONDS [--audio-output=MODE] [--audio-latency=MS] [--continuous] "
            "[--a=FILE]... [--b=FILE]... [--sample=WAV] [--record=OUT.wav]\n",
            stderr);
        return 1;
    }
    const double seconds = std::atof(options.positional[2].c_str());
    korvex::audio::AudioEngine engine(korvex::audio::kOutputRate);
    Decks decks(engine);
    if (options.continuous) {
        decks.settings.autoplay2 = true;
        decks.settings.autocrossfadeplay = true;
    }
    if (!fill(decks.listA, options.positional[0], options.moreA) ||
        !fill(decks.listB, options.positional[1], options.moreB)) {
        std::fputs("korvex-playcheck: a song list would not take the files\n", stderr);
        return 2;
    }
    decks.mixer.lvolPress();  // the crossfader at deck A's end
    decks.transport.loadsong(0);
    decks.transport.loadsong(1);
    for (const korvex::MediaPlayer* player : {&decks.playerA, &decks.playerB}) {
        if (player->hasError() || player->fileName().empty()) {
            std::fprintf(stderr, "korvex-playcheck: %s: %s\n", player->fileName().c_str(),
                         player->errorText().c_str());
            return 2;
        }
    }

    // An effecter-mode sampler slot with Echo and Chorus, looping.
    korvex::SoundEngineDevice samplerDevice(engine);
    std::unique_ptr<korvex::SoundBuffer> slot;
    if (!options.sample.empty()) {
        korvex::SoundError error = korvex::SoundError::None;
        slot = samplerDevice.createSoundBufferFromFile(
            options.sample, korvex::kCtrlVolume | korvex::kCtrlFx | korvex::kCtrlPan, &error);
        std::vector<int> results;
        if (!slot || slot->setFX({korvex::dsp::EffectKind::Echo, korvex::dsp::EffectKind::Chorus}, &results) !=
                         korvex::SoundError::None) {
            std::fprintf(stderr, "korvex-playcheck: %s: cannot be played with Echo and Chorus\n",
                         options.sample.c_str());
            return 2;
        }
    }

    // The recorder's recording of the mix.
    std::unique_ptr<korvex::audio::WaveRecording> recording;
    if (!options.record.empty()) {
        const std::filesystem::path target = std::filesystem::absolute(options.record);
        recording = std::make_unique<korvex::audio::WaveRecording>(target.parent_path().string(),
                                                                    target.stem().string());
        recording->setFormat({korvex::audio::kOutputRate, 2, 16});
    }

    std::string notice;
    const std::string phonesMode = korvex::audio::choosePhonesMode(args, std::getenv("KORVEX_HEADPHONES"), "none");
    engine.setPhonesRoute(korvex::audio::phonesRouteFor(phonesMode));
    decks.playerB.setPrelisten(phonesMode != "none");
    auto output = korvex::audio::openOutput(
        korvex::audio::chooseOutputMode(args, std::getenv("KORVEX_AUDIO_OUTPUT")), engine, notice,
        options.device);
    if (!notice.empty()) std::fprintf(stderr, "korvex-playcheck: %s\n", notice.c_str());
    std::unique_ptr<korvex::audio::PhonesFeed> feed;
    std::unique_ptr<korvex::audio::AudioOutput> phones;
    if (korvex::audio::phonesRouteFor(phonesMode) == korvex::audio::PhonesRoute::kDevice) {
        feed = std::make_unique<korvex::audio::PhonesFeed>(korvex::audio::kOutputRate);
        engine.setPhonesTap(feed.get());
        phones = korvex::audio::makePhonesDeviceOutput(engine, *feed, phonesMode, options.device);
        std::string error;
        if (!phones->start(error))
            std::fprintf(stderr, "korvex-playcheck: headphones \"%s\": %s\n", phonesMode.c_str(), error.c_str());
    }
    if (recording) {
        std::string error;
        if (recording->start(korvex::audio::makeMixCapture(engine), error) !=
            korvex::audio::WaveRecording::StartResult::kStarted) {
            std::fprintf(stderr, "korvex-playcheck: %s: %s\n", options.record.c_str(), error.c_str());
            return 2;
        }
    }
    decks.transport.PLAYBTNON(0);
    if (!options.continuous) decks.transport.PLAYBTNON(1);
    if (slot) slot->play(korvex::SoundBuffer::kPlayLooping);

    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    auto nextTick = start;
    while (Clock::now() < end) {
        engine.dispatchEvents();
        if (Clock::now() >= nextTick) {
            decks.timer.tick();
            nextTick += std::chrono::milliseconds(30);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (phones) phones->stop();
    engine.setPhonesTap(nullptr);
    output->stop();
    std::printf("underflows=%llu output=%s\n", static_cast<unsigned long long>(output->underflows()),
                output->describe().c_str());
    if (phones)
        std::printf("phones=%s drift_ppm=%.1f phones_underruns=%llu\n", phones->describe().c_str(),
                    feed->driftPpm(), static_cast<unsigned long long>(feed->underruns()));
    int status = 0;
    if (recording) {
        recording->stop();
        std::string error;
        if (recording->save(std::filesystem::absolute(options.record).string(), error) !=
            korvex::audio::WaveRecording::SaveResult::kSaved) {
            std::fprintf(stderr, "korvex-playcheck: %s: %s\n", options.record.c_str(), error.c_str());
            status = 2;
        }
    }
    if (options.continuous || slot || recording) {
        const bool looping = slot && (slot->status() & korvex::SoundBuffer::kStatusLooping) != 0;
        const std::uint64_t starved =
            engine.deck(0).starvedBlocks.load() + engine.deck(1).starvedBlocks.load();
        std::printf("handovers=%d starved_blocks=%llu sample=%s recorded_s=%.1f lost_frames=%llu\n",
                    decks.handovers, static_cast<unsigned long long>(starved), looping ? "looping" : "none",
                    recording ? static_cast<double>(recording->framesInHeader()) / korvex::audio::kOutputRate
                              : 0.0,
                    static_cast<unsigned long long>(recording ? recording->lostFrames() : 0));
    }
    slot.reset();
    engine.dispatchEvents();
    return status;
}
