// Every kind of file a deck opens, and the broken ones it must refuse without crashing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <utility>

#include "platform/decode/decoded_audio.h"
#include "platform/platform_support.h"
#include "support/engine_rig.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

std::string fixture(const char* name) { return std::string(KORVEX_TEST_DATA) + "/" + name; }

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The largest step between neighbouring samples of one channel.
float largestJump(const std::vector<float>& channelSamples, std::size_t* where = nullptr) {
    float jump = 0.0f;
    for (std::size_t i = 1; i < channelSamples.size(); ++i) {
        if (std::abs(channelSamples[i] - channelSamples[i - 1]) <= jump) continue;
        jump = std::abs(channelSamples[i] - channelSamples[i - 1]);
        if (where != nullptr) *where = i;
    }
    return jump;
}

float peak(const std::vector<float>& samples) {
    float top = 0.0f;
    for (float s : samples) top = std::max(top, std::abs(s));
    return top;
}

// A variable-length MIDI quantity.
std::string midiVar(std::uint32_t n) {
    std::string out(1, static_cast<char>(n & 0x7F));
    while (n >>= 7) out.insert(out.begin(), static_cast<char>((n & 0x7F) | 0x80));
    return out;
}

// A one-track MIDI file at 480 ticks per beat and 120 bpm from its events.
std::string midiFile(const std::string& events) {
    auto be32 = [](std::size_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string header = std::string("MThd") + be32(6) + std::string("\0\0\0\1\x01\xE0", 6);
    return header + "MTrk" + be32(events.size()) + events;
}

struct Format {
    const char* file;
    double duration;
    double frequency;
    friend void PrintTo(const Format& format, std::ostream* os) { *os << format.file; }
};

class DeckFormats : public ::testing::TestWithParam<Format> {};

TEST_P(DeckFormats, OpensWithADurationAndPlaysItsTone) {
    const Format format = GetParam();
    EngineRig rig;
    rig.player.setFileName(fixture(format.file));
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    EXPECT_NEAR(rig.player.duration(), format.duration, 0.15) << "known as soon as the file is open";
    rig.player.waitUntilDecoded();
    EXPECT_NEAR(rig.player.duration(), format.duration, 0.15);
    rig.player.play();
    const auto out = rig.render(0.8);
    const auto steady = channel(out, 0, 8820, 22050);
    EXPECT_GT(rms(steady), 0.02);
    EXPECT_NEAR(zeroCrossingFrequency(steady, EngineRig::kRate), format.frequency, 2.0);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, DeckFormats,
                         ::testing::Values(Format{"tone440.mp3", 2.0, 440.0}, Format{"tone440.wma", 2.0, 440.0},
                                           Format{"tone440.mpg", 2.0, 440.0},
                                           Format{"tone440_mono22k.wav", 2.0, 440.0},
                                           Format{"tone440.mid", 3.0, 440.0}),
                         [](const ::testing::TestParamInfo<Format>& entry) {
                             std::string name = entry.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// A General MIDI song as loud as a file can make it: eight channels at full volume and expression, each
// hammering an eight-note chord at the top velocity, over a drum kit doing the same.
std::string loudestMidi() {
    std::string events;
    std::uint32_t wait = 0;  // ticks before the next event
    auto add = [&](int status, int a, int b) {
        events +=
            midiVar(std::exchange(wait, 0)) + std::string{static_cast<char>(status), static_cast<char>(a)};
        if (b >= 0) events += static_cast<char>(b);
    };
    const int programs[] = {0, 29, 30, 48, 61, 81, 19, 38};
    for (int ch = 0; ch < 8; ++ch) {
        add(0xC0 | ch, programs[ch], -1);
        add(0xB0 | ch, 7, 127);
        add(0xB0 | ch, 11, 127);
    }
    const int chord[] = {36, 43, 48, 52, 55, 60, 64, 67};
    for (int beat = 0; beat < 6; ++beat) {
        for (int ch = 0; ch < 8; ++ch)
            for (int note : chord) add(0x90 | ch, note, 127);
        for (int drum : {35, 36, 38, 40, 49, 57}) add(0x99, drum, 127);
        wait = 240;
        for (int ch = 0; ch < 8; ++ch)
            for (int note : chord) add(0x80 | ch, note, 0);
        wait = 240;
    }
    return midiFile(events + midiVar(wait) + std::string("\xFF\x2F\x00", 3));
}

TEST(DeckMidi, TheLoudestSongPlaysLoudAndNeverReachesFullScale) {
    const std::string path = tempDir() + "/loudest.mid";
    std::ofstream(path, std::ios::binary) << loudestMidi();
    EngineRig rig;
    rig.player.setFileName(path);
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    rig.player.waitUntilDecoded();
    rig.player.play();
    const auto out = rig.render(rig.player.duration());
    const float top = peak(out);
    EXPECT_LT(top, 32767.0f / 32768.0f) << "no sample at full scale";
    EXPECT_GT(top, 0.9f) << "held just below it";
    EXPECT_GT(rms(channel(out, 0)), 0.1) << "and loud throughout";
}

TEST(DeckBrokenFiles, TruncatedMp3PlaysWhatItHoldsAndEndsCleanlyRewound) {
    EngineRig rig;
    rig.player.setFileName(fixture("truncated660.mp3"));
    ASSERT_FALSE(rig.player.hasError());
    rig.player.waitUntilDecoded();
    const double held = rig.player.duration();
    EXPECT_GT(held, 5.0);
    EXPECT_LT(held, 7.0);
    rig.player.setCurrentPosition(held - 0.5);
    rig.player.play();
    const auto out = rig.render(1.0);
    EXPECT_EQ(rig.endEvents, 1);
    EXPECT_EQ(rig.player.playState(), 0);
    EXPECT_DOUBLE_EQ(rig.player.currentPosition(), 0.0) << "stopped and rewound at the end";
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 2205, 13230), EngineRig::kRate), 660.0, 2.0);
    EXPECT_LT(rms(channel(out, 0, 26460)), 1e-6) << "silent after the end";
}

