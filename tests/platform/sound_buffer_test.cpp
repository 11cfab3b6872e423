// The sampler's sound buffers on the engine, rendered by hand: exact playback, rate, retrigger, looping,
// levels, pan and 3D, creation failures, status, effect chains and release.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <limits>
#include <filesystem>
#include <numbers>
#include <stdexcept>

#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/platform_support.h"
#include "platform/sound_buffer.h"

namespace korvex::test {
namespace {

constexpr unsigned kSampler = kCtrlVolume | kCtrlFrequency | kCtrlPan;   // mode 2
constexpr unsigned kSampler3D = kCtrlVolume | kCtrlFrequency | kCtrl3D;  // mode 0
constexpr unsigned kEffecter = kCtrlVolume | kCtrlFx | kCtrlPan;         // mode 3
constexpr unsigned kEffecter3D = kCtrlVolume | kCtrlFx | kCtrl3D;        // mode 1

// Writes `frames` frames of `channels` interleaved channels as a WAVE file, 16-bit PCM unless `subformat`.
void writeWav(const std::string& path, const std::vector<float>& samples, int channels, int rate = kRate,
              int subformat = SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
}

// Mono sine of `frames` frames starting at phase 0.
std::vector<float> monoSine(double freq, std::size_t frames, float amplitude = 0.5f) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = amplitude *
                 static_cast<float>(std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(i) / kRate));
    return out;
}

class SoundBufferTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = tempDir(); }

    std::string file(const std::string& name, const std::vector<float>& samples, int channels,
                     int rate = kRate) {
        const std::string path = dir_ + "/" + name;
        writeWav(path, samples, channels, rate);
        return path;
    }

    // A buffer that must be made: a failure ends the test.
    std::unique_ptr<SoundBuffer> make(const std::string& path, unsigned caps) {
        SoundError error = SoundError::None;
        auto buffer = device_.createSoundBufferFromFile(path, caps, &error);
        EXPECT_EQ(error, SoundError::None) << path;
        if (buffer == nullptr) throw std::runtime_error("no buffer for " + path);
        return buffer;
    }

    SoundError failure(const std::string& path, unsigned caps) {
        SoundError error = SoundError::None;
        auto buffer = device_.createSoundBufferFromFile(path, caps, &error);
        EXPECT_EQ(buffer, nullptr);
        return error;
    }

    // Renders `frames` frames in 256-frame blocks, delivering events after each block.
    std::vector<float> render(std::size_t frames) {
        std::vector<float> out;
        out.reserve(frames * 2);
        for (std::size_t done = 0; done < frames; done += 256) {
            auto block = output_.render(std::min<std::size_t>(256, frames - done));
            engine_.dispatchEvents();
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }

    std::string dir_;
    audio::AudioEngine engine_{kRate};
    audio::ManualOutput output_{engine_};
    SoundEngineDevice device_{engine_};
};

