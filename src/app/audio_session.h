#pragma once
// The program's sound: one engine, its output chosen from the command line or the environment, and the
// UI-thread pump that delivers the engine's events (end reached, state changed) to the decks.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/phones_feed.h"

namespace korvex::app {

// The output latency `--audio-latency=MS` asks for (0 when absent or not a number from 2 to 1000, which is
// then said on stderr).
double chooseLatencyMs(const std::vector<std::string>& args);

class AudioSession : public QObject {
public:
    // Opens the output named by `--audio-output=MODE` in `args` or KORVEX_AUDIO_OUTPUT (the option wins);
    // when it cannot be opened, plays silently, says so once on stderr and keeps startProblem().
    // The headphones go where `--headphones=MODE`, KORVEX_HEADPHONES or `storedPhones` (the configuration
    // dialog's choice) says, in that order.
    explicit AudioSession(const std::vector<std::string>& args, const std::string& storedPhones = "none",
                          QObject* parent = nullptr);
    ~AudioSession() override;

    audio::AudioEngine& engine() { return engine_; }
    // The recording source named by `--record-source=input|mix` or KORVEX_RECORD_SOURCE (the option wins;
    // "mix" when neither names a known one).
    const std::string& recordSource() const { return recordSource_; }
    // How the output is described ("PortAudio: ...", "null", "wav: PATH").
    std::string outputDescription() const { return output_ ? output_->describe() : std::string(); }
    // Stops the output (the decks may then be destroyed) and says on stderr how often the sound device ran
    // dry, when it did.
    void shutdown();
    // Times the sound device ran dry so far.
    std::uint64_t underflows() const { return output_ ? output_->underflows() : 0; }
    // What the operator is told once when the output asked for could not be opened and the player runs
    // silently (Japanese: which output, what it means, what to do); empty when it opened.
    const QString& startProblem() const { return startProblem_; }
    // Where the headphones go: "none", "channels", "split" or a device name.
    const std::string& phonesMode() const { return phonesMode_; }
    // Sends the headphones to `mode` from now on. When that changes how many channels the output has, the
    // output is opened again (a short gap in the sound).
    void setPhonesMode(const std::string& mode);
    // The headphone device's clock against the master's, in parts per million (0 without one).
    double phonesDriftPpm() const;
    // Puts `output`, already started, in place of the one opened (the old one is stopped): for tests that
    // drive an output of their own.
    void replaceOutput(std::unique_ptr<audio::AudioOutput> output);
    // Engine events are delivered by the main timer's tick from now on (deliverEvents), which slows down
    // while the player has nothing to do: the session's own pump stops.
    void stopPump() { pump_.stop(); }
    void deliverEvents() { engine_.dispatchEvents(); }

private:
    void openPhones();
    void closePhones();

    audio::AudioEngine engine_;
    std::unique_ptr<audio::AudioOutput> output_;
    std::string outputMode_;
    audio::DeviceOptions options_;
    std::string phonesMode_ = "none";
    std::unique_ptr<audio::PhonesFeed> feed_;
    std::unique_ptr<audio::AudioOutput> phonesOutput_;
    std::string recordSource_;
    QString startProblem_;
    QTimer pump_;
    bool underflowsTold_ = false;
};

}  // namespace korvex::app
