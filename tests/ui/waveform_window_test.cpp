// The waveform overview, beat loops and auto trim, worked from the window: the strip shows the analysed
// song and seeks where it is clicked, repainting only its play head's columns; U, I, O and D loop the
// keyboard's deck cleanly, to the sample, with and without keylock, as heard in the mix the wav output
// writes; auto trim puts a song's trim where its loudness says.

#include <gtest/gtest.h>

#include <QPaintEvent>
#include <cmath>
#include <numbers>

#include <QListWidget>

#include "appearance/ui/font_window.h"
#include "mixer/mixer_laws.h"
#include "mixer/ui/configuration_window.h"
#include "support/beat_tracks.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Notes the rectangles a widget is asked to paint.
class PaintSpy : public QObject {
public:
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
};

class WaveformWindow : public WavWindowTest {
protected:
    // Puts a click track at 120 BPM over a steady tone on the deck's list and loads it. The tone's 330.25
    // cycles a second put it half a cycle out of step across any whole number of beats, so a loop's seam
    // without a crossfade would jump by up to twice its height.
    void load(int deck, const QString& name, double level = 1.0) {
        const QString path = dir_.filePath(name);
        std::vector<float> song = clickTrack(120.0, 40.0, 0.25, kRate, 800.0);
        for (std::size_t i = 0; i < song.size(); ++i) {
            const double t = static_cast<double>(i / 2) / kRate;
            song[i] =
                static_cast<float>(level * (song[i] + 0.3 * std::sin(2 * std::numbers::pi * 330.25 * t)));
        }
        writeWav16(path.toStdString(), song);
        auto* list = window().titleList(deck);
        dropFiles(list->viewport(), {path});
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(0)).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return player().beatSync().analysis(deck) != nullptr; }, 30000));
        player().refresh();
    }
    std::vector<float> mixFrom(std::size_t from, std::size_t count) {
        return channel(readSound(wav_.toStdString()), 0, from, count);
    }

    // Loops four beats (O) on deck A, checks the seams against the song's own steps, leaves the loop (O
    // again) and checks that the song goes on past the loop's end.
    void loopsCleanly(bool keylock) {
        load(0, QStringLiteral("a.wav"));
        if (keylock) QTest::keyClick(&window(), Qt::Key_K);
        ASSERT_EQ(player().mixer().keylocked(0), keylock);
        pressPlay(window(), 0);
        recordFor(wav_, 1.0);
        const std::size_t plainFrom = framesIn(wav_);
        recordFor(wav_, 1.5);
        const double own = maxStep(mixFrom(plainFrom, kRate));
        ASSERT_GT(own, 0.0);

        QTest::keyClick(&window(), Qt::Key_O);
        mixer::BeatLoop& loops = player().beatLoop();
        ASSERT_EQ(loops.beats(0), 4);
        const double length = loops.end(0) - loops.start(0);
        EXPECT_NEAR(length, 2.0, 0.01);
        // Three passes of the loop: no step at any seam beyond the song's own, and the deck never leaves it.
        const std::size_t loopFrom = framesIn(wav_) + kRate / 2;
        for (int i = 0; i < 30; ++i) {
            recordFor(wav_, 0.2);
            const double at = player().player(0).currentPosition();
            EXPECT_GE(at, loops.start(0) - 0.05);
            EXPECT_LE(at, loops.end(0) + 0.05);
        }
        const auto frames =
            static_cast<std::size_t>(std::lround(loops.end(0) * kRate) - std::lround(loops.start(0) * kRate));
        const std::vector<float> looped = mixFrom(loopFrom, 2 * frames + kRate / 4);
        ASSERT_GE(looped.size(), 2 * frames);
        EXPECT_LE(maxStep(looped), own * 1.1);
        if (!keylock) {
            // To the sample: one pass is the next, but for the two crossfades (5 ms each) between them.
            std::size_t differ = 0;
            for (std::size_t n = 0; n + frames < looped.size(); ++n)
                if (std::abs(looped[n] - looped[n + frames]) > 1e-3f) ++differ;
            EXPECT_LE(differ, 2u * 230u);
        }

        // The same key again: the song plays on from where the loop left it, on past the loop's end.
        QTest::keyClick(&window(), Qt::Key_O);
        EXPECT_EQ(loops.beats(0), 0);
        const double loopEnd = loops.start(0) + length;
        recordFor(wav_, 2.5);
        EXPECT_GT(player().player(0).currentPosition(), loopEnd);
    }
};

