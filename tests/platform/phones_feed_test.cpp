// The headphones on a second device: the ring between the master's render and the headphone callback, kept
// at its fill level by the drift follower while the two clocks differ, with simulated clocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/audio/phones_feed.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;
constexpr std::size_t kBlock = 256;

// Two clocks, the writer's `ppm` parts per million fast, each asking for kBlock frames when its time comes;
// `step(writer, seconds)` is called for a writer block (true) and a reader block (false), in the order they
// happen, with the time.
template <typename Step>
void runClocks(double seconds, double ppm, Step step) {
    const double writerPeriod = kBlock / (kRate * (1.0 + ppm * 1e-6));
    const double readerPeriod = static_cast<double>(kBlock) / kRate;
    double writer = 0.0, reader = 0.5 * readerPeriod;
    while (std::min(writer, reader) < seconds) {
        if (writer <= reader) {
            step(true, writer);
            writer += writerPeriod;
        } else {
            step(false, reader);
            reader += readerPeriod;
        }
    }
}

std::int64_t ns(double seconds) { return static_cast<std::int64_t>(seconds * 1e9); }

// An hour with the headphone device's crystal 200 ppm slow (or fast): the fill level stays near its target, so
// the ring neither runs dry nor overflows, and the follower measures the drift. The reader counts the writer on
// from its last write, as the feed does.
TEST(DriftFollower, KeepsASecondClockInStepForAnHour) {
    for (double ppm : {200.0, -200.0}) {
        SCOPED_TRACE(ppm);
        audio::DriftFollower follower(audio::PhonesFeed::kTargetFrames, kRate);
        double written = audio::PhonesFeed::kTargetFrames, read = 0.0, lastWrite = 0.0;
        double low = 1e9, high = -1e9, settledLow = 1e9, settledHigh = -1e9;
        runClocks(3600.0, ppm, [&](bool writer, double now) {
            if (writer) {
                written += kBlock;
                lastWrite = now;
                return;
            }
            const double fill = written - read;
            read += follower.next(fill + (now - lastWrite) * kRate, kBlock) * kBlock;
            low = std::min(low, fill);
            high = std::max(high, fill);
            if (now > 120.0) {
                settledLow = std::min(settledLow, fill);
                settledHigh = std::max(settledHigh, fill);
            }
        });
        EXPECT_GT(low, static_cast<double>(kBlock)) << "never dry";
        EXPECT_LT(high, static_cast<double>(audio::PhonesFeed::kRingFrames)) << "never full";
        // Settled, the fill only ripples by the block the writer adds.
        EXPECT_GT(settledLow, audio::PhonesFeed::kTargetFrames - 2.0 * kBlock);
        EXPECT_LT(settledHigh - settledLow, kBlock + 8.0);
        EXPECT_NEAR(follower.driftPpm(), ppm, 0.5);
    }
}

// The real feed for two minutes of two clocks 200 ppm apart: a 440 Hz tone comes out whole (no block dropped or
// repeated, no click) at its pitch on the reader's clock, and the ring never runs dry.
TEST(PhonesFeed, ResamplesASecondClockWithoutGaps) {
    audio::PhonesFeed feed(kRate);
    std::vector<float> block(kBlock * 2), out;
    out.reserve(static_cast<std::size_t>(120.5 * kRate) * 2);
    double phase = 0.0;
    const double ppm = 200.0;
    runClocks(120.0, ppm, [&](bool writer, double now) {
        if (writer) {
            for (std::size_t i = 0; i < kBlock; ++i) {
                const auto v = static_cast<float>(0.5 * std::sin(phase));
                block[2 * i] = block[2 * i + 1] = v;
                phase += 2.0 * std::numbers::pi * 440.0 / kRate;
            }
            feed.write_rt(block.data(), kBlock, ns(now));
        } else {
            feed.render_rt(block.data(), kBlock, ns(now));
            out.insert(out.end(), block.begin(), block.end());
        }
    });
    EXPECT_EQ(feed.underruns(), 0u);
    EXPECT_EQ(feed.dropped(), 0u);
    const auto left = channel(out, 0);
    // Past the start-up silence, every step between neighbours is one a 440 Hz tone at 0.5 can make.
    std::size_t first = 0;
    while (first < left.size() && left[first] == 0.0f) ++first;
    const std::vector<float> sounding(left.begin() + static_cast<std::ptrdiff_t>(first) + 64, left.end());
    EXPECT_LT(maxStep(sounding), 0.5 * 2.0 * std::numbers::pi * 440.0 / kRate * 1.05);
    // The writer's 440 Hz, written faster than the reader reads, is heard 200 ppm sharp once the follower
    // has settled.
    const std::vector<float> late(left.end() - 10 * kRate, left.end());
    EXPECT_NEAR(zeroCrossingFrequency(late, kRate), 440.0 * (1.0 + ppm * 1e-6), 0.01);
    EXPECT_NEAR(feed.driftPpm(), ppm, 2.0);
}

// A restart (a new headphone stream) forgets what the ring held and waits for the fill level again.
TEST(PhonesFeed, ARestartStartsSilentAndRefills) {
    audio::PhonesFeed feed(kRate);
    std::vector<float> tone = sine(440.0, 0.5);
    feed.write_rt(tone.data(), tone.size() / 2);
    std::vector<float> out(kBlock * 2);
    feed.render_rt(out.data(), kBlock);
    feed.restart();
    feed.render_rt(out.data(), kBlock);
    EXPECT_EQ(rms(channel(out, 0)), 0.0);
    feed.write_rt(tone.data(), tone.size() / 2);
    for (int i = 0; i < 4; ++i) feed.render_rt(out.data(), kBlock);
    EXPECT_GT(rms(channel(out, 0)), 0.3);
}

}  // namespace
}  // namespace korvex::test