TEST_F(SoundBufferTest, OneShotAtTheFilesRateRendersItSampleExactThenStops) {
    // Left and right differ, so a swapped or mixed channel shows.
    const auto left = monoSine(440.0, 20000);
    const auto right = monoSine(1000.0, 20000, 0.25f);
    std::vector<float> stereo;
    for (std::size_t i = 0; i < 20000; ++i) stereo.insert(stereo.end(), {left[i], right[i]});
    const std::string path = file("shot.wav", stereo, 2);
    const std::vector<float> expected = readSound(path);
    auto buffer = make(path, kSampler);
    EXPECT_EQ(buffer->frequency(), kRate);
    EXPECT_EQ(buffer->status(), 0);

    render(300);  // a few idle frames first: the trigger sounds in the first block after it
    buffer->play(SoundBuffer::kPlayOnce);
    EXPECT_EQ(buffer->status(), SoundBuffer::kStatusPlaying);
    const auto out = render(25000);
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(out[i], expected[i]) << "sample " << i;
    for (std::size_t i = expected.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << "sample " << i;
    EXPECT_EQ(buffer->status(), 0);

    // It rewound at its end: the next play starts from the top again.
    buffer->play(SoundBuffer::kPlayOnce);
    const auto again = render(1000);
    for (std::size_t i = 0; i < again.size(); ++i) ASSERT_EQ(again[i], expected[i]);
}

TEST_F(SoundBufferTest, FrequencyIsThePlaybackRateAgainstTheFilesOwnRate) {
    const std::string path = file("a440.wav", monoSine(440.0, kRate), 1);
    auto buffer = make(path, kSampler);
    ASSERT_EQ(buffer->setFrequency(2 * kRate), SoundError::None);
    EXPECT_EQ(buffer->frequency(), 2 * kRate);
    buffer->play(SoundBuffer::kPlayOnce);
    const auto out = render(kRate);
    const auto left = channel(out, 0);
    // Half as long ...
    std::size_t last = 0;
    for (std::size_t i = 0; i < left.size(); ++i)
        if (std::abs(left[i]) > 1e-3f) last = i;
    EXPECT_NEAR(static_cast<double>(last), kRate / 2.0, 40.0);
    // ... at twice the pitch, on both channels of a mono file.
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 1000, 18000), kRate), 880.0, 0.5);
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 1, 1000, 18000), kRate), 880.0, 0.5);

    // A file at 22.05 kHz keeps its own rate: at its own frequency it plays at its own pitch.
    auto low = make(std::string(KORVEX_TEST_DATA) + "/tone440_mono22k.wav", kSampler);
    EXPECT_EQ(low->frequency(), 22050);
    low->play(SoundBuffer::kPlayLooping);
    EXPECT_NEAR(zeroCrossingFrequency(channel(render(kRate / 2), 0, 2000), kRate), 440.0, 0.5);
    low->setFrequency(44100);
    EXPECT_NEAR(zeroCrossingFrequency(channel(render(kRate / 2), 0, 2000), kRate), 880.0, 0.5);
}

TEST_F(SoundBufferTest, RetriggerRestartsFromTheTopWithoutAClick) {
    const std::string path = file("a440.wav", monoSine(440.0, kRate), 1);
    const auto expected = channel(readSound(path), 0);
    auto buffer = make(path, kSampler);
    buffer->play(SoundBuffer::kPlayOnce);
    auto out = render(13001);
    // What a slot's play button does on a one-shot that sounds.
    buffer->setCurrentPosition(0);
    buffer->play(SoundBuffer::kPlayOnce);
    EXPECT_EQ(buffer->status(), SoundBuffer::kStatusPlaying);
    const auto after = render(20000);
    out.insert(out.end(), after.begin(), after.end());
    const double sineStep = 2.0 * std::numbers::pi * 440.0 / kRate * 0.5;
    EXPECT_LT(maxStep(channel(out, 0)), sineStep * 1.6);
    // Once the old head has faded, the output is the file from its start.
    const auto left = channel(after, 0);
    for (std::size_t i = 300; i < left.size(); ++i) ASSERT_EQ(left[i], expected[i]) << i;
}

TEST_F(SoundBufferTest, LoopingWrapsWithoutGapOrClickAndStopsSoftly) {
    // 441 Hz has a period of exactly 100 frames; the file holds 100 whole periods.
    const std::string path = file("loop.wav", monoSine(441.0, 10000), 1);
    const auto expected = channel(readSound(path), 0);
    auto buffer = make(path, kSampler);
    buffer->play(SoundBuffer::kPlayLooping);
    EXPECT_EQ(buffer->status(), SoundBuffer::kStatusPlaying | SoundBuffer::kStatusLooping);
    auto left = channel(render(45000), 0);
    EXPECT_EQ(buffer->status(), 5);
    for (std::size_t i = 0; i < left.size(); ++i) ASSERT_EQ(left[i], expected[i % 10000]) << i;

    // Through the resampler too: an odd frequency wraps as smoothly.
    ASSERT_EQ(buffer->setFrequency(50017), SoundError::None);
    left = channel(render(45000), 0);
    const double step = 2.0 * std::numbers::pi * 441.0 * 50017.0 / kRate / kRate * 0.5;
    EXPECT_LT(maxStep(left), step * 1.05);
    for (std::size_t i = 0; i + 256 <= left.size(); i += 256)
        ASSERT_GT(rms(std::vector<float>(left.begin() + static_cast<long>(i),
                                         left.begin() + static_cast<long>(i) + 256)),
                  0.3)
            << i;

    buffer->stop();
    EXPECT_EQ(buffer->status(), 0);
    left = channel(render(2000), 0);
    EXPECT_LT(maxStep(left), step * 1.05);
    for (std::size_t i = 300; i < left.size(); ++i) ASSERT_EQ(left[i], 0.0f);
}

