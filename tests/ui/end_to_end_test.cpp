// The whole player as a user drives it, sound written by the wav output in real time: drop a song on deck
// A, double-click it, press Play/Pause and hear it; press again and hear the pause loop's stutter.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Two seconds of 440 Hz, then a rising tone (500 Hz climbing 100 Hz a second), so every moment of the
// song has its own pitch and a recording tells where the deck was playing.
std::vector<float> markedSong() {
    const double seconds = 12.0;
    std::vector<float> out(static_cast<std::size_t>(seconds * kRate) * 2);
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double f = t < 2.0 ? 440.0 : 500.0 + 100.0 * (t - 2.0);
        phase += 2.0 * std::numbers::pi * f / kRate;
        out[2 * i] = out[2 * i + 1] = static_cast<float>(0.5 * std::sin(phase));
    }
    return out;
}

double pitchAt(const std::vector<float>& mix, std::size_t frame, double seconds = 0.06) {
    return zeroCrossingFrequency(channel(mix, 0, frame, static_cast<std::size_t>(seconds * kRate)), kRate);
}

TEST(EndToEnd, DropDoubleClickPlayAndPauseLoop) {
    QTemporaryDir dir;
    const QString song = dir.path() + QStringLiteral("/marked.wav");
    writeWav16(song.toStdString(), markedSong());
    const QString wav = dir.path() + QStringLiteral("/mix.wav");

    app::KorvexApp korvex({"--audio-output=wav:" + wav.toStdString()});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();

    // Drop the song on deck A's title list and double-click it.
    auto* list = window.titleList(0);
    dropFiles(list->viewport(), {song});
    ASSERT_EQ(list->count(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());

    // Play/Pause: the song's tone comes out.
    auto* play = window.picture("Pause", 0);
    const std::size_t started = framesIn(wav);
    click(play, QPoint(5, 5));
    recordFor(wav, 3.0);
    auto mix = readSound(wav.toStdString());
    const std::size_t toneAt = started + static_cast<std::size_t>(0.6 * kRate);
    EXPECT_NEAR(pitchAt(mix, toneAt, 0.5), 440.0, 2.0);
    EXPECT_GT(rms(channel(mix, 0, toneAt, kRate / 2)), 0.2);

    // Pause: the deck keeps returning to the pause point, so the pitch stops rising while sound goes on.
    click(play, QPoint(5, 5));
    const double pausedAt = korvex.player().transport().record(0).cuepos;
    ASSERT_GT(pausedAt, 2.5);
    const std::size_t paused = framesIn(wav);
    recordFor(wav, 1.5);
    mix = readSound(wav.toStdString());
    const double expected = 500.0 + 100.0 * (pausedAt - 2.0);
    std::vector<double> pitches;
    for (double t = 0.3; t < 1.4; t += 0.2) {
        const std::size_t at = paused + static_cast<std::size_t>(t * kRate);
        pitches.push_back(pitchAt(mix, at, 0.04));
        EXPECT_GT(rms(channel(mix, 0, at, kRate / 20)), 0.1) << "the pause loop is heard, not silence";
    }
    // Each return replays the ~90 ms after the pause point (a little more when a tick comes late), so the
    // pitch stays within the first 20 Hz of the climb after it; the pause point read back may lie a block or
    // two behind what was heard on a loaded machine (the sanitizer build), hence the 10 Hz below it.
    for (double pitch : pitches) {
        EXPECT_GT(pitch, expected - 10.0) << "sound returns to the pause point";
        EXPECT_LT(pitch, expected + 20.0) << "sound returns to the pause point";
    }
    // A playing deck would have climbed 110 Hz over the same second.
    EXPECT_LT(std::abs(pitches.back() - pitches.front()), 20.0);
    korvex.shutdown();
}

}  // namespace
}  // namespace korvex::test
