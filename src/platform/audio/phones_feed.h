#pragma once
// The headphones on a sound device of their own: the master's render thread writes each headphone block
// into a ring, and the headphone device's callback reads it through the resampler.
//
// Two devices run on two crystals, which differ by up to a few hundred parts per million: read at exactly
// one input frame per output frame, the ring would run dry or overflow within minutes. The reader therefore
// steers the ring's fill level to a target with a read increment that it adapts slowly (a proportional and
// integral controller on the smoothed fill level); the integral part settles at the clocks' drift, which is
// published. The writer adds whole blocks, so the fill the reader sees jumps by a block; where in that
// sawtooth the reader looks drifts slowly with the clocks (a full turn in half a minute at 200 ppm), too
// slowly to smooth away. The reader therefore counts the writer's position on from its last write by the time
// since then, which takes the sawtooth out. No block is ever dropped or repeated while both devices run; only when one of them stops (a lost
// device) does the ring empty or fill, and the reader then starts afresh, silent until the ring holds its
// target again.
//
// Threads: write_rt() runs on the master's audio thread, render_rt() on the headphone device's; restart()
// may be called from any thread and takes effect in the next render_rt().

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio/mix_tap.h"
#include "platform/dsp/resampler.h"

namespace korvex::audio {

// Steers a ring's fill level to a target by the read increment; pure arithmetic, so it can be checked over
// hours of simulated time.
class DriftFollower {
public:
    // Largest correction: 0.2 % (far above any two crystals' difference).
    static constexpr double kMaxCorrection = 0.002;

    // How long the follower only watches after a start: both devices' first callbacks come in bursts as
    // large as their buffers, so the fill settles where those buffers put it, and that becomes the target
    // when it lies above `targetFrames`.
    static constexpr double kWarmUpSeconds = 2.0;

    // `targetFrames`: the least fill level it steers to.
    DriftFollower(double targetFrames, int sampleRate);
    // The read increment (input frames per output frame) for the next block of `frames` output frames, given
    // the frames buffered now.
    double next(double fillFrames, std::size_t frames);
    // Starts over: no drift known, the fill taken as it comes.
    void reset();
    // The drift measured so far: how much faster the writer's clock runs than the reader's, in parts per
    // million.
    double driftPpm() const { return integral_ * 1e6; }
    double target() const { return target_; }

private:
    double least_;
    double target_;
    int rate_;
    double watched_ = 0.0;
    double smoothed_ = 0.0;
    double integral_ = 0.0;
    bool primed_ = false;
};

class PhonesFeed final : public MixTap {
public:
    // Frames the ring holds, and the fill level it is steered to.
    static constexpr std::size_t kRingFrames = 16384;
    static constexpr double kTargetFrames = 3072.0;

    explicit PhonesFeed(int sampleRate);

    // Master's audio thread: appends a stereo headphone block; what does not fit is counted and dropped (the
    // headphone device is not reading).
    void write_rt(const float* frames, std::size_t count) override;
    // The same at the steady-clock time `nowNs` (tests simulate their clocks).
    void write_rt(const float* frames, std::size_t count, std::int64_t nowNs);

    // Headphone device's audio thread: `frames` stereo frames read through the resampler; silence until the
    // ring first holds its target, and after it ran dry.
    void render_rt(float* out, std::size_t frames);
    void render_rt(float* out, std::size_t frames, std::int64_t nowNs);

    // Any thread: the next render_rt() forgets what the ring holds and waits for the target again (a new
    // headphone stream).
    void restart() { restart_.store(true, std::memory_order_release); }

    // Measured drift in ppm (any thread).
    double driftPpm() const { return drift_.load(std::memory_order_relaxed); }
    // Times the ring ran dry while being read, and frames dropped because it was full (any thread).
    std::uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    // Frames buffered between writer and reader at `nowNs`, the writer counted on from its last write (the
    // reader's thread).
    double fill_rt(std::int64_t nowNs) const;

private:
    std::size_t available_rt() const;
    // Moves up to `count` frames from the ring to the end of the history.
    std::size_t pull_rt(std::size_t count);
    void startOver_rt();

    const int rate_;
    const dsp::Resampler resampler_;
    std::vector<float> ring_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
    std::atomic<std::int64_t> lastWriteNs_{0};
    std::atomic<bool> restart_{false};
    std::atomic<double> drift_{0.0};
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<std::uint64_t> dropped_{0};
    // Reader side: frames taken from the ring that the kernel still reads, the read position in them, the
    // increment the last block ended at, and whether the ring has reached its target since the start.
    std::vector<float> history_;
    std::size_t historyFrames_ = 0;
    double pos_ = 0.0;
    double increment_ = 1.0;
    bool running_ = false;
    DriftFollower follower_;
};

}  // namespace korvex::audio