TEST_F(SoundBufferTest, VolumeAndPanSetTheChannelLevels) {
    const std::string path = file("tone.wav", sine(1000.0, 1.0), 2);
    auto buffer = make(path, kSampler);
    buffer->play(SoundBuffer::kPlayLooping);
    const double full = rms(channel(render(8192), 0, 4096));
    ASSERT_NEAR(full, 0.5 / std::sqrt(2.0), 0.01);

    ASSERT_EQ(buffer->setVolume(-600), SoundError::None);
    auto out = render(8192);
    EXPECT_NEAR(db(rms(channel(out, 0, 4096)) / full), -6.0, 0.05);
    EXPECT_NEAR(db(rms(channel(out, 1, 4096)) / full), -6.0, 0.05);

    // Out of range: refused, nothing changes.
    EXPECT_EQ(buffer->setVolume(1), SoundError::Other);
    EXPECT_EQ(buffer->setVolume(-10001), SoundError::Other);
    EXPECT_EQ(buffer->volume(), -600);
    EXPECT_EQ(buffer->setFrequency(99), SoundError::Other);
    EXPECT_EQ(buffer->setFrequency(100001), SoundError::Other);
    EXPECT_EQ(buffer->frequency(), kRate);
    EXPECT_EQ(buffer->setPan(10001), SoundError::Other);
    EXPECT_EQ(buffer->pan(), 0);

    buffer->setVolume(0);
    ASSERT_EQ(buffer->setPan(1000), SoundError::None);
    out = render(8192);
    EXPECT_NEAR(db(rms(channel(out, 0, 4096)) / full), -10.0, 0.05);
    EXPECT_NEAR(db(rms(channel(out, 1, 4096)) / full), 0.0, 0.05);
    buffer->setPan(-10000);
    out = render(8192);
    EXPECT_NEAR(db(rms(channel(out, 0, 4096)) / full), 0.0, 0.05);
    EXPECT_LT(rms(channel(out, 1, 4096)), 1e-6);

    // The controls a buffer was made without are unavailable.
    auto effecter = make(path, kEffecter);
    EXPECT_EQ(effecter->setFrequency(22050), SoundError::ControlUnavailable);
    EXPECT_EQ(effecter->frequency(), kRate);
    auto spatial = make(file("mono.wav", monoSine(1000.0, kRate), 1), kSampler3D);
    EXPECT_EQ(spatial->setPan(100), SoundError::ControlUnavailable);
    EXPECT_EQ(buffer->buffer3D(), nullptr);
    EXPECT_NE(spatial->buffer3D(), nullptr);
}

TEST_F(SoundBufferTest, ThreeDPlacesTheSourceAroundTheListener) {
    const std::string path = file("mono.wav", monoSine(1000.0, kRate), 1);
    auto buffer = make(path, kSampler3D);
    SoundBuffer3D* space = buffer->buffer3D();
    ASSERT_NE(space, nullptr);
    buffer->play(SoundBuffer::kPlayLooping);
    const double source = 0.5 / std::sqrt(2.0);
    const auto levels = [&] {
        const auto out = render(8192);
        return std::pair{rms(channel(out, 0, 4096)), rms(channel(out, 1, 4096))};
    };

    // At the minimum distance straight ahead: the full level, split equally (-3 dB a side).
    space->setPosition(0.0f, 0.0f, 1.0f);
    auto [left, right] = levels();
    EXPECT_NEAR(db(left / source), -3.01, 0.05);
    EXPECT_NEAR(db(right / source), -3.01, 0.05);

    space->setPosition(1.0f, 0.0f, 0.0f);  // on the listener's right
    std::tie(left, right) = levels();
    EXPECT_NEAR(db(right / source), 0.0, 0.05);
    EXPECT_LT(left, 1e-6);
    space->setPosition(-0.5f, 0.0f, 0.5f);  // ahead on the left
    std::tie(left, right) = levels();
    EXPECT_NEAR(left / right, std::sqrt(3.0), 0.01);  // 45 degrees left: sqrt(3/4) against sqrt(1/4)

    // Doubling the distance beyond the minimum: -6 dB.
    space->setPosition(0.0f, 0.0f, 2.0f);
    const double near = levels().first;
    space->setPosition(0.0f, 0.0f, 4.0f);
    EXPECT_NEAR(db(levels().first / near), -6.02, 0.05);

    // Behind the source's cone the outside volume applies: -400 is 4 dB down.
    space->setPosition(0.0f, 0.0f, 2.0f);
    space->setConeAngles(90, 180);
    space->setConeOutsideVolume(-400);
    space->setConeOrientation(0.0f, 0.0f, -1.0f);  // facing the listener
    const double facing = levels().first;
    EXPECT_NEAR(db(facing / near), 0.0, 0.05);
    space->setConeOrientation(0.0f, 0.0f, 1.0f);  // facing away
    EXPECT_NEAR(db(levels().first / facing), -4.0, 0.05);

    // The buffer's own volume adds to the distance and the cone.
    buffer->setVolume(-600);
    EXPECT_NEAR(db(levels().first / facing), -10.0, 0.05);
}

