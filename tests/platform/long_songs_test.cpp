// Long songs in bounded memory: exact seeks for every kind of file, a three-hour MP3 that plays from its
// start, from a far cue and after many jumps, and the pause loop, CUE preview and search outside the
// cache's window.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "platform/decode/decoded_audio.h"
#include "platform/decode/decoder.h"
#include "platform/decode/track.h"
#include "support/engine_rig.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

using decode::DecodedAudio;

// Makes `path` with the ffmpeg command unless it is already there.
void makeWithFfmpeg(const std::string& path, const std::string& inputs) {
    if (std::ifstream(path).good()) return;
    const std::string command = "ffmpeg -hide_banner -loglevel error -y " + inputs + " '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// 30 s of stereo pink noise and a tone, a different signal on each side.
const std::string kNoiseAndTone =
    "-f lavfi -i anoisesrc=d=30:c=pink:a=0.3 -f lavfi -i sine=f=330:d=30 -filter_complex amerge=inputs=2 -ar 44100";

// A straight decode of the whole file.
std::vector<float> straightDecode(const std::string& path, int& rate) {
    decode::TrackInfo info;
    decode::Refusal error;
    auto decoder = decode::openDecoder(path, 44100, info, error);
    if (!decoder) {
        ADD_FAILURE() << decode::englishText(error);
        return {};
    }
    rate = info.sampleRate;
    DecodedAudio audio(info.sampleRate);
    audio.keepEverything();
    while (decoder->decodeSome(audio)) {
    }
    audio.finish();
    std::vector<float> all(audio.availableFrames() * 2);
    audio.readFloat_rt(0, audio.availableFrames(), all.data());
    return all;
}

struct SeekCase {
    const char* name;
    const char* ext;
    const char* codec;
};

class ExactSeek : public ::testing::TestWithParam<SeekCase> {};

// `jumps` jumps to random frames of `path` give exactly the samples a straight decode has there.
void checkRandomJumps(const std::string& path, int jumps) {
    int rate = 0;
    const std::vector<float> straight = straightDecode(path, rate);
    ASSERT_GT(straight.size(), std::size_t{2} * 25 * static_cast<std::size_t>(rate));
    const auto frames = static_cast<std::int64_t>(straight.size() / 2);

    decode::TrackInfo info;
    decode::Refusal error;
    auto decoder = decode::openDecoder(path, 44100, info, error);
    ASSERT_TRUE(decoder && decoder->canSeek()) << decode::englishText(error);
    std::mt19937 random(14);
    std::uniform_int_distribution<std::int64_t> anywhere(0, frames - 1);
    std::size_t wrong = 0;
    float worst = 0.0f;
    std::string where;
    for (int jump = 0; jump < jumps; ++jump) {
        // The last jump lands just before the end, where the fade and the end padding are.
        const std::int64_t target = jump == jumps - 1 ? frames - 300 : anywhere(random);
        DecodedAudio out(rate);
        if (decoder->seekTo(target, out) != decode::Decoder::Seek::Done) {
            ADD_FAILURE() << "no landing at " << target << " of " << frames;
            continue;
        }
        while (out.writeFrame() < target + 4096 && decoder->decodeSome(out)) {
        }
        if (out.writeFrame() >= frames) out.finish();
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(4096, frames - target));
        std::vector<float> got(count * 2);
        EXPECT_TRUE(out.readFloat_rt(target, count, got.data())) << target;
        std::size_t wrongHere = 0;
        for (std::size_t i = 0; i < count * 2; ++i) {
            const float diff = std::abs(got[i] - straight[static_cast<std::size_t>(target) * 2 + i]);
            if (diff > 0.0f && wrongHere++ == 0) {
                where += " " + std::to_string(target) + "+" + std::to_string(i / 2);
                for (int d = -3000; d <= 3000; ++d) {
                    const std::int64_t t = target + d;
                    if (t < 0 || t + 64 > frames) continue;
                    bool same = true;
                    for (std::size_t k = 0; k < 128 && same; ++k) same = got[k] == straight[static_cast<std::size_t>(t) * 2 + k];
                    if (same) where += "(shift " + std::to_string(d) + ")";
                }
            }
            worst = std::max(worst, diff);
        }
        wrong += wrongHere;
    }
    EXPECT_EQ(wrong, 0u) << "worst difference " << worst << "; wrong from" << where << " of " << frames;
    // Past the end there is nothing to land on.
    DecodedAudio out(rate);
    EXPECT_EQ(decoder->seekTo(frames + 10 * 44100, out), decode::Decoder::Seek::PastEnd);
}

