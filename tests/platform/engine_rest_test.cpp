// When the engine may let its sound device rest: only after a run of silence with nothing playing, nothing
// queued and nobody listening to the mix; and every kind of work ends the run at once.

#include <gtest/gtest.h>

#include <memory>

#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/audio/mix_tap.h"
#include "platform/media_player.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

struct NullTap final : audio::MixTap {
    void write_rt(const float*, std::size_t) override {}
};

TEST(EngineRest, OnlyAQuietRunWithNobodyListeningMayRestAndAnyWorkWakes) {
    audio::AudioEngine engine;
    audio::ManualOutput output(engine);
    int wakes = 0;
    engine.setWakeHandler([&] { ++wakes; });

    output.render(44100);
    EXPECT_TRUE(engine.mayRest(0.9));
    EXPECT_FALSE(engine.mayRest(1.1)) << "the run is one second long";

    // A deck playing silence (a quiet passage) keeps the device going.
    const std::string path = tempDir() + "/silence.wav";
    writeWav16(path, std::vector<float>(44100 * 2 * 4, 0.0f));
    MediaPlayer player(engine, 0);
    player.setFileName(path);
    player.waitUntilDecoded();
    player.play();
    EXPECT_GT(wakes, 0) << "a command wakes a resting output";
    EXPECT_FALSE(engine.mayRest(0.01)) << "a command ends the quiet run before it is rendered";
    output.render(44100 * 2);
    EXPECT_FALSE(engine.mayRest(0.5));
    player.stop();
    output.render(44100);
    EXPECT_TRUE(engine.mayRest(0.5));

    // A sampler voice, while it sounds and after.
    auto data = std::make_shared<audio::SampleData>();
    data->frames = 4410;
    data->samples.assign(data->frames * 2, 8000);
    const int voice = engine.sampler().attach(data, false);
    ASSERT_GE(voice, 0);
    wakes = 0;
    engine.sampler().play(voice, false);
    EXPECT_GT(wakes, 0) << "a pad wakes a resting output";
    output.render(2205);
    EXPECT_FALSE(engine.mayRest(0.01));
    output.render(44100);
    EXPECT_TRUE(engine.mayRest(0.5)) << "the voice ended";

    // A recording or a broadcast listens to the mix: never at rest.
    NullTap tap;
    wakes = 0;
    ASSERT_TRUE(engine.addMixTap(&tap));
    EXPECT_GT(wakes, 0);
    output.render(44100 * 2);
    EXPECT_FALSE(engine.mayRest(0.5));
    engine.removeMixTap(&tap);
    EXPECT_TRUE(engine.mayRest(0.5));
    engine.setWakeHandler(nullptr);
}

}  // namespace
}  // namespace korvex::test