TEST_F(WaveformWindow, TheStripShowsTheSongRepaintsItsHeadAndSeeksWhereClicked) {
    app::WaveformStrip* strip = window().waveformStrip(0);
    ASSERT_NE(strip, nullptr);
    const QImage empty = strip->grab().toImage();
    load(0, QStringLiteral("a.wav"));
    QTest::qWait(50);
    const QImage shown = strip->grab().toImage();
    ASSERT_EQ(shown.size(), empty.size());
    EXPECT_NE(shown, empty) << "the analysed song's waveform is drawn";
    // Deck B, without a song, keeps the empty look.
    EXPECT_EQ(window().waveformStrip(1)->grab().toImage(), empty);

    // Playing: every repaint of the strip is the play head's few columns.
    PaintSpy spy;
    strip->installEventFilter(&spy);
    pressPlay(window(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.rects.size() >= 2; }, 5000));
    for (const QRect& r : spy.rects) EXPECT_LE(r.width(), 4) << r.x() << "+" << r.width();
    strip->removeEventFilter(&spy);

    // A click three quarters along: the deck goes there and plays on.
    const int x = strip->width() * 3 / 4;
    click(strip, QPoint(x, strip->height() / 2));
    const double target = strip->secondsAt(x);
    EXPECT_NEAR(target, 30.0, 0.3);
    EXPECT_NEAR(player().player(0).currentPosition(), target, 0.1);
    recordFor(wav_, 0.5);
    EXPECT_GT(player().player(0).currentPosition(), target + 0.2);
    // Paused, a click moves the place the deck plays on from.
    pressPlay(window(), 0);
    click(strip, QPoint(strip->width() / 4, 2));
    EXPECT_NEAR(player().player(0).currentPosition(), strip->secondsAt(strip->width() / 4), 0.05);
    EXPECT_NEAR(player().transport().record(0).cuepos, strip->secondsAt(strip->width() / 4), 1e-9);
}

TEST_F(WaveformWindow, AFourBeatLoopHoldsCleanlyAndTheSongGoesOnAfterIt) {
    loopsCleanly(false);
}

TEST_F(WaveformWindow, AFourBeatLoopHoldsCleanlyWithKeylock) {
    loopsCleanly(true);
}

TEST_F(WaveformWindow, LoopKeysNeedATempoAndAnotherLengthReplacesTheLoop) {
    // A deck without a song loops nothing.
    QTest::keyClick(&window(), Qt::Key_U);
    EXPECT_EQ(player().beatLoop().beats(0), 0);
    load(0, QStringLiteral("a.wav"));
    pressPlay(window(), 0);
    recordFor(wav_, 1.3);
    const double here = player().player(0).currentPosition();
    QTest::keyClick(&window(), Qt::Key_D);
    EXPECT_EQ(player().beatLoop().beats(0), 8);
    // It starts at the beat nearest the play head (beats at 0.25 s and every 0.5 s after).
    const double start = player().beatLoop().start(0);
    EXPECT_NEAR(std::fmod(start - 0.25 + 0.01, 0.5), 0.01, 0.012);
    EXPECT_LE(std::abs(start - here), 0.26);
    QTest::keyClick(&window(), Qt::Key_I);
    EXPECT_EQ(player().beatLoop().beats(0), 2);
    EXPECT_NEAR(player().beatLoop().end(0) - player().beatLoop().start(0), 1.0, 0.01);
    // A stop ends it.
    click(window().picture("Stop", 0), QPoint(5, 5));
    player().refresh();
    QTest::qWait(100);
    EXPECT_EQ(player().beatLoop().beats(0), 0);
}