TEST(DeckBrokenFiles, WhatIsNotASongIsRefusedInWordsADjUnderstands) {
    const std::string dir = tempDir();
    ::mkdir((dir + "/folder.mid").c_str(), 0755);
    ::mkdir((dir + "/folder.mp3").c_str(), 0755);
    for (const char* name : {"/fifo.mp3", "/fifo.wav", "/fifo.mid"}) ::mkfifo((dir + name).c_str(), 0644);
    std::ofstream(dir + "/cut.mid", std::ios::binary) << readBytes(fixture("tone440.mid")).substr(0, 10);
    const std::pair<std::string, std::string> cases[] = {
        {dir + "/folder.mid", "a folder, not a music file"},
        {dir + "/folder.mp3", "a folder, not a music file"},
        {dir, "a folder, not a music file"},
        {dir + "/fifo.mp3", "not an ordinary file (a pipe, device or socket)"},
        {dir + "/fifo.wav", "not an ordinary file (a pipe, device or socket)"},
        {dir + "/fifo.mid", "not an ordinary file (a pipe, device or socket)"},
        {dir + "/missing.mid", "the file does not exist"},
        {dir + "/missing.mp3", "the file does not exist"},
        {fixture("empty.mp3"), "the file is empty"},
        {fixture("text.mp3"), "not a music file Korvex can read (damaged or of an unknown kind)"},
        {fixture("random.mp3"), "not a music file Korvex can read (damaged or of an unknown kind)"},
        {fixture("make-fixtures.sh"), "not a music file Korvex can read (damaged or of an unknown kind)"},
        {dir + "/cut.mid", "a damaged MIDI file"},
    };
    for (const auto& [path, why] : cases) {
        SCOPED_TRACE(path);
        EngineRig rig;
        std::string reported;
        rig.player.onOpenError = [&reported](const std::string&, const std::string& text) { reported = text; };
        rig.player.setFileName(path);
        EXPECT_TRUE(rig.player.hasError());
        EXPECT_EQ(rig.player.errorText(), why);
        EXPECT_EQ(reported, why);
        // Nothing to play: the deck stays stopped and silent.
        EXPECT_EQ(rig.player.duration(), 0.0);
        rig.player.play();
        rig.player.setCurrentPosition(1.0);
        EXPECT_LT(rms(channel(rig.render(0.1), 0)), 1e-6);
        EXPECT_EQ(rig.player.playState(), 0);
        // A good file afterwards clears the error.
        rig.player.setFileName(fixture("tone440.mp3"));
        EXPECT_FALSE(rig.player.hasError());
    }
}