TEST_F(SoundBufferTest, CreationFailuresAreToldApart) {
    const std::string stereo = file("stereo.wav", sine(440.0, 0.5), 2);
    const std::string mono = file("mono.wav", monoSine(440.0, kRate / 2), 1);
    const std::string shortMono = file("short.wav", monoSine(440.0, kRate / 10), 1);
    const std::string shortStereo = file("short2.wav", sine(440.0, 0.1), 2);

    EXPECT_EQ(failure(stereo, kSampler3D), SoundError::InvalidArgument);
    EXPECT_EQ(failure(stereo, kEffecter3D), SoundError::InvalidArgument);
    EXPECT_EQ(failure(mono, kCtrlVolume | kCtrl3D | kCtrlPan), SoundError::InvalidArgument);
    EXPECT_EQ(failure(shortMono, kEffecter3D), SoundError::BufferTooSmall);
    EXPECT_EQ(failure(shortStereo, kEffecter3D), SoundError::BufferTooSmall);
    EXPECT_EQ(failure(shortStereo, kEffecter), SoundError::BufferTooSmall);
    EXPECT_EQ(failure(dir_ + "/missing.wav", kSampler), SoundError::Other);
    const std::string text = dir_ + "/text.wav";
    FILE* f = std::fopen(text.c_str(), "w");
    std::fputs("not a wave file at all", f);
    std::fclose(f);
    EXPECT_EQ(failure(text, kSampler), SoundError::Other);
    EXPECT_EQ(failure(file("empty.wav", {}, 2), kSampler), SoundError::Other);
    // Cut short after its header promised a second: what is there counts.
    const std::string cut = file("cut.wav", monoSine(440.0, kRate), 1);
    std::filesystem::resize_file(cut, 44 + 2 * 2000);
    EXPECT_EQ(failure(cut, kEffecter), SoundError::BufferTooSmall);
    make(cut, kSampler);

    // The same files with capabilities they can have.
    make(stereo, kSampler);
    make(mono, kEffecter3D);
    make(shortStereo, kSampler);
    make(file("just.wav", monoSine(440.0, 6615), 1), kEffecter);  // exactly 150 ms
}

TEST_F(SoundBufferTest, TheEngineHoldsThirtyTwoBuffersAndOneDestroyedWhilePlayingFadesOutAndIsFreed) {
    const std::string path = file("loop.wav", monoSine(441.0, 10000), 1);
    std::vector<std::unique_ptr<SoundBuffer>> buffers;
    for (int i = 0; i < audio::SamplerSource::kVoices; ++i) buffers.push_back(make(path, kSampler));
    EXPECT_EQ(failure(path, kSampler), SoundError::Other);
    buffers.front()->play(SoundBuffer::kPlayLooping);
    auto out = render(1000);
    buffers.erase(buffers.begin());
    // Still read by the audio thread.
    EXPECT_EQ(engine_.sampler().voicesInUse(), audio::SamplerSource::kVoices);
    const auto after = render(2000);
    out.insert(out.end(), after.begin(), after.end());
    EXPECT_LT(maxStep(channel(out, 0)), 2.0 * std::numbers::pi * 441.0 / kRate * 0.5 * 1.05);
    for (std::size_t i = 2 * 300; i < after.size(); ++i) ASSERT_EQ(after[i], 0.0f);
    // Freed once the engine has let go of it.
    EXPECT_EQ(engine_.sampler().voicesInUse(), audio::SamplerSource::kVoices - 1);
    make(path, kSampler);
}

