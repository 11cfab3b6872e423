#include <cstdio>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"

namespace korvex::audio {

std::string chooseOutputMode(const std::vector<std::string>& args, const char* environment) {
    static const std::string kOption = "--audio-output=";
    for (const std::string& arg : args)
        if (arg.rfind(kOption, 0) == 0) return arg.substr(kOption.size());
    if (environment != nullptr && *environment != '\0') return environment;
    return "default";
}

std::string choosePhonesMode(const std::vector<std::string>& args, const char* environment,
                             const std::string& stored) {
    static const std::string kOption = "--headphones=";
    for (const std::string& arg : args)
        if (arg.rfind(kOption, 0) == 0) return arg.substr(kOption.size()).empty() ? "none" : arg.substr(kOption.size());
    if (environment != nullptr && *environment != '\0') return environment;
    return stored.empty() ? "none" : stored;
}

PhonesRoute phonesRouteFor(const std::string& mode) {
    if (mode.empty() || mode == "none") return PhonesRoute::kNone;
    if (mode == "channels") return PhonesRoute::kChannels;
    if (mode == "split") return PhonesRoute::kSplit;
    return PhonesRoute::kDevice;
}

std::unique_ptr<AudioOutput> openOutput(const std::string& mode, AudioEngine& engine, std::string& notice,
                                        DeviceOptions options) {
    notice.clear();
    std::unique_ptr<AudioOutput> output;
    if (mode == "null") {
        output = makeNullOutput(engine);
    } else if (mode.rfind("wav:", 0) == 0) {
        output = makeWavOutput(engine, mode.substr(4));
    } else {
        output = makePortAudioOutput(engine, mode == "default" || mode.empty() ? std::string() : mode,
                                     std::move(options));
    }
    std::string error;
    if (output->start(error)) return output;
    output.reset();
    notice = "no audio output could be opened for \"" + mode + "\" (" + error + "); playing silently";
    auto fallback = makeNullOutput(engine);
    fallback->start(error);
    // The engine runs without the output it was meant to have, as after a loss (but nothing retries it).
    engine.setOutputLost(true);
    return fallback;
}

}  // namespace korvex::audio