TEST_P(ExactSeek, RandomJumpsLandOnTheStraightDecodesSamples) {
    const SeekCase& c = GetParam();
    const std::string path = tempDir() + "/seek-" + c.name + "." + c.ext;
    makeWithFfmpeg(path, kNoiseAndTone + " " + c.codec);
    checkRandomJumps(path, 50);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExactSeek,
    ::testing::Values(SeekCase{"wav", "wav", "-c:a pcm_s16le"}, SeekCase{"flac", "flac", "-c:a flac"},
                      SeekCase{"mp3cbr", "mp3", "-c:a libmp3lame -b:a 128k"},
                      SeekCase{"mp3cbrNoToc", "mp3", "-c:a libmp3lame -b:a 128k -write_xing 0"},
                      SeekCase{"mp3vbr", "mp3", "-c:a libmp3lame -q:a 4"},
                      SeekCase{"mp3vbrNoToc", "mp3", "-c:a libmp3lame -q:a 4 -write_xing 0"},
                      SeekCase{"wma", "wma", "-c:a wmav2 -b:a 128k"}, SeekCase{"wmamono", "wma", "-ac 1 -ar 22050 -c:a wmav2 -b:a 32k"},
                      SeekCase{"vorbis", "ogg", "-c:a libvorbis -q:a 4"}, SeekCase{"opus", "opus", "-ar 48000 -c:a libopus -b:a 96k"},
                      SeekCase{"m4a", "m4a", "-c:a aac -b:a 128k -aac_pns 0"}, SeekCase{"mp4", "mp4", "-c:a aac -b:a 96k -aac_pns 0"},
                      SeekCase{"adts", "aac", "-c:a aac -b:a 128k -aac_pns 0"}, SeekCase{"aiff", "aiff", "-c:a pcm_s16be"},
                      SeekCase{"wavpack", "wv", "-c:a wavpack"}, SeekCase{"flacogg", "oga", "-c:a flac"}),
    [](const auto& param) { return std::string(param.param.name); });

// A small cache, so songs of a minute are long songs.
class SmallCache : public ::testing::Test {
protected:
    SmallCache() { DecodedAudio::setDefaultCacheBlocks(12); }
    ~SmallCache() override { DecodedAudio::setDefaultCacheBlocks(DecodedAudio::kCacheBlocks); }
};

