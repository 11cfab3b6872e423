#pragma once
// Where the engine's mix goes: a sound card through PortAudio, nowhere at real-time pace ("null"), a WAVE
// file at real-time pace ("wav:PATH"), or a test that renders by hand.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvex::audio {

class AudioEngine;
class PhonesFeed;
enum class PhonesRoute : int;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts calling the engine's render; false with a reason when the output cannot run.
    virtual bool start(std::string& error) = 0;
    // Stops rendering; returns once no render call is in progress.
    virtual void stop() = 0;
    // A short description for messages ("PortAudio: default device", "null", "wav: /tmp/x.wav").
    virtual std::string describe() const = 0;
    // Times the device asked for sound that was not ready in time (PortAudio's underflow flags).
    virtual std::uint64_t underflows() const { return 0; }
};

// The output rate of every output the program opens.
constexpr int kOutputRate = 44100;

// The output latency asked of a sound device unless --audio-latency says otherwise. A desktop's sound
// server passes every client's sound through its main thread, which runs at normal priority: on a machine
// whose cores are all busy it is late by up to a few hundred milliseconds at times, and a client with less
// than 100 ms queued runs dry many times a minute (see the README's load check).
constexpr double kDefaultLatencyMs = 100.0;

// Output latency asked of the sound device, in milliseconds (0: the default, kDefaultLatencyMs).
struct DeviceOptions {
    double latencyMs = 0.0;
    // Told once when the device is lost and when it is back (any thread but the audio thread).
    std::function<void(const std::string&)> notice;
};

// Picks the output mode: `--audio-output=MODE` among `args` wins over the KORVEX_AUDIO_OUTPUT environment
// value (`environment`, may be null); "default" when neither is given.
std::string chooseOutputMode(const std::vector<std::string>& args, const char* environment);

// Opens and starts the output `mode` ("default", "null", "wav:PATH" or a PortAudio device name) for
// `engine`. When it cannot be opened, falls back to the null output, sets the engine's outputLost() and
// puts the reason in `notice` (which the caller prints once); otherwise `notice` is left empty.
std::unique_ptr<AudioOutput> openOutput(const std::string& mode, AudioEngine& engine, std::string& notice,
                                        DeviceOptions options = {});

// Picks the headphone mode: `--headphones=MODE` among `args` wins over the KORVEX_HEADPHONES environment value
// (`environment`, may be null), which wins over `stored` (the configuration dialog's); "none" when none
// names one.
std::string choosePhonesMode(const std::vector<std::string>& args, const char* environment,
                             const std::string& stored);
// The route a headphone mode takes: "none" (or empty) none, "channels", "split", anything else a device name.
PhonesRoute phonesRouteFor(const std::string& mode);

// The headphones on the sound device `deviceName`, reading `feed` (which the engine must be writing through
// its phones tap). It runs on the device's own clock; losing it touches nothing of the master, and it is
// tried again every second. When the device cannot be opened at once, start() says why and returns false,
// but the output goes on trying every second until it is stopped.
std::unique_ptr<AudioOutput> makePhonesDeviceOutput(AudioEngine& engine, PhonesFeed& feed, std::string deviceName,
                                                    DeviceOptions options = {});

// Frames per callback of a sound device stream opened with `latencyMs`: the largest power of two from 64 to
// 1024 that is at most a quarter of the latency.
unsigned long callbackFrames(double latencyMs, int sampleRate);

std::unique_ptr<AudioOutput> makeNullOutput(AudioEngine& engine);
std::unique_ptr<AudioOutput> makeWavOutput(AudioEngine& engine, std::string path);
// The sound card through PortAudio. When the device stops (the sound server died), the engine goes on at
// real time on a clock of its own, AudioEngine::outputLost() turns true, and the device is tried again
// every second; once it is back the sound returns with a fade-in.
std::unique_ptr<AudioOutput> makePortAudioOutput(AudioEngine& engine, std::string deviceName,
                                                 DeviceOptions options = {});

}  // namespace korvex::audio
