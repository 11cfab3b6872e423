// korvex-render: plays one file through the deck engine offline, as fast as it goes, into a WAVE file.
//
//   korvex-render INPUT OUTPUT.wav [--rate R] [--volume V] [--balance B] [--selection-start S]
//                 [--selection-end E] [--seconds N] [--eq LOW,MID,HIGH] [--keylock]
//                 [--fx NAME[:FIELD=VALUE,...]]...
//
// Plays from the selection start (or 0) until the end is reached or N seconds are rendered, then prints
// "duration=<s> rendered=<s> ns_per_frame=<n>". A file the player cannot open: exit status 2, a one-line
// message, and no output file.
//
// --eq sets the deck equaliser's low, mid and high bands in dB (-inf .. 6, -inf kills the band), as the
// deck panel's knobs and kill switches do. --keylock plays with the deck's keylock on: the rate changes the
// tempo and keeps the pitch.
//
// Each --fx adds an effect, in chain order, and the deck's output runs through that chain exactly as a
// sampler slot in effecter mode runs its sound (e.g. --fx echo:feedback=0,leftdelay=250 --fx parameq:gain=6).
// With effects, --seconds may reach past the end of the file so the tail of an echo is heard; without
// --seconds the rendering stops at the end as usual. An unknown effect or field, or a value out of range:
// exit status 2 and a one-line reason; so does an option it does not know. --help and --version print and
// exit 0.
//
//   korvex-render --analyze INPUT
//
// analyses INPUT as the player does (tempo, first beat, loudness, length) and prints one line:
// "bpm=<n> first_beat_s=<s> loudness_lufs=<n> duration_s=<s>" (bpm=0 when no beat was found).

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/analysis/analyze_file.h"
#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/wav_writer.h"
#include "platform/decode/decoded_audio.h"
#include "platform/dsp/effect_chain.h"
#include "platform/dsp/effect_spec.h"
#include "platform/media_player.h"