TEST_F(SoundBufferTest, StatusReadsWhatWasLastAskedAtOnce) {
    auto buffer = make(file("mono.wav", monoSine(440.0, 4410), 1), kSampler);
    EXPECT_EQ(buffer->status(), 0);
    buffer->play(SoundBuffer::kPlayLooping);
    EXPECT_EQ(buffer->status(), 5);
    buffer->play(SoundBuffer::kPlayOnce);  // while playing: only the looping flag changes
    EXPECT_EQ(buffer->status(), 1);
    render(256);
    EXPECT_EQ(buffer->status(), 1);
    buffer->stop();
    EXPECT_EQ(buffer->status(), 0);
    buffer->setCurrentPosition(0);
    EXPECT_EQ(buffer->status(), 0);
    render(256);
    EXPECT_EQ(buffer->status(), 0);
    buffer->play(SoundBuffer::kPlayOnce);
    buffer->setCurrentPosition(0);
    EXPECT_EQ(buffer->status(), 1);
    render(5000);  // past its 4410 frames
    EXPECT_EQ(buffer->status(), 0);
}

TEST_F(SoundBufferTest, EffectChainsAreSetWhileStoppedAndReachTheirEffects) {
    const std::string path = file("stereo.wav", sine(440.0, 0.5), 2);
    auto plain = make(path, kSampler);
    std::vector<int> results;
    EXPECT_EQ(plain->setFX({dsp::EffectKind::Echo}, &results), SoundError::ControlUnavailable);

    auto buffer = make(path, kEffecter);
    ASSERT_EQ(
        buffer->setFX({dsp::EffectKind::Echo, dsp::EffectKind::Gargle, dsp::EffectKind::Echo}, &results),
        SoundError::None);
    EXPECT_EQ(results, (std::vector<int>{kFxSoftware, kFxSoftware, kFxSoftware}));
    ASSERT_NE(buffer->effect(dsp::EffectKind::Echo, 1), nullptr);
    EXPECT_EQ(buffer->effect(dsp::EffectKind::Echo, 2), nullptr);
    EXPECT_EQ(buffer->effect(dsp::EffectKind::Chorus, 0), nullptr);
    SoundEffect* echo = buffer->effect(dsp::EffectKind::Echo, 0);
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->kind(), dsp::EffectKind::Echo);
    dsp::EchoParams params;
    params.fLeftDelay = 120.0f;
    params.fFeedback = 20.0f;
    EXPECT_TRUE(echo->setAllParameters(params));
    EXPECT_FLOAT_EQ(std::get<dsp::EchoParams>(echo->allParameters()).fLeftDelay, 120.0f);
    EXPECT_FALSE(echo->setAllParameters(dsp::GargleParams{}));
    EXPECT_FLOAT_EQ(std::get<dsp::EchoParams>(echo->allParameters()).fLeftDelay, 120.0f);

    buffer->play(SoundBuffer::kPlayOnce);
    EXPECT_EQ(buffer->setFX({dsp::EffectKind::Chorus}, &results), SoundError::InvalidCall);
    EXPECT_NE(buffer->effect(dsp::EffectKind::Gargle, 0), nullptr);  // unchanged
    render(1024);
    buffer->stop();
    ASSERT_EQ(buffer->setFX({}, &results), SoundError::None);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(buffer->effect(dsp::EffectKind::Echo, 0), nullptr);
    render(1024);
}