TEST(DeckBrokenFiles, TruncatedMpgEndsWithoutANoiseBurst) {
    EngineRig whole;
    whole.load(fixture("tone440.mpg"));
    whole.player.play();
    const auto intact = channel(whole.render(whole.player.duration() + 0.3), 0);
    const float ownJump = largestJump(intact);
    ASSERT_GT(ownJump, 0.0f);

    const std::string bytes = readBytes(fixture("tone440.mpg"));
    const std::string dir = tempDir();
    // Cut at several places: inside audio packets, inside video packets, inside pack headers.
    for (int percent = 30; percent <= 95; percent += 5) {
        const std::string path = dir + "/cut" + std::to_string(percent) + ".mpg";
        std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() * percent / 100);
        SCOPED_TRACE(path);
        EngineRig rig;
        rig.load(path);
        if (rig.player.hasError()) continue;
        rig.player.play();
        const auto out = channel(rig.render(rig.player.duration() + 0.3), 0);
        EXPECT_LE(peak(out), peak(intact) * 1.05f);
        std::size_t at = 0;
        EXPECT_LE(largestJump(out, &at), ownJump * 1.05f)
            << "a damaged frame reached the output at " << static_cast<double>(at) / EngineRig::kRate << " s of "
            << rig.player.duration();
    }
}

// Two files joined into one (`cat a.mp3 b.mp3`): the channels or the rate change part-way through.
TEST(DeckBrokenFiles, ASongThatChangesChannelsOrRatePartWayPlaysOnAtItsSpeed) {
    const std::string dir = tempDir();
    auto make = [&dir](const std::string& name, double frequency, int channels, int rate) {
        const std::string path = dir + "/" + name;
        const std::string command = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=f=" +
                                    std::to_string(frequency) + ":d=3 -ac " + std::to_string(channels) +
                                    " -ar " + std::to_string(rate) + " -b:a 64k '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return readBytes(path);
    };
    const std::string stereo = make("stereo.mp3", 440, 2, 44100);
    const struct Joined {
        const char* name;
        std::string first, second;
        double firstFrequency, secondFrequency;
        double secondLevel;  // rms of each side in the second half
    } cases[] = {
        // The test tone is at 1/8 of full scale; a stereo file made from it carries it 3 dB lower on each side.
        {"stereo-then-mono.mp3", stereo, make("mono.mp3", 660, 1, 44100), 440, 660, 0.125 / std::sqrt(2.0)},
        {"mono-then-stereo.mp3", make("mono440.mp3", 440, 1, 44100), make("stereo660.mp3", 660, 2, 44100), 440,
         660, 0.125 / 2},
        {"44k-then-22k.mp3", stereo, make("half-rate.mp3", 660, 2, 22050), 440, 660, 0.125 / 2},
    };
    for (const Joined& joined : cases) {
        SCOPED_TRACE(joined.name);
        const std::string path = dir + "/" + joined.name;
        std::ofstream(path, std::ios::binary) << joined.first << joined.second;

        // Straight through, as korvex-render plays it: to the end, each half at its own pitch.
        const std::string out = dir + "/out.wav";
        const CommandResult result =
            runCommand("timeout 20 '" + std::string(KORVEX_RENDER_EXE) + "' '" + path + "' '" + out + "'");
        ASSERT_EQ(result.status, 0) << result.output;
        const auto heard = readSound(out);
        EXPECT_NEAR(static_cast<double>(heard.size() / 2) / EngineRig::kRate, 6.0, 0.12);
        for (int side = 0; side < 2; ++side) {
            EXPECT_NEAR(zeroCrossingFrequency(channel(heard, side, 22050, 44100), EngineRig::kRate),
                        joined.firstFrequency, 2.0);
            EXPECT_NEAR(zeroCrossingFrequency(channel(heard, side, 198450, 44100), EngineRig::kRate),
                        joined.secondFrequency, 2.0);
            EXPECT_NEAR(rms(channel(heard, side, 198450, 44100)), joined.secondLevel, 0.006)
                << "mono plays on both sides at full level";
        }

        // A jump into the second half lands there.
        EngineRig rig;
        rig.load(path);
        ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
        EXPECT_NEAR(rig.player.duration(), 6.0, 0.12);
        rig.player.setCurrentPosition(4.0);
        rig.player.play();
        const auto jumped = rig.render(1.0);
        EXPECT_NEAR(zeroCrossingFrequency(channel(jumped, 0, 4410, 22050), EngineRig::kRate), joined.secondFrequency,
                    2.0);
    }
}

