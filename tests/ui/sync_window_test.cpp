// Tempo on the decks and Sync, worked from the window: the analysed tempo appears in each deck's display
// and follows the pitch knob, and Y puts the keyboard deck's tempo and beats on the other deck's, as heard
// in the master mix the wav output writes.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mixer/mixer_laws.h"
#include "support/beat_tracks.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Times (seconds) at which a click around `hz` starts in `mono`: the band-passed signal rising past a
// quarter of its peak after at least 100 ms of quiet. The filter's Q grows with its frequency, so every
// band is delayed alike (by about 1 ms).
std::vector<double> clicksAround(const std::vector<float>& mono, double hz) {
    const double q = 3.0 * hz / 1000.0;
    const double w0 = 2.0 * std::numbers::pi * hz / kRate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha, a1 = -2.0 * std::cos(w0) / a0, a2 = (1.0 - alpha) / a0;
    const double b0 = alpha / a0, b2 = -alpha / a0;
    std::vector<double> band(mono.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, peak = 0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double y = b0 * mono[i] + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = mono[i];
        y2 = y1;
        y1 = y;
        band[i] = std::abs(y);
        peak = std::max(peak, band[i]);
    }
    std::vector<double> starts;
    long last = -kRate;
    for (std::size_t i = 0; i < band.size(); ++i) {
        if (band[i] < 0.25 * peak) continue;
        if (static_cast<long>(i) - last > kRate / 10) starts.push_back(static_cast<double>(i) / kRate);
        last = static_cast<long>(i);
    }
    return starts;
}

class SyncWindow : public WavWindowTest {
protected:
    // Puts a click track on the deck's list and loads it.
    void load(int deck, const QString& name, double bpm, double firstBeat, double clickHz) {
        const QString path = dir_.filePath(name);
        writeWav16(path.toStdString(), clickTrack(bpm, 60.0, firstBeat, kRate, clickHz));
        auto* list = window().titleList(deck);
        dropFiles(list->viewport(), {path});
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    }
    QString tempo(int deck) { return window().label("Tempo", deck)->text(); }
};

TEST_F(SyncWindow, TheTempoShowsFollowsThePitchAndYPutsBothDecksOnOneBeat) {
    load(0, QStringLiteral("a.wav"), 120.0, 0.1, 1000.0);
    load(1, QStringLiteral("b.wav"), 126.0, 0.33, 5000.0);
    // Nothing shows until the analysis is there; then each deck shows its song's tempo.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tempo(0).isEmpty() && !tempo(1).isEmpty(); }, 30000))
        << tempo(0).toStdString() << " / " << tempo(1).toStdString() << " " << player().player(0).fileName() << " "
        << player().player(1).fileName();
    EXPECT_EQ(tempo(0), QStringLiteral("120.0"));
    EXPECT_EQ(tempo(1), QStringLiteral("126.0"));
    EXPECT_FALSE(window().picture("sync", 1)->picturePath().endsWith(QStringLiteral("/sync2.bmp")));

    // Deck B's pitch moved by its keys: the figure follows the indicator at once.
    QTest::keyClick(&window(), Qt::Key_Right);
    for (int i = 0; i < 10; ++i) QTest::keyClick(&window(), Qt::Key_A);
    player().refresh();
    const float top = player().mixer().pitchKnob(1).top();
    ASSERT_NE(top, 2400.0f);
    EXPECT_EQ(tempo(1), QString::number(126.0 * mixer::pitchRate(top), 'f', 1));

    // Both play, out of step; Y on deck B matches its tempo to deck A's and its beats to deck A's beats.
    pressPlay(window(), 0);
    recordFor(wav_, 0.4);
    pressPlay(window(), 1);
    recordFor(wav_, 0.6);
    QTest::keyClick(&window(), Qt::Key_Y);
    player().refresh();
    const double rate = player().player(1).rate();
    EXPECT_NEAR(126.0 * rate / 120.0, 1.0, 0.0005);
    EXPECT_EQ(tempo(1), QStringLiteral("120.0"));
    // The indicator shows the new rate and the song's tempo memory follows, as a knob move does.
    EXPECT_NEAR(mixer::pitchRate(player().mixer().pitchKnob(1).top()), rate, 1e-6);
    EXPECT_NEAR(window().picture("pitchbtn", 1)->y() * 15.0, player().mixer().pitchKnob(1).top(), 15.0);
    EXPECT_NEAR(player().list(1).field(songlist::kTempo, 0).trimmed().toDouble(), (1.0 + (rate - 1.0) * 1.5) * 100.0,
                0.01);
    EXPECT_TRUE(window().picture("sync", 1)->picturePath().endsWith(QStringLiteral("/sync2.bmp")));

    // KORVEX_SCREENSHOT_DIR keeps a picture of the two decks in step.
    if (const QString shots = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR"); !shots.isEmpty())
        window().grab().save(shots + QStringLiteral("/sync.png"));

    // In the mix: every beat of deck B (its 5 kHz clicks, lowered by its rate) within 5 ms of deck A's.
    const std::size_t from = framesIn(wav_) + kRate / 5;
    recordFor(wav_, 3.0);
    const std::vector<float> mix = channel(readSound(wav_.toStdString()), 0, from, 3 * kRate);
    const std::vector<double> a = clicksAround(mix, 1000.0);
    const std::vector<double> b = clicksAround(mix, 5000.0 * rate);
    ASSERT_GE(b.size(), 4u);
    ASSERT_GE(a.size(), 4u);
    for (const double t : b) {
        double nearest = 1.0;
        for (const double u : a) nearest = std::min(nearest, std::abs(t - u));
        EXPECT_LE(nearest, 0.005) << "deck B's beat at " << t << " s";
    }
}

TEST_F(SyncWindow, SyncThatCannotBeDoneSaysWhyAndLeavesThePitch) {
    load(0, QStringLiteral("a.wav"), 100.0, 0.1, 1000.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tempo(0).isEmpty(); }, 30000));
    // Deck B has no song yet: its Sync button changes nothing and says why in its file label.
    click(window().picture("sync", 1));
    EXPECT_EQ(player().mixer().pitchKnob(1).top(), 2400.0f);
    EXPECT_EQ(window().label("lbfilename", 1)->text(), QStringLiteral("テンポが分かりません"));
    // 140 against 100 BPM: neither the tempo nor half or double it is within the pitch knob's reach.
    load(1, QStringLiteral("b.wav"), 140.0, 0.2, 5000.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tempo(1).isEmpty(); }, 30000));
    click(window().picture("sync", 1));
    EXPECT_EQ(player().mixer().pitchKnob(1).top(), 2400.0f);
    EXPECT_EQ(window().label("lbfilename", 1)->text(), QStringLiteral("ピッチの範囲を超えています"));
    // Nor can deck A reach deck B's tempo (1.4, 2.8 or 0.7 times its own).
    click(window().picture("sync", 0));
    EXPECT_EQ(window().label("lbfilename", 0)->text(), QStringLiteral("ピッチの範囲を超えています"));
}

}  // namespace
}  // namespace korvex::test
