#pragma once
// Changes a stereo stream's tempo and keeps its pitch: Rubber Band Library in its real-time mode.
//
// The deck feeds it the song at its own speed and asks for the output at the tempo the pitch knob sets;
// Rubber Band pulls as much input as that takes. Real-time mode pads nothing by itself: a stream that
// starts at some point of the song is primed with getPreferredStartPad() frames of what comes before that
// point, and the first startDelay() frames of output are dropped, so that output frame k corresponds to
// input frame pad + k × ratio (see DeckSource's keylock).
//
// Construction allocates; everything named _rt runs on the audio thread without allocating as long as
// no call passes more than kMaxFeed frames (Rubber Band's promise for real-time mode with ordinary
// ratios; the deck keeps the ratio within kMinRate .. kMaxRate).

#include <cstddef>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace korvex::dsp {

class TimeStretcher {
public:
    // Rubber Band's two engines: R2 ("faster") and R3 ("finer").
    enum class Engine { kFaster, kFiner };
    // Largest number of frames one process_rt() call takes.
    static constexpr std::size_t kMaxFeed = 512;
    // The tempo range the stretcher is used for; beyond it a deck plays at the changed pitch.
    static constexpr double kMinRate = 0.5;
    static constexpr double kMaxRate = 2.0;

    explicit TimeStretcher(int sampleRate, Engine engine = Engine::kFaster);
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    // Forgets everything fed so far and sets the tempo (`rate` 1.07: 7 % faster, same pitch).
    void restart_rt(double rate);
    void setRate_rt(double rate);
    // Input frames to prime a fresh stream with, and output frames to drop after them.
    std::size_t startPad_rt() const;
    std::size_t startDelay_rt() const;
    // Input frames it would like before it can give more output.
    std::size_t required_rt() const;
    // Feeds `frames` (<= kMaxFeed) interleaved stereo frames.
    void process_rt(const float* interleaved, std::size_t frames);
    // Output frames ready now.
    std::size_t available_rt() const;
    // Takes up to `frames` (<= kMaxFeed) ready frames into `interleaved`; returns how many.
    std::size_t retrieve_rt(float* interleaved, std::size_t frames);

private:
    std::unique_ptr<RubberBand::RubberBandStretcher> rb_;
    std::vector<float> left_;
    std::vector<float> right_;
};

}  // namespace korvex::dsp