// Waits (as the sound card would, a little at a time) until `seconds` of the deck's song are in memory.
bool waitResident(const MediaPlayer& player, double seconds, double span = 0.2) {
    const DecodedAudio* audio = player.decodedAudio();
    const auto first = static_cast<std::int64_t>(seconds * audio->sampleRate());
    const auto last = first + static_cast<std::int64_t>(span * audio->sampleRate());
    for (int i = 0; i < 5000 && !audio->resident_rt(first, last); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return audio->resident_rt(first, last);
}

// A MIDI song of `seconds` (at 120 beats a minute): a piano note every quarter beat, each held for two,
// string chords of four seconds and a kick on every beat, so that notes and reverb run across any point.
std::string longMidi(int seconds) {
    const std::string path = tempDir() + "/long-" + std::to_string(seconds) + ".mid";
    struct Event {
        std::uint32_t tick;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Event> events{{0, {0xC0, 0}}, {0, {0xC1, 48}}};
    const std::uint32_t beats = static_cast<std::uint32_t>(seconds) * 2;
    for (std::uint32_t step = 0; step < beats * 4; ++step) {
        const auto note = static_cast<std::uint8_t>(48 + (step * 7) % 36);
        events.push_back({step * 120, {0x90, note, 100}});
        events.push_back({step * 120 + 240, {0x80, note, 0}});
    }
    for (std::uint32_t beat = 0; beat < beats; ++beat) {
        events.push_back({beat * 480, {0x99, 36, 110}});
        if (beat % 8 == 0)
            for (std::uint8_t note : {55, 59, 62}) {
                events.push_back({beat * 480, {0x91, static_cast<std::uint8_t>(note + beat % 5), 80}});
                events.push_back({beat * 480 + 3840 - 1, {0x81, static_cast<std::uint8_t>(note + beat % 5), 0}});
            }
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::vector<std::uint8_t> track;
    std::uint32_t last = 0;
    auto varLen = [&](std::uint32_t v) {
        std::uint8_t bytes[5];
        int n = 0;
        do {
            bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n-- > 0) track.push_back(static_cast<std::uint8_t>(bytes[n] | (n > 0 ? 0x80 : 0)));
    };
    for (const Event& e : events) {
        varLen(e.tick - last);
        last = e.tick;
        track.insert(track.end(), e.bytes.begin(), e.bytes.end());
    }
    varLen(0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::ofstream file(path, std::ios::binary);
    const std::uint8_t header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    const auto size = static_cast<std::uint32_t>(track.size());
    const char length[] = {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                           static_cast<char>(size)};
    file.write(length, 4);
    file.write(reinterpret_cast<const char*>(track.data()), static_cast<std::streamsize>(track.size()));
    return path;
}

// A MIDI song longer than the deck's cache is rendered once into a scratch file: jumps give exactly the
// straight render's samples, and the deck, left alone, renders ahead, learns the length and keeps no more
// than its cache.
TEST_F(SmallCache, LongMidiSongsJumpExactlyAndStayBounded) {
    const std::string path = longMidi(40);
    checkRandomJumps(path, 50);

    int rate = 0;
    const std::vector<float> straight = straightDecode(path, rate);
    decode::Refusal error;
    auto track = decode::Track::open(path, 44100, error);
    ASSERT_TRUE(track) << decode::englishText(error);
    DecodedAudio& audio = *track->audio();
    audio.waitComplete();
    EXPECT_EQ(audio.availableFrames() * 2, straight.size());
    EXPECT_LE(audio.residentBlocks(), 12u);
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int64_t> anywhere(0, static_cast<std::int64_t>(audio.availableFrames()) - 2048);
    for (int jump = 0; jump < 10; ++jump) {
        const std::int64_t target = anywhere(random);
        audio.setPlayHead_rt(target);
        audio.requestFrame(target);
        for (int i = 0; i < 5000 && !audio.resident_rt(target, target + 2047); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::vector<float> got(2048 * 2);
        ASSERT_TRUE(audio.readFloat_rt(target, 2048, got.data())) << target;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), straight.begin() + target * 2)) << target;
    }
    EXPECT_LE(audio.residentBlocks(), 12u);
}

// When the scratch file cannot grow (a full disk), jumps behind the synthesiser render again from the
// start and still land on the straight render's samples.
TEST_F(SmallCache, LongMidiSongsJumpExactlyWhenTheScratchFileIsFull) {
    const std::string path = longMidi(20);
    int rate = 0;
    const std::vector<float> straight = straightDecode(path, rate);
    decode::TrackInfo info;
    decode::Refusal error;
    auto decoder = decode::openDecoder(path, 44100, info, error);
    ASSERT_TRUE(decoder && decoder->canSeek()) << decode::englishText(error);
    // Files of this process stop growing at 1 MiB (6 s of samples) for the rest of the test.
    struct FileSizeLimit {
        rlimit saved{};
        void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
        FileSizeLimit() {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 1 << 20;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        ~FileSizeLimit() {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        }
    } limit;
    // Forward past what the file holds, back behind the synthesiser, into the file, and past it again.
    for (const double seconds : {15.0, 9.0, 2.5, 12.0, 7.0}) {
        const auto target = static_cast<std::int64_t>(seconds * rate);
        DecodedAudio out(rate);
        ASSERT_EQ(decoder->seekTo(target, out), decode::Decoder::Seek::Done) << seconds;
        while (out.writeFrame() < target + 4096 && decoder->decodeSome(out)) {
        }
        std::vector<float> got(4096 * 2);
        EXPECT_TRUE(out.readFloat_rt(target, 4096, got.data()));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), straight.begin() + target * 2)) << seconds;
    }
}

// A minute whose every second has its own tone: 200 Hz + 20 Hz x (second mod 100).
const std::string kSecondTones = "-f lavfi -i 'aevalsrc=sin(2*PI*(200+20*mod(floor(t)\\,100))*t):s=22050:d=";

double toneOf(int second) { return 200.0 + 20.0 * (second % 100); }

// The tone's frequency in channel 0 of `stereo` from frame `from` for `count` frames (zero crossings).
double frequencyAt(const std::vector<float>& stereo, std::size_t from, std::size_t count, int rate) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < from + count && 2 * i < stereo.size(); ++i)
        if ((stereo[2 * i - 2] < 0.0f) != (stereo[2 * i] < 0.0f)) ++crossings;
    return crossings * rate / (2.0 * static_cast<double>(count));
}