namespace {

constexpr std::size_t kBlock = 512;

struct Options {
    std::string input;
    std::string output;
    double rate = 1.0;
    int volume = 0;
    int balance = 0;
    double selectionStart = -1.0;
    double selectionEnd = -1.0;
    double seconds = -1.0;
    std::array<double, 3> eq{0.0, 0.0, 0.0};
    bool keylock = false;
    std::vector<korvex::dsp::EffectSpec> effects;
    bool analyze = false;
};

constexpr const char* kUsage =
    "usage: korvex-render INPUT OUTPUT.wav [--rate R] [--volume V] [--balance B] [--selection-start S] "
    "[--selection-end E] [--seconds N] [--eq LOW,MID,HIGH] [--keylock] [--fx NAME[:FIELD=VALUE,...]]...\n"
    "       korvex-render --analyze INPUT\n";

constexpr const char* kHelp =
    "Plays INPUT through the deck engine offline, as fast as it goes, into OUTPUT.wav, and prints\n"
    "\"duration=<s> rendered=<s> ns_per_frame=<n>\".\n"
    "\n"
    "  --rate R               playback rate, above 0 (1 = normal; speed and pitch together)\n"
    "  --volume V             volume in hundredths of a dB (0 full, -10000 silent)\n"
    "  --balance B            -10000..10000; positive lowers the left channel by B/100 dB\n"
    "  --selection-start S    play from S seconds\n"
    "  --selection-end E      end at E seconds\n"
    "  --seconds N            render at most N seconds (with --fx, may reach past the end for a tail)\n"
    "  --eq LOW,MID,HIGH      the deck equaliser's bands in dB, -inf .. 6 (-inf kills the band; 0 flat)\n"
    "  --keylock              the rate changes the tempo only and keeps the pitch\n"
    "  --fx NAME[:FIELD=VALUE,...]\n"
    "                         add an effect, in chain order: echo, chorus, flanger, distortion,\n"
    "                         compressor, parameq or gargle; fields not given keep their defaults\n"
    "  --analyze INPUT        analyse INPUT instead and print one line:\n"
    "                         bpm=<n> first_beat_s=<s> loudness_lufs=<n> duration_s=<s>\n"
    "  -h, --help             print this help and exit\n"
    "  --version              print the version and exit\n"
    "\n"
    "Exit status: 0 done; 1 a bad value or missing argument; 2 an unknown option, an unplayable INPUT,\n"
    "or a bad --fx.\n";

int usage(const char* why) {
    std::fprintf(stderr, "korvex-render: %s\n%s", why, kUsage);
    return 1;
}

// The options that take a value.
bool known(const std::string& option) {
    for (const char* name : {"--rate", "--volume", "--balance", "--selection-start", "--selection-end", "--seconds",
                             "--eq", "--fx"})
        if (option == name) return true;
    return false;
}

bool number(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0';
}

// Three band gains in dB, "LOW,MID,HIGH", each -inf .. 6.
bool bands(const std::string& text, std::array<double, 3>& db) {
    std::size_t from = 0;
    for (std::size_t b = 0; b < db.size(); ++b) {
        const std::size_t comma = text.find(',', from);
        if ((comma == std::string::npos) != (b + 1 == db.size())) return false;
        double value = 0.0;
        if (!number(text.substr(from, comma - from), value) || std::isnan(value) || value > 6.0) return false;
        db[b] = value;
        from = comma + 1;
    }
    return true;
}

// Outcome of reading the command line.
enum class Parsed { Ok, Usage, BadEffect, UnknownOption, Help, Version };

Parsed parse(int argc, char** argv, Options& options, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Parsed::Help;
        if (arg == "--version") return Parsed::Version;
        if (arg == "--analyze") {
            options.analyze = true;
            continue;
        }
        if (arg == "--keylock") {
            options.keylock = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (!known(arg)) {
            error = "unknown option " + arg;
            return Parsed::UnknownOption;
        }
        if (i + 1 >= argc) {
            error = "missing value for " + arg;
            return Parsed::Usage;
        }
        if (arg == "--fx") {
            korvex::dsp::EffectSpec effect;
            if (!korvex::dsp::parseEffectSpec(argv[++i], effect, error)) {
                error = "--fx " + std::string(argv[i]) + ": " + error;
                return Parsed::BadEffect;
            }
            options.effects.push_back(effect);
            continue;
        }
        if (arg == "--eq") {
            if (!bands(argv[++i], options.eq)) {
                error = "--eq takes LOW,MID,HIGH in dB, each -inf .. 6: " + std::string(argv[i]);
                return Parsed::Usage;
            }
            continue;
        }
        double value = 0.0;
        if (!number(argv[++i], value)) {
            error = "not a number for " + arg + ": " + argv[i];
            return Parsed::Usage;
        }
        if (arg == "--rate") options.rate = value;
        else if (arg == "--volume") options.volume = static_cast<int>(value);
        else if (arg == "--balance") options.balance = static_cast<int>(value);
        else if (arg == "--selection-start") options.selectionStart = value;
        else if (arg == "--selection-end") options.selectionEnd = value;
        else options.seconds = value;
    }
    if (options.analyze) {
        if (positional.size() != 1) {
            error = "--analyze takes one INPUT";
            return Parsed::Usage;
        }
        options.input = positional[0];
        return Parsed::Ok;
    }
    if (positional.size() != 2) {
        error = "expected INPUT and OUTPUT.wav";
        return Parsed::Usage;
    }
    if (!(options.rate > 0.0)) {
        error = "the rate must be above 0";
        return Parsed::Usage;
    }
    options.input = positional[0];
    options.output = positional[1];
    return Parsed::Ok;
}

// --analyze: one line of figures, or exit status 2 and the reason.
int analyze(const std::string& input) {
    std::string error;
    const std::optional<korvex::analysis::TrackAnalysis> a = korvex::analysis::analyzeFile(input, error);
    if (!a) {
        std::fprintf(stderr, "korvex-render: %s: %s\n", input.c_str(), error.c_str());
        return 2;
    }
    std::printf("bpm=%.2f first_beat_s=%.3f loudness_lufs=%.1f duration_s=%.3f\n", a->bpm, a->firstBeat,
                a->loudness, a->duration);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    switch (parse(argc, argv, options, error)) {
        case Parsed::Ok: break;
        case Parsed::Usage: return usage(error.c_str());
        case Parsed::BadEffect: std::fprintf(stderr, "korvex-render: %s\n", error.c_str()); return 2;
        case Parsed::UnknownOption:
            std::fprintf(stderr, "korvex-render: %s (korvex-render --help lists them)\n", error.c_str());
            return 2;
        case Parsed::Help: std::printf("%s\n%s", kUsage, kHelp); return 0;
        case Parsed::Version: std::printf("korvex-render %s\n", KORVEX_VERSION); return 0;
    }

    if (options.analyze) return analyze(options.input);

    korvex::audio::AudioEngine engine(korvex::audio::kOutputRate);
    korvex::MediaPlayer player(engine, 0);
    bool ended = false;
    player.onEndReached = [&ended] { ended = true; };
    player.setFileName(options.input);
    if (player.hasError()) {
        std::fprintf(stderr, "korvex-render: %s: %s\n", options.input.c_str(), player.errorText().c_str());
        return 2;
    }
    player.setRate(options.rate);
    player.setVolume(options.volume);
    player.setBalance(options.balance);
    player.setSelectionStart(options.selectionStart);
    player.setSelectionEnd(options.selectionEnd);
    player.setEqualizer(options.eq[0], options.eq[1], options.eq[2]);
    player.setKeylock(options.keylock);

    std::vector<korvex::dsp::EffectKind> kinds;
    for (const auto& effect : options.effects) kinds.push_back(effect.kind);
    korvex::dsp::EffectChain chain(kinds, engine.sampleRate());
    for (std::size_t i = 0; i < options.effects.size(); ++i) chain.setParameters(i, options.effects[i].params);

    korvex::audio::WavWriter writer;
    if (!writer.open(options.output, engine.sampleRate(), error)) {
        std::fprintf(stderr, "korvex-render: %s: %s\n", options.output.c_str(), error.c_str());
        return 1;
    }
    player.play();

    const korvex::decode::DecodedAudio* audio = player.decodedAudio();
    const double limit = options.seconds >= 0.0 ? options.seconds : 1e12;
    std::vector<float> block(kBlock * 2);
    std::uint64_t frames = 0;
    std::chrono::nanoseconds busy{0};
    // Effects may ring on after the end: then the --seconds limit ends the rendering.
    const bool tail = !options.effects.empty() && options.seconds >= 0.0;
    while ((!ended || tail) && static_cast<double>(frames) / engine.sampleRate() < limit) {
        // Offline there is no deadline: let the decoder stay ahead of the play head (and of what the
        // keylock's stretcher reads ahead of it).
        const double ahead = player.currentPosition() + 2.0 * kBlock * options.rate / engine.sampleRate() +
                             (options.keylock ? 0.4 : 0.01);
        audio->waitForFrames(static_cast<std::size_t>(ahead * audio->sampleRate()));
        std::size_t n = kBlock;
        if (options.seconds >= 0.0)
            n = static_cast<std::size_t>(
                std::min<double>(kBlock, limit * engine.sampleRate() - static_cast<double>(frames)));
        if (n == 0) break;
        const auto begin = std::chrono::steady_clock::now();
        engine.render_rt(block.data(), n);
        chain.process_rt(block.data(), n);
        busy += std::chrono::steady_clock::now() - begin;
        engine.dispatchEvents();
        if (!writer.write(block.data(), n)) {
            std::fprintf(stderr, "korvex-render: %s: write failed\n", options.output.c_str());
            return 1;
        }
        frames += n;
    }
    writer.close();
    const double nsPerFrame = frames > 0 ? static_cast<double>(busy.count()) / static_cast<double>(frames) : 0.0;
    std::printf("duration=%.3f rendered=%.3f ns_per_frame=%.1f\n", player.duration(),
                static_cast<double>(frames) / engine.sampleRate(), nsPerFrame);
    return 0;
}
