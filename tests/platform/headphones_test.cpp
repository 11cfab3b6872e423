// The headphone bus through the real engine: what reaches the headphones (pre-listened decks after their trim,
// the mix with the master, the level), the shapes of the output that carry it, and the master left as it was.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/manual_output.h"
#include "platform/media_player.h"
#include "platform/sound_buffer.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

double db(double ratio) { return 20.0 * std::log10(ratio + 1e-12); }

// One channel of interleaved frames of `channels` channels.
std::vector<float> take(const std::vector<float>& frames, int channels, int which, std::size_t first = 0) {
    std::vector<float> out;
    for (std::size_t i = first * channels + which; i < frames.size(); i += channels) out.push_back(frames[i]);
    return out;
}

// Two decks on one engine: A plays 440 Hz, B 1 kHz, both at 0.5.
class Headphones : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string dir = tempDir();
        writeWav16(dir + "/a.wav", sine(440.0, 4.0));
        writeWav16(dir + "/b.wav", sine(1000.0, 4.0));
        a_.setFileName(dir + "/a.wav");
        b_.setFileName(dir + "/b.wav");
        a_.waitUntilDecoded();
        b_.waitUntilDecoded();
    }
    void play() {
        a_.play();
        b_.play();
    }
    // Renders `seconds` and returns the last half of it.
    std::vector<float> render(double seconds) {
        auto out = output_.render(static_cast<std::size_t>(seconds * kRate));
        const std::size_t channels = static_cast<std::size_t>(engine_.outputChannels());
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(out.size() / channels / 2 * channels));
        return out;
    }
    audio::AudioEngine engine_{kRate};
    audio::ManualOutput output_{engine_};
    MediaPlayer a_{engine_, 0};
    MediaPlayer b_{engine_, 1};
};

// Deck B is pre-listened while the crossfader has it cut: the headphones (outputs 3-4) hear B alone, at its
// trim, and the master (outputs 1-2) A alone, exactly as without headphones.
TEST_F(Headphones, OnlyThePrelistenedDeckReachesThemAfterItsTrim) {
    engine_.setPhonesRoute(audio::PhonesRoute::kChannels);
    b_.setVolume(-10000);
    b_.setPrelisten(true);
    play();
    auto out = render(0.4);
    for (int ch : {2, 3}) {
        const auto phones = take(out, 4, ch);
        EXPECT_NEAR(goertzel(phones, 1000.0, kRate), 0.5, 0.01);
        EXPECT_LT(goertzel(phones, 440.0, kRate), 1e-4);
    }
    const auto master = take(out, 4, 0);
    EXPECT_NEAR(goertzel(master, 440.0, kRate), 0.5, 0.01);
    EXPECT_LT(goertzel(master, 1000.0, kRate), 1e-4);

    // The trim (-6 dB) reaches the headphones; the volume never does.
    b_.setTrim(-600);
    b_.setVolume(0);
    out = render(0.4);
    EXPECT_NEAR(db(goertzel(take(out, 4, 2), 1000.0, kRate) / 0.5), -6.0, 0.05);
    EXPECT_NEAR(goertzel(take(out, 4, 0), 1000.0, kRate), 0.5, 0.01) << "the master hears B's volume only";

    // Off again: nothing on the headphones.
    b_.setPrelisten(false);
    out = render(0.4);
    EXPECT_LT(rms(take(out, 4, 2)), 1e-5);
}

// The mix blends cue and master, the monitor knob's level scales the result.
TEST_F(Headphones, MixAndLevelShapeWhatTheyHear) {
    engine_.setPhonesRoute(audio::PhonesRoute::kChannels);
    b_.setVolume(-10000);
    b_.setPrelisten(true);
    play();
    engine_.setPhonesMix(1.0f);
    auto out = render(0.4);
    EXPECT_NEAR(goertzel(take(out, 4, 2), 440.0, kRate), 0.5, 0.01) << "the master end hears the master";
    EXPECT_LT(goertzel(take(out, 4, 2), 1000.0, kRate), 1e-4);
    engine_.setPhonesMix(0.5f);
    out = render(0.4);
    EXPECT_NEAR(goertzel(take(out, 4, 2), 440.0, kRate), 0.25, 0.01);
    EXPECT_NEAR(goertzel(take(out, 4, 2), 1000.0, kRate), 0.25, 0.01);
    engine_.setPhonesLevel(0.5f);
    out = render(0.4);
    EXPECT_NEAR(db(goertzel(take(out, 4, 3), 1000.0, kRate) / 0.25), -6.02, 0.05);
    engine_.setPhonesLevel(0.0f);
    out = render(0.4);
    EXPECT_LT(rms(take(out, 4, 3)), 1e-6);
    EXPECT_NEAR(goertzel(take(out, 4, 1), 440.0, kRate), 0.5, 0.01) << "the monitor knob leaves the master";
}

