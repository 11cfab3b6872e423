#pragma once
// A look-ahead peak limiter for a stereo stream that can be louder than full scale (the MIDI synthesiser's
// output before it becomes 16-bit): loud passages keep their level and only the rare peaks that would clip
// are turned down, smoothly, before they arrive.
//
// How it works, per stereo frame (both channels share one gain, so the stereo image stays put):
//   need(n)  = the gain that brings frame n's louder channel down to the ceiling (1 when it is below);
//   m(n)     = the least need() of the last `lookahead` frames;
//   env(n)   = m(n) when that is lower than the envelope, else the envelope rising towards m(n) with the
//              release time (so the level comes back slowly after a peak, without pumping);
//   gain(n)  = the mean of env() over the last `lookahead` frames, applied to the frame that came in
//              lookahead - 1 frames before.
// Every env() in that mean is at most the need() of the frame it is applied to, so no output frame ever
// exceeds the ceiling; the mean turns each step into a ramp of `lookahead` frames, so there is no hard edge
// either. The output is the input delayed by latency() frames. The result depends only on the frames fed
// in, not on how they are split into calls, so a render in blocks of any size gives the same samples.

#include <cstddef>
#include <vector>

namespace korvex::dsp {

class PeakLimiter {
public:
    // The highest output sample: -0.5 dBFS, below the largest 16-bit value after rounding.
    static constexpr float kCeiling = 0.944f;
    // Ramp time before a peak, and the time constant of the level's return after it.
    static constexpr double kLookaheadSeconds = 0.005;
    static constexpr double kReleaseSeconds = 0.25;

    explicit PeakLimiter(int sampleRate, float ceiling = kCeiling);

    // Frames between a frame going in and coming out.
    int latency() const { return lookahead_ - 1; }

    // Takes `frames` interleaved stereo frames from `in` and writes as many to `out` (which may be `in`),
    // each latency() frames after it went in; silence comes out first.
    void process(const float* in, float* out, std::size_t frames);

    // Back to the state of a new limiter (silence in the delay, full gain).
    void reset();

private:
    float ceiling_;
    int lookahead_;
    double releaseStep_;
    // Delayed frames (2 floats each) and the env() values of the last `lookahead_` frames, in rings.
    std::vector<float> delay_;
    std::vector<double> envelopes_;
    // Frame numbers of need() candidates for the running minimum, oldest first, and their values.
    std::vector<long long> minFrames_;
    std::vector<float> minNeeds_;
    std::size_t minHead_ = 0;
    std::size_t minCount_ = 0;
    long long frame_ = 0;
    double envelope_ = 1.0;
    double sum_ = 0.0;
};

}  // namespace korvex::dsp
