// The outputs without a sound card: a thread renders one block per period against the steady clock, so
// decks play at real speed; the wav variant writes each block to its file (four channels when the
// headphones take outputs 3-4).

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/wav_writer.h"

namespace korvex::audio {

namespace {

constexpr std::size_t kPeriodFrames = 256;

class ClockedOutput final : public AudioOutput {
public:
    ClockedOutput(AudioEngine& engine, std::string wavPath) : engine_(engine), wavPath_(std::move(wavPath)) {}
    ~ClockedOutput() override { stop(); }

    bool start(std::string& error) override {
        if (!wavPath_.empty() && !writer_.open(wavPath_, engine_.sampleRate(), error, engine_.outputChannels()))
            return false;
        running_ = true;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    void stop() override {
        running_ = false;
        if (thread_.joinable()) thread_.join();
        writer_.close();
    }

    std::string describe() const override { return wavPath_.empty() ? "null" : "wav: " + wavPath_; }

private:
    void run() {
        using Clock = std::chrono::steady_clock;
        std::vector<float> block(kPeriodFrames * static_cast<std::size_t>(engine_.outputChannels()));
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kPeriodFrames) / engine_.sampleRate()));
        auto next = Clock::now();
        while (running_) {
            engine_.render_rt(block.data(), kPeriodFrames);
            if (writer_.isOpen()) writer_.write(block.data(), kPeriodFrames);
            next += period;
            const auto now = Clock::now();
            // After a long stall (a suspended machine), carry on from now instead of catching up in a burst.
            if (now - next > std::chrono::seconds(1)) next = now;
            std::this_thread::sleep_until(next);
        }
    }

    AudioEngine& engine_;
    std::string wavPath_;
    WavWriter writer_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> makeNullOutput(AudioEngine& engine) {
    return std::make_unique<ClockedOutput>(engine, std::string());
}

std::unique_ptr<AudioOutput> makeWavOutput(AudioEngine& engine, std::string path) {
    return std::make_unique<ClockedOutput>(engine, std::move(path));
}

}  // namespace korvex::audio