float peak(const std::vector<float>& samples) {
    float top = 0.0f;
    for (float x : samples) top = std::max(top, std::abs(x));
    return top;
}

// First frame of `stereo` from `from` on that is not silent.
std::size_t firstSound(const std::vector<float>& stereo, std::size_t from) {
    for (std::size_t i = from; 2 * i < stereo.size(); ++i)
        if (std::abs(stereo[2 * i]) > 1e-4f) return i;
    return stereo.size() / 2;
}

// The pause loop (back to the cue again and again), the CUE preview (play from the cue while held, then
// back) and search (short steps forward) all play the cue's own seconds when the cue lies far outside
// the window the deck keeps around its play head.
TEST_F(SmallCache, CueMovesPlayTheRightSamplesOutsideTheWindow) {
    const std::string path = tempDir() + "/seconds-60.mp3";
    makeWithFfmpeg(path, kSecondTones + "60' -ac 1 -c:a libmp3lame -b:a 64k");
    EngineRig rig;
    rig.player.setFileName(path);
    ASSERT_FALSE(rig.player.hasError());
    const int rate = EngineRig::kRate;
    const double cue = 50.3;
    // Playing from 2 s on for a while pushes the cue's blocks out unless the deck keeps them.
    rig.player.setCuePoint(cue);
    rig.player.setCurrentPosition(2.0);
    ASSERT_TRUE(waitResident(rig.player, 2.0));
    rig.player.play();
    for (int i = 0; i < 40; ++i) {
        waitResident(rig.player, rig.player.currentPosition(), 0.3);
        rig.render(0.25);
    }
    ASSERT_GT(rig.player.currentPosition(), 11.0);
    // These renders run faster than a sound card, so all that the loop plays must be ready beforehand.
    EXPECT_TRUE(waitResident(rig.player, cue, 0.5)) << "the cue is kept ready";
    EXPECT_LE(rig.player.decodedAudio()->residentBlocks(), 12u);

    // Pause loop: back to the cue every 0.4 s, at once (its blocks are there).
    for (int loop = 0; loop < 5; ++loop) {
        rig.player.setCurrentPosition(cue);
        const auto out = rig.render(0.4);
        EXPECT_NEAR(frequencyAt(out, rate / 50, rate / 4, rate), toneOf(50), 12.0) << loop;
        EXPECT_LT(firstSound(out, rate / 100), static_cast<std::size_t>(rate / 50)) << "no wait at the cue";
    }
    // CUE preview: paused at the cue, plays while held, back to the cue on release.
    rig.player.pause();
    rig.player.setCurrentPosition(cue);
    rig.render(0.1);
    rig.player.play();
    auto held = rig.render(0.5);
    EXPECT_NEAR(frequencyAt(held, rate / 50, rate / 4, rate), toneOf(50), 12.0);
    rig.player.pause();
    rig.player.setCurrentPosition(cue);
    rig.render(0.05);
    EXPECT_NEAR(rig.player.currentPosition(), cue, 1e-6);

    // Search: steps of a second forward from far away, each playing its own second.
    rig.player.setCurrentPosition(20.4);
    rig.player.play();
    for (int step = 0; step < 6; ++step) {
        const double at = 20.4 + step;
        rig.player.setCurrentPosition(at);
        ASSERT_TRUE(waitResident(rig.player, at, 0.3));
        const auto out = rig.render(0.3);
        EXPECT_NEAR(frequencyAt(out, rate / 50, rate / 4, rate), toneOf(static_cast<int>(at)), 12.0) << at;
    }
}

// A long song learns its exact length without being played to the end: the worker decodes the last block
// once the index is complete; the length is that of a straight decode, and the end plays.
TEST_F(SmallCache, ALongSongsEndIsDecodedForItsExactLength) {
    const std::string path = tempDir() + "/seconds-60.mp3";
    makeWithFfmpeg(path, kSecondTones + "60' -ac 1 -c:a libmp3lame -b:a 64k");
    int rate = 0;
    const std::vector<float> straight = straightDecode(path, rate);
    EngineRig rig;
    rig.player.setFileName(path);
    rig.player.waitUntilDecoded();
    const DecodedAudio& audio = *rig.player.decodedAudio();
    EXPECT_EQ(audio.availableFrames() * 2, straight.size());
    EXPECT_LT(audio.residentBlocks(), 12u);
    std::vector<float> end(2000 * 2);
    EXPECT_TRUE(audio.readFloat_rt(static_cast<std::int64_t>(audio.availableFrames()) - 2000, 2000, end.data()));
    EXPECT_TRUE(std::equal(end.begin(), end.end(), straight.end() - 4000));
    rig.player.setCurrentPosition(rig.player.duration() - 0.5);
    rig.player.play();
    rig.render(1.0);
    EXPECT_EQ(rig.endEvents, 1);
}