// A deck holds at most DecodedAudio::kMaxFrames of a song: the length it shows before the end is decoded
// is never more than that (an MP3 whose header claims seven hours).
TEST(DeckBrokenFiles, ALengthBeyondWhatADeckHoldsIsShownAsWhatItHolds) {
    const std::string dir = tempDir();
    const std::string path = dir + "/claims-seven-hours.mp3";
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=d=60 -ac 1 -b:a 32k '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string bytes = readBytes(path);
    const auto tag = bytes.find("Info");
    ASSERT_NE(tag, std::string::npos) << "ffmpeg writes an Info header with a frame count";
    bytes.replace(tag + 8, 4, std::string("\x00\x0F\x42\x40", 4));  // a million frames
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    EngineRig rig;
    rig.player.setFileName(path);
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    const double held = static_cast<double>(decode::DecodedAudio::kMaxFrames) / 44100.0;
    EXPECT_GT(rig.player.duration(), held - 1.0) << "the header's claim is believed up to what a deck holds";
    EXPECT_LE(rig.player.duration(), held);
}

TEST(DeckBrokenFiles, MidiLengthFollowsItsSoundNotItsEndMarker) {
    const std::string dir = tempDir();
    const std::string noteOn = std::string("\x90\x45\x64", 3);
    const std::string noteOff = std::string("\x80\x45\x00", 3);
    // Half a second of A4, then the end-of-track marker hours later (the largest deltas a file can hold).
    std::string far = midiVar(0) + noteOn + midiVar(480) + noteOff;
    for (int i = 0; i < 16; ++i) far += midiVar(0x0FFFFFFF) + std::string("\xFF\x01\x00", 3);
    far += midiVar(0x0FFFFFFF) + std::string("\xFF\x2F\x00", 3);
    std::ofstream(dir + "/far.mid", std::ios::binary) << midiFile(far);
    // A note, a pause of days, and a second note: rendering stops in the pause.
    std::string pause = midiVar(0) + noteOn + midiVar(480) + noteOff;
    pause += midiVar(0x0FFFFFFF) + noteOn + midiVar(480) + noteOff + midiVar(0) + std::string("\xFF\x2F\x00", 3);
    std::ofstream(dir + "/pause.mid", std::ios::binary) << midiFile(pause);

    EngineRig rig;
    rig.player.setFileName(dir + "/far.mid");
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    EXPECT_LE(rig.player.duration(), 0.5 + 4.0 + 0.01) << "known at once";
    rig.player.waitUntilDecoded();
    EXPECT_LE(rig.player.duration(), 0.5 + 4.0 + 0.01);
    EXPECT_GE(rig.player.duration(), 0.5);

    rig.player.setFileName(dir + "/pause.mid");
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    rig.player.waitUntilDecoded();
    EXPECT_LE(rig.player.decodedAudio()->availableFrames(), std::size_t{70} * EngineRig::kRate)
        << "a minute of nothing ends the rendering";
    rig.player.play();
    EXPECT_GT(rms(channel(rig.render(0.4), 0, 4410)), 0.002) << "the first note plays";
}

}  // namespace
}  // namespace korvex::test