// Split: one stereo output, the master in mono on the left and the headphones in mono on the right.
TEST_F(Headphones, SplitPutsTheMasterLeftAndTheHeadphonesRight) {
    engine_.setPhonesRoute(audio::PhonesRoute::kSplit);
    a_.setBalance(10000);  // A on the right channel only: the left side still hears it, mixed to mono
    b_.setVolume(-10000);
    b_.setPrelisten(true);
    play();
    const auto out = render(0.4);
    EXPECT_NEAR(goertzel(take(out, 2, 0), 440.0, kRate), 0.25, 0.01);
    EXPECT_LT(goertzel(take(out, 2, 0), 1000.0, kRate), 1e-4);
    EXPECT_NEAR(goertzel(take(out, 2, 1), 1000.0, kRate), 0.5, 0.01);
    EXPECT_LT(goertzel(take(out, 2, 1), 440.0, kRate), 1e-4);
}

// A sampler slot ticked for pre-listen reaches the headphones as the room hears it; unticked, only the room.
TEST_F(Headphones, ATickedSamplerSlotReachesThem) {
    engine_.setPhonesRoute(audio::PhonesRoute::kSplit);
    const std::string path = tempDir() + "/slot.wav";
    writeWav16(path, sine(2000.0, 2.0));
    SoundEngineDevice device(engine_);
    SoundError error = SoundError::None;
    auto slot = device.createSoundBufferFromFile(path, kCtrlVolume | kCtrlFrequency | kCtrlPan, &error);
    ASSERT_NE(slot, nullptr);
    slot->play(SoundBuffer::kPlayLooping);
    auto out = render(0.4);
    EXPECT_NEAR(goertzel(take(out, 2, 0), 2000.0, kRate), 0.5, 0.01);
    EXPECT_LT(goertzel(take(out, 2, 1), 2000.0, kRate), 1e-4);
    slot->setPrelisten(true);
    out = render(0.4);
    EXPECT_NEAR(goertzel(take(out, 2, 1), 2000.0, kRate), 0.5, 0.01);
    slot.reset();
    engine_.dispatchEvents();
}

// Whatever the route, outputs 1-2 carry exactly the master they carry without headphones.
TEST_F(Headphones, TheMasterIsUntouchedByTheHeadphones) {
    b_.setPrelisten(true);
    play();
    const auto plain = render(0.3);
    audio::AudioEngine other{kRate};
    audio::ManualOutput otherOut{other};
    MediaPlayer a{other, 0}, b{other, 1};
    a.setFileName(a_.fileName());
    b.setFileName(b_.fileName());
    a.waitUntilDecoded();
    b.waitUntilDecoded();
    other.setPhonesRoute(audio::PhonesRoute::kChannels);
    b.setPrelisten(true);
    a.play();
    b.play();
    const auto four = otherOut.render(static_cast<std::size_t>(0.3 * kRate));
    const auto tail = std::vector<float>(four.begin() + static_cast<std::ptrdiff_t>(four.size() / 8 * 4), four.end());
    ASSERT_EQ(tail.size() / 4, plain.size() / 2);
    for (std::size_t i = 0; i < plain.size() / 2; ++i) {
        ASSERT_EQ(tail[4 * i], plain[2 * i]) << i;
        ASSERT_EQ(tail[4 * i + 1], plain[2 * i + 1]) << i;
    }
}

// The wav: output writes four channels for the channels route, the headphones on 3-4.
TEST_F(Headphones, ChannelsWriteAFourChannelWave) {
    engine_.setPhonesRoute(audio::PhonesRoute::kChannels);
    a_.setPrelisten(true);
    b_.setVolume(-10000);
    const std::string path = tempDir() + "/four.wav";
    std::string notice;
    auto output = audio::openOutput("wav:" + path, engine_, notice);
    ASSERT_TRUE(notice.empty()) << notice;
    play();
    const auto start = engine_.framesRendered();
    while (engine_.framesRendered() < start + kRate / 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    output->stop();
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.channels, 4);
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * 4);
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    // 0.2 s, a whole number of periods of both tones.
    ASSERT_GT(info.frames, 2 * 8820);
    const std::size_t from = static_cast<std::size_t>(info.frames) - 8820;
    EXPECT_NEAR(goertzel(take(frames, 4, 0, from), 440.0, kRate), 0.5, 0.01);
    EXPECT_NEAR(goertzel(take(frames, 4, 3, from), 440.0, kRate), 0.5, 0.01);
    EXPECT_LT(goertzel(take(frames, 4, 3, from), 1000.0, kRate), 1e-4);
}

TEST(HeadphoneMode, OptionWinsOverEnvironmentOverTheStoredChoice) {
    EXPECT_EQ(audio::choosePhonesMode({"--headphones=split"}, "channels", "USB"), "split");
    EXPECT_EQ(audio::choosePhonesMode({}, "channels", "USB"), "channels");
    EXPECT_EQ(audio::choosePhonesMode({}, nullptr, "USB"), "USB");
    EXPECT_EQ(audio::choosePhonesMode({}, "", ""), "none");
    EXPECT_EQ(audio::phonesRouteFor("none"), audio::PhonesRoute::kNone);
    EXPECT_EQ(audio::phonesRouteFor("split"), audio::PhonesRoute::kSplit);
    EXPECT_EQ(audio::phonesRouteFor("channels"), audio::PhonesRoute::kChannels);
    EXPECT_EQ(audio::phonesRouteFor("USB Audio"), audio::PhonesRoute::kDevice);
}

}  // namespace
}  // namespace korvex::test
