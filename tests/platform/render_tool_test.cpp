// korvex-render end to end: the command a user runs to check a file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cmath>

#include "platform/platform_support.h"
#include "support/beat_tracks.h"

namespace korvex::test {
namespace {

CommandResult run(const std::string& arguments) {
    return runCommand(std::string("timeout 20 '") + KORVEX_RENDER_EXE + "' " + arguments);
}

TEST(RenderTool, RendersAFileWithItsOptions) {
    const std::string dir = tempDir();
    const std::string in = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    CommandResult result = run("'" + in + "' '" + dir + "/a.wav'");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.rfind("duration=2.0", 0), 0u) << result.output;
    EXPECT_NE(result.output.find(" ns_per_frame="), std::string::npos);
    auto out = readSound(dir + "/a.wav");
    EXPECT_NEAR(static_cast<double>(out.size() / 2) / 44100.0, 2.0, 0.02);
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 4410, 44100), 44100), 440.0, 1.0);
    const double full = rms(channel(out, 1, 4410));

    result = run("'" + in + "' '" + dir + "/b.wav' --rate 1.1 --volume -600 --balance 1000 "
                 "--selection-start 0.5 --selection-end 1.5 --seconds 0.5");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("rendered=0.500"), std::string::npos) << result.output;
    out = readSound(dir + "/b.wav");
    const auto left = channel(out, 0, 4410);
    const auto right = channel(out, 1, 4410);
    EXPECT_NEAR(zeroCrossingFrequency(right, 44100), 484.0, 1.0);
    EXPECT_NEAR(20 * std::log10(rms(right) / full), -6.0, 0.1);
    EXPECT_NEAR(20 * std::log10(rms(left) / rms(right)), -10.0, 0.05);
}

TEST(RenderTool, KeylockKeepsThePitchAtAnotherTempo) {
    const std::string dir = tempDir();
    const std::string in = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    const CommandResult result = run("'" + in + "' '" + dir + "/k.wav' --rate 1.1 --keylock");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto out = readSound(dir + "/k.wav");
    EXPECT_NEAR(static_cast<double>(out.size() / 2) / 44100.0, 2.0 / 1.1, 0.02);
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 4410, 44100), 44100), 440.0, 1.0);
}

TEST(RenderTool, AnUnplayableFileExitsWithStatusTwoAndNoOutput) {
    const std::string dir = tempDir();
    const std::string in = std::string(KORVEX_TEST_DATA) + "/text.mp3";
    const CommandResult result = run("'" + in + "' '" + dir + "/x.wav'");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.output.rfind("korvex-render: " + in + ": ", 0), 0u) << result.output;
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.wav"));

    EXPECT_EQ(run("'" + dir + "/missing.mp3' '" + dir + "/y.wav'").status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir + "/y.wav"));
    EXPECT_EQ(run("only-one-argument").status, 1);
}

TEST(RenderTool, AnalyzePrintsTheTempoFirstBeatLoudnessAndLength) {
    const std::string dir = tempDir();
    writeWav16(dir + "/clicks.wav", clickTrack(122.0, 20.0, 0.25));
    CommandResult result = run("--analyze '" + dir + "/clicks.wav'");
    ASSERT_EQ(result.status, 0) << result.output;
    double bpm = 0, first = 0, lufs = 0, seconds = 0;
    ASSERT_EQ(std::sscanf(result.output.c_str(), "bpm=%lf first_beat_s=%lf loudness_lufs=%lf duration_s=%lf\n", &bpm,
                          &first, &lufs, &seconds),
              4)
        << result.output;
    EXPECT_NEAR(bpm, 122.0, 0.1);
    EXPECT_NEAR(first, 0.25, 0.01);
    EXPECT_LT(lufs, -5.0);
    EXPECT_NEAR(seconds, 20.0, 0.001);
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1);
    result = run("--analyze '" + std::string(KORVEX_TEST_DATA) + "/text.mp3'");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(run("--analyze").status, 1);
}