TEST_F(SoundBufferTest, AnEchoRingsOutAfterAOneShotUnlessItIsStopped) {
    // A 200 ms burst, its echo 300 ms later.
    auto buffer = make(file("burst.wav", monoSine(1000.0, kRate / 5), 1), kEffecter);
    ASSERT_EQ(buffer->setFX({dsp::EffectKind::Echo}, nullptr), SoundError::None);
    dsp::EchoParams echo;
    echo.fLeftDelay = 300.0f;
    echo.fRightDelay = 300.0f;
    ASSERT_TRUE(buffer->effect(dsp::EffectKind::Echo, 0)->setAllParameters(echo));
    const auto window = [](const std::vector<float>& out, double from, double to) {
        return rms(channel(out, 0, static_cast<std::size_t>(from * kRate),
                           static_cast<std::size_t>((to - from) * kRate)));
    };

    buffer->play(SoundBuffer::kPlayOnce);
    auto out = render(kRate);
    EXPECT_EQ(buffer->status(), 0);
    EXPECT_GT(window(out, 0.32, 0.48), 0.02);  // the first repeat, after the buffer itself ended
    EXPECT_GT(window(out, 0.62, 0.78), 0.01);  // the second

    // Stopped, the tail is cut (softly) and does not come back.
    buffer->setCurrentPosition(0);
    buffer->play(SoundBuffer::kPlayOnce);
    auto head = render(kRate / 4);
    buffer->stop();
    out = render(kRate);
    head.insert(head.end(), out.begin(), out.end());
    EXPECT_LT(maxStep(channel(head, 0)), 0.2);
    for (std::size_t i = 2 * 300; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;

    // A new chain set while the tail rings fades the old one out before it takes over.
    buffer->setCurrentPosition(0);
    buffer->play(SoundBuffer::kPlayOnce);
    head = render(kRate / 4);
    ASSERT_EQ(buffer->status(), 0);
    ASSERT_EQ(buffer->setFX({dsp::EffectKind::Gargle}, nullptr), SoundError::None);
    out = render(kRate);
    head.insert(head.end(), out.begin(), out.end());
    EXPECT_LT(maxStep(channel(head, 0)), 0.2);
    for (std::size_t i = 2 * 300; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
    ASSERT_EQ(buffer->setFX({dsp::EffectKind::Echo}, nullptr), SoundError::None);

    // The record reaches the sound: all dry, no repeat.
    echo.fWetDryMix = 0.0f;
    ASSERT_TRUE(buffer->effect(dsp::EffectKind::Echo, 0)->setAllParameters(echo));
    buffer->setCurrentPosition(0);
    buffer->play(SoundBuffer::kPlayOnce);
    out = render(kRate);
    EXPECT_GT(window(out, 0.02, 0.18), 0.3);
    EXPECT_LT(window(out, 0.32, 0.48), 1e-4);
}

// A 3D slot is one point in space: its effects' two sides (an echo's two delays, its pan delay) fold into
// that one sound before the source is placed, as the engine's 3D buffers hold one channel.
TEST_F(SoundBufferTest, EffectsOnA3DSlotFoldToOneSoundBeforeItIsPlaced) {
    auto buffer = make(file("burst.wav", monoSine(1000.0, kRate / 5), 1), kEffecter3D);
    SoundBuffer3D* space = buffer->buffer3D();
    ASSERT_NE(space, nullptr);
    ASSERT_EQ(buffer->setFX({dsp::EffectKind::Echo}, nullptr), SoundError::None);
    dsp::EchoParams echo;
    echo.fLeftDelay = 300.0f;
    echo.fRightDelay = 150.0f;
    echo.fFeedback = 0.0f;
    echo.lPanDelay = 1;
    ASSERT_TRUE(buffer->effect(dsp::EffectKind::Echo, 0)->setAllParameters(echo));
    const auto band = [](const std::vector<float>& out, int side, double from, double to) {
        return rms(channel(out, side, static_cast<std::size_t>(from * kRate),
                           static_cast<std::size_t>((to - from) * kRate)));
    };

    // Straight ahead both sides carry the same sound, the right side's earlier repeat included.
    space->setPosition(0.0f, 0.0f, 1.0f);
    buffer->play(SoundBuffer::kPlayOnce);
    auto out = render(kRate);
    EXPECT_GT(band(out, 0, 0.16, 0.24), 0.01);
    for (std::size_t i = 0; i < out.size(); i += 2) ASSERT_NEAR(out[i], out[i + 1], 1e-6f) << i / 2;

    // On the listener's right, the repeats come from the right as well.
    buffer->stop();
    render(kRate / 10);
    space->setPosition(1.0f, 0.0f, 0.0f);
    buffer->setCurrentPosition(0);
    buffer->play(SoundBuffer::kPlayOnce);
    out = render(kRate);
    EXPECT_GT(band(out, 1, 0.32, 0.38), 0.01);
    EXPECT_LT(band(out, 0, 0.01, 1.0), 1e-6);  // after the one block the move glides over
}

TEST_F(SoundBufferTest, AnyOrderOfOperationsKeepsTheMixFiniteAndBounded) {
    const std::vector<std::string> files = {
        file("short.wav", monoSine(440.0, 300), 1), file("low.wav", monoSine(440.0, 9000), 1, 8000),
        file("high.wav", sine(440.0, 0.4, 96000), 2, 96000), file("mid.wav", monoSine(300.0, 20000), 1)};
    const unsigned modes[4] = {kSampler3D, kEffecter3D, kSampler, kEffecter};
    std::vector<std::unique_ptr<SoundBuffer>> buffers(10);
    std::uint32_t seed = 12345;
    const auto next = [&](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 3000; ++step) {
        auto& buffer = buffers[next(10)];
        switch (next(9)) {
            case 0: {
                SoundError error = SoundError::None;
                buffer = device_.createSoundBufferFromFile(files[next(4)], modes[next(4)], &error);
                break;
            }
            case 1:
                buffer.reset();
                break;
            case 2:
                if (buffer) buffer->play(static_cast<int>(next(2)));
                break;
            case 3:
                if (buffer) buffer->stop();
                break;
            case 4:
                if (buffer) buffer->setCurrentPosition(static_cast<long>(next(3)) * 1000);
                break;
            case 5:
                if (buffer) buffer->setFrequency(next(2) != 0 ? 100000 : 100 + static_cast<int>(next(60000)));
                break;
            case 6:
                if (buffer)
                    buffer->setFX({static_cast<dsp::EffectKind>(next(7)), dsp::EffectKind::Echo}, nullptr);
                break;
            case 7:
                if (buffer && buffer->buffer3D() != nullptr)
                    buffer->buffer3D()->setPosition(static_cast<float>(next(5)) - 2.0f, 0.0f,
                                                    static_cast<float>(next(5)) - 2.0f);
                break;
            default: {
                const std::size_t n = 1 + next(512);
                const auto out = output_.render(n, n);
                engine_.dispatchEvents();
                for (float v : out) ASSERT_TRUE(std::isfinite(v) && std::abs(v) < 8.0f) << "step " << step;
                break;
            }
        }
    }
    buffers.clear();
    render(kRate / 10);
    EXPECT_EQ(engine_.sampler().voicesInUse(), 0);
}

// A slot holds its sound as 16-bit: a float file comes out within one 16-bit step, what lies beyond full
// scale is clipped (not wrapped round), and a value that is not a number is silence.
TEST_F(SoundBufferTest, AFloatFileIsHeldAsSixteenBitClippedAndCleaned) {
    std::vector<float> mono = monoSine(440.0, 8000, 0.3f);
    mono[1000] = 1.5f;
    mono[1001] = -3.0f;
    mono[1002] = std::numeric_limits<float>::quiet_NaN();
    const std::string path = dir_ + "/float.wav";
    writeWav(path, mono, 1, kRate, SF_FORMAT_FLOAT);
    auto buffer = make(path, kSampler);
    render(300);
    buffer->play(SoundBuffer::kPlayOnce);
    const auto left = channel(render(8192), 0);
    EXPECT_NEAR(left[1000], 32767.0f / 32768.0f, 1e-6f);
    EXPECT_FLOAT_EQ(left[1001], -1.0f);
    EXPECT_FLOAT_EQ(left[1002], 0.0f);
    for (std::size_t i = 0; i < 8000; ++i) {
        if (i >= 1000 && i <= 1002) continue;
        ASSERT_NEAR(left[i], mono[i], 1.0f / 32768.0f) << "sample " << i;
    }
}

TEST_F(SoundBufferTest, MoreThanTwoChannelsFoldToStereo) {
    // Six channels in the usual WAVE order; only the front left one sounds.
    std::vector<float> six(6 * 8000, 0.0f);
    const auto tone = monoSine(1000.0, 8000);
    for (std::size_t i = 0; i < 8000; ++i) six[6 * i] = tone[i];
    auto buffer = make(file("six.wav", six, 6), kSampler);
    buffer->play(SoundBuffer::kPlayOnce);
    const auto out = render(4096);
    EXPECT_GT(rms(channel(out, 0)), 0.05);
    EXPECT_LT(rms(channel(out, 1)), 1e-6);
}

}  // namespace
}  // namespace korvex::test