// A user skin without the strip's picture loads whole; the strip paints its own dark look and the song.
TEST_F(WaveformWindow, ASkinWithoutTheStripPictureStillShowsTheSong) {
    const QImage skinned = window().waveformStrip(1)->grab().toImage();
    makeUserSkin(QStringLiteral("nowave"), QStringLiteral("wave.bmp"));
    appearance::FontWindow* dialog = app_->showSkinDialog();
    const QList<QListWidgetItem*> found =
        dialog->skinList()->findItems(QStringLiteral("nowave"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    dialog->skinList()->scrollToItem(found[0]);
    QTest::mouseClick(dialog->skinList()->viewport(), Qt::LeftButton, {},
                      dialog->skinList()->visualItemRect(found[0]).center());
    ASSERT_EQ(app_->skinname(), QStringLiteral("nowave"));
    dialog->close();
    const QImage plain = window().waveformStrip(1)->grab().toImage();
    EXPECT_NE(plain, skinned);
    load(1, QStringLiteral("b.wav"));
    EXPECT_NE(window().waveformStrip(1)->grab().toImage(), plain);
}

class AutoTrimWindow : public WaveformWindow {
protected:
    void prepare(app::KorvexApp&) override {
        writeLines(korvexSettingsFile(), {QStringLiteral("auto-trim=true")});
    }
    void TearDown() override {
        WaveformWindow::TearDown();
        QFile::remove(korvexSettingsFile());
    }
};

TEST_F(AutoTrimWindow, ASongsTrimComesFromItsLoudnessUntilMovedByHand) {
    ASSERT_TRUE(player().settings().autoTrim);
    load(0, QStringLiteral("loud.wav"), 1.2);
    const double loudness = player().beatSync().analysis(0)->loudness;
    ASSERT_GT(loudness, -14.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player().mixer().trimKnob(0).lineX2() != 4670.0f; }, 2000));
    const mixer::Knob& trim = player().mixer().trimKnob(0);
    const double memory = mixer::trimMemoryFor(trim.lineX2(), trim.lineX1());
    EXPECT_NEAR(memory, mixer::trimMemoryForGain(-14.0 - loudness), 1.0);
    // The trim the engine applies: (memory / 100)^2 hundredths of a dB down, the loudness minus 14 LU.
    EXPECT_NEAR(-std::pow(memory / 100.0, 2) / 100.0, -14.0 - loudness, 0.05);
    // The song's memory is still the one it was added with: nothing was moved by hand.
    EXPECT_EQ(player().list(0).field(songlist::kVolume, 0).trimmed().toDouble(), 2000.0);

    // A trim moved by hand is the song's memory and stays when the song is loaded again.
    player().mixer().TrimUpdatePosition(0, 100, 100);
    player().refresh();
    const QString moved = player().list(0).field(songlist::kVolume, 0);
    ASSERT_NE(moved.trimmed().toDouble(), 2000.0);
    const float handX = player().mixer().trimKnob(0).lineX2();
    auto* list = window().titleList(0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::qWait(200);
    EXPECT_EQ(player().list(0).field(songlist::kVolume, 0), moved);
    EXPECT_FLOAT_EQ(player().mixer().trimKnob(0).lineX2(), handX);

    // The configuration dialog shows the setting and turns it off.
    mixer::ConfigurationWindow* config = app_->showConfiguration();
    ASSERT_TRUE(config->autoTrim()->isChecked());
    config->autoTrim()->click();
    EXPECT_FALSE(player().settings().autoTrim);
    config->close();
}

}  // namespace
}  // namespace korvex::test