TEST(RenderTool, RunsTheSoundThroughTheEffects) {
    const std::string dir = tempDir();
    const std::string tone = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    ASSERT_EQ(run("'" + tone + "' '" + dir + "/plain.wav' --seconds 1").status, 0);
    CommandResult result =
        run("'" + tone + "' '" + dir + "/cut.wav' --seconds 1 --fx parameq:center=440,gain=-15");
    ASSERT_EQ(result.status, 0) << result.output;
    const double plain = rms(channel(readSound(dir + "/plain.wav"), 0, 22050));
    EXPECT_NEAR(20 * std::log10(rms(channel(readSound(dir + "/cut.wav"), 0, 22050)) / plain), -15.0, 0.5);

    // Past the end of the file, --seconds lets the echo ring on.
    std::vector<float> late(2 * 44100, 0.0f);
    late[2 * 43000] = late[2 * 43000 + 1] = 0.5f;
    writeWav16(dir + "/late.wav", late);
    result = run("'" + dir + "/late.wav' '" + dir + "/tail.wav' --seconds 1.5 --fx ECHO:LeftDelay=250");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("rendered=1.500"), std::string::npos) << result.output;
    const auto tail = readSound(dir + "/tail.wav");
    EXPECT_NEAR(static_cast<double>(peakFrame(tail, 0, 44100, 66150)), 43000.0 + 11025.0, 1.0);
}

TEST(RenderTool, ShapesTheSoundWithTheDeckEqualiser) {
    const std::string dir = tempDir();
    auto mix = sine(70.0, 1.0);
    const auto treble = sine(7000.0, 1.0);
    for (std::size_t i = 0; i < mix.size(); ++i) mix[i] = 0.5f * (mix[i] + treble[i]);
    writeWav16(dir + "/in.wav", mix);
    ASSERT_EQ(run("'" + dir + "/in.wav' '" + dir + "/flat.wav' --eq 0,0,0").status, 0);
    const CommandResult result = run("'" + dir + "/in.wav' '" + dir + "/eq.wav' --eq -inf,0,-6");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto flat = channel(readSound(dir + "/flat.wav"), 0, 4410);
    const auto shaped = channel(readSound(dir + "/eq.wav"), 0, 4410);
    EXPECT_LT(db(goertzel(shaped, 70.0, kRate) / goertzel(flat, 70.0, kRate)), -60.0);
    EXPECT_NEAR(db(goertzel(shaped, 7000.0, kRate) / goertzel(flat, 7000.0, kRate)), -6.0, 0.1);

    for (const char* bad : {"7,0,0", "0,0", "0,0,0,0", "a,0,0", "nan,0,0"}) {
        const CommandResult refused = run("'" + dir + "/in.wav' '" + dir + "/x.wav' --eq " + bad);
        EXPECT_EQ(refused.status, 1) << bad;
        EXPECT_NE(refused.output.find("--eq takes LOW,MID,HIGH"), std::string::npos) << refused.output;
    }
}

TEST(RenderTool, ABadEffectExitsWithStatusTwoAndAOneLineReason) {
    const std::string dir = tempDir();
    const std::string tone = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    for (const std::string fx : {"reverb", "echo:volume=3", "echo:leftdelay=3000", "gargle:waveshape=0.5",
                                 "compressor:ratio=abc", "chorus:phase"}) {
        const CommandResult result = run("'" + tone + "' '" + dir + "/x.wav' --fx echo --fx " + fx);
        EXPECT_EQ(result.status, 2) << fx;
        EXPECT_EQ(result.output.rfind("korvex-render: --fx " + fx + ": ", 0), 0u) << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
        EXPECT_FALSE(std::filesystem::exists(dir + "/x.wav")) << fx;
    }
    EXPECT_EQ(run("'" + tone + "' '" + dir + "/x.wav' --fx").status, 1);
}

TEST(RenderTool, FoldersAndPipesAreRefusedAtOnceWithStatusTwo) {
    const std::string dir = tempDir();
    ::mkdir((dir + "/dir.mid").c_str(), 0755);
    const std::pair<std::string, std::string> cases[] = {
        {dir + "/dir.mid", "a folder, not a music file"},
        {dir + "/fifo.mp3", "not an ordinary file (a pipe, device or socket)"},
        {dir + "/fifo.wav", "not an ordinary file (a pipe, device or socket)"},
        {dir + "/fifo.mid", "not an ordinary file (a pipe, device or socket)"},
    };
    for (const auto& [path, why] : cases) {
        SCOPED_TRACE(path);
        if (path.find("fifo") != std::string::npos) ::mkfifo(path.c_str(), 0644);
        // `timeout` turns a hang into status 124.
        const CommandResult result = run("'" + path + "' '" + dir + "/out.wav'");
        EXPECT_EQ(result.status, 2) << result.output;
        EXPECT_EQ(result.output, "korvex-render: " + path + ": " + why + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir + "/out.wav"));
    }
}

}  // namespace
}  // namespace korvex::test
