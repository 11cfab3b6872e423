#pragma once
// Where the engine's mix goes: a sound card through PortAudio, nowhere at real-time pace ("null"), a WAVE
// file at real-time pace ("wav:PATH"), or a test that renders by hand.

#include <memory>
#include <string>
#include <vector>

namespace korvex::audio {

class AudioEngine;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts calling the engine's render; false with a reason when the output cannot run.
    virtual bool start(std::string& error) = 0;
    // Stops rendering; returns once no render call is in progress.
    virtual void stop() = 0;
    // A short description for messages ("PortAudio: default device", "null", "wav: /tmp/x.wav").
    virtual std::string describe() const = 0;
};

// The output rate of every output the program opens.
constexpr int kOutputRate = 44100;

// Picks the output mode: `--audio-output=MODE` among `args` wins over the KORVEX_AUDIO_OUTPUT environment
// value (`environment`, may be null); "default" when neither is given.
std::string chooseOutputMode(const std::vector<std::string>& args, const char* environment);

// Opens and starts the output `mode` ("default", "null", "wav:PATH" or a PortAudio device name) for
// `engine`. When it cannot be opened, falls back to the null output and puts the reason in `notice`
// (which the caller prints once); otherwise `notice` is left empty.
std::unique_ptr<AudioOutput> openOutput(const std::string& mode, AudioEngine& engine, std::string& notice);

std::unique_ptr<AudioOutput> makeNullOutput(AudioEngine& engine);
std::unique_ptr<AudioOutput> makeWavOutput(AudioEngine& engine, std::string path);
std::unique_ptr<AudioOutput> makePortAudioOutput(AudioEngine& engine, std::string deviceName);

}  // namespace korvex::audio