// A three-hour MP3 made from a looped 100-second one (each second its own tone).
std::string threeHourMp3() {
    const std::string dir = "/tmp/korvex-longsongs";
    ::mkdir(dir.c_str(), 0755);
    const std::string hundred = dir + "/seconds-100.mp3";
    const std::string path = dir + "/three-hours.mp3";
    makeWithFfmpeg(hundred, kSecondTones + "100' -ac 1 -c:a libmp3lame -b:a 32k");
    makeWithFfmpeg(path, "-stream_loop 108 -i '" + hundred + "' -c copy -t 10800");
    return path;
}

// Each copy of the 100-second file in the three hours is 3830 packets of 576 samples, starting with the
// encoder's 1105 samples of delay: where in the three hours a second of the 100 lies.
constexpr std::int64_t kLoopSamples = 3830 * 576;
constexpr std::int64_t kDelay = 1105;
double timeOf(int loop, double second) { return (loop * kLoopSamples + second * 22050) / 22050.0; }
int secondAt(double t) {
    const std::int64_t within = (static_cast<std::int64_t>(t * 22050) + kDelay) % kLoopSamples;
    return static_cast<int>((within - kDelay) / 22050);
}

// After a jump: the old place fades out, then silence while the block is decoded (the position stays but
// for the rest of the packet that holds the target),
// then the target's own tone; never another second's.
void checkJump(EngineRig& rig, double target) {
    const int rate = EngineRig::kRate;
    rig.player.setCurrentPosition(target);
    // The old place's fade.
    std::vector<float> out = rig.render(0.02);
    // Renders in small steps as a sound card would, giving the worker time; silence means waiting.
    for (int waits = 0;; ++waits) {
        ASSERT_LT(waits, 4000) << "never landed at " << target;
        const auto block = rig.render(256.0 / rate);
        out.insert(out.end(), block.begin(), block.end());
        if (peak(block) > 1e-4f) break;
        // Waiting holds the position; on a busy machine the rest of the packet that holds the target (at
        // most one MP3 packet, 576 samples) may play, still at the fade-in's first few steps, before the
        // next packet is decoded.
        EXPECT_GE(rig.player.currentPosition(), target - 1e-9) << target;
        EXPECT_LE(rig.player.currentPosition(), target + 576.0 / 22050) << "the position ran ahead at " << target;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Played on: the worker is far ahead of a real-time play head; this renders faster, so it waits.
    ASSERT_TRUE(waitResident(rig.player, rig.player.currentPosition(), 0.3));
    const auto rest = rig.render(0.25);
    out.insert(out.end(), rest.begin(), rest.end());
    const std::size_t sound = firstSound(out, static_cast<std::size_t>(rate / 40));
    ASSERT_LT(sound + rate / 5, out.size() / 2) << target;
    EXPECT_NEAR(frequencyAt(out, sound + rate / 100, rate / 5, rate), toneOf(secondAt(target)), 12.0) << target;
}

TEST(LongSong, ThreeHourMp3PlaysFromTheStartAFarCueAndAfterManyJumps) {
    const std::string path = threeHourMp3();
    EngineRig rig;
    rig.player.setFileName(path);
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    EXPECT_NEAR(rig.player.duration(), 10800.0, 1.0);
    // From the start.
    rig.player.play();
    ASSERT_TRUE(waitResident(rig.player, 0.0, 0.5));
    auto out = rig.render(0.5);
    EXPECT_NEAR(frequencyAt(out, 2205, 11025, EngineRig::kRate), toneOf(0), 12.0);
    // From the cue at 2:59:00 (and a half: the middle of one of the 100 file's seconds).
    const double cue = 10740.5;
    rig.player.setCuePoint(cue);
    checkJump(rig, cue);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> loop(0, 106);
    std::uniform_int_distribution<int> second(0, 99);
    std::uniform_real_distribution<double> within(0.1, 0.5);
    for (int jump = 0; jump < 200; ++jump) checkJump(rig, timeOf(loop(random), second(random) + within(random)));
    EXPECT_LE(rig.player.decodedAudio()->residentBlocks(), DecodedAudio::kCacheBlocks);
}

}  // namespace
}  // namespace korvex::test
