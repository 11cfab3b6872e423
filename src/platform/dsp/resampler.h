#pragma once
// Band-limited interpolation for vinyl-style variable-rate playback.
//
// The resampler is stateless: it reads a contiguous run of interleaved stereo float frames that the caller
// gathered from the decoded track, so any number of read heads (a playing head and the fading tail of a
// seek) can share it, and a seek needs no flushing. Rate changes glide: the read increment moves linearly
// from `incStart` to `incEnd` across the output block.
//
// The kernel is a Kaiser-windowed sinc held as a polyphase table; positions between table rows interpolate
// the two nearest rows linearly. Above an increment of 1 the cutoff drops with the increment (in twelfth-
// of-an-octave steps, chosen once per block from the larger of the two increments) to limit aliasing.

#include <cstddef>
#include <vector>

namespace korvex::dsp {

class Resampler {
public:
    // Frames of context the kernel needs on each side of a read position: output at position p reads
    // input frames floor(p) - kHalfWidth + 1 .. floor(p) + kHalfWidth.
    static constexpr int kHalfWidth = 16;
    // Largest read increment (input frames per output frame) the resampler accepts.
    static constexpr double kMaxIncrement = 8.0;

    // Builds the kernel tables (allocates; call off the audio thread).
    Resampler();

    // Writes `outFrames` interleaved stereo frames to `out`. The first output frame is read at position
    // `pos` (in frames of `in`); frame i+1 is read at frame i's position plus inc_i, where inc_i runs
    // linearly from incStart (i = 0) towards incEnd, reached at i = outFrames: inc_i = incStart +
    // (incEnd - incStart) * i / outFrames. A block that starts where the last one's ramp ended therefore
    // continues the same straight ramp, and a block split at frame k, with the increment at k ending the
    // first part and starting the second, steps as the whole block does (up to rounding). Increments lie in
    // (0, kMaxIncrement]. Returns the position after the last frame, which equals
    // advance(pos, incStart, incEnd, outFrames). Contract: every input frame the kernel reads lies in
    // [0, inFrames). Real-time safe.
    double process_rt(const float* in, std::size_t inFrames, double pos, double incStart, double incEnd,
                      float* out, std::size_t outFrames) const;

    // The read position after `outFrames` output frames, computed exactly as process_rt steps it.
    static double advance(double pos, double incStart, double incEnd, std::size_t outFrames);

private:
    // Taps per kernel row: one per input frame read.
    static constexpr int kTaps = 2 * kHalfWidth;
    // Table rows per input frame of fractional position (a row more closes the last interval).
    static constexpr int kPhases = 128;
    static constexpr int kRowsPerBank = kPhases + 1;
    // Cutoff banks: bank 0 serves increments up to 1, bank b increments up to 2^(b / kBanksPerOctave).
    static constexpr int kBanksPerOctave = 12;
    static constexpr int kBanks = 1 + 3 * kBanksPerOctave;

    // The bank whose cutoff suits increments up to `inc`.
    static int bankFor(double inc);

    // kBanks x kRowsPerBank x kTaps coefficients; row r of a bank holds the kernel for fraction r / kPhases.
    std::vector<float> table_;
};

}  // namespace korvex::dsp
