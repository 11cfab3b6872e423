// The deck equaliser worked from the window as a user works it: its keys, kill switches and sliders change
// what the real engine plays (the master mix written by the wav output), and a skin without the switches'
// pictures still shows them.

#include <gtest/gtest.h>

#include <QListWidget>
#include <cmath>

#include "appearance/ui/font_window.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Level in dB of `freq` in the last `seconds` of the mix so far (left channel).
double levelDb(const QString& wav, double freq, double seconds = 0.3) {
    const std::vector<float> mix = readSound(wav.toStdString());
    const auto n = static_cast<std::size_t>(seconds * kRate);
    return 20.0 * std::log10(goertzel(channel(mix, 0, mix.size() / 2 - n, n), freq, kRate) + 1e-12);
}

using EqualizerWindow = WavWindowTest;

TEST_F(EqualizerWindow, KeysSwitchesAndSlidersShapeWhatTheDeckPlays) {
    // Deck A plays 70 Hz (the low band's middle) and 7 kHz (the high band's) together.
    std::vector<float> song = sine(70.0, 20.0, kRate, 0.25f);
    const std::vector<float> treble = sine(7000.0, 20.0, kRate, 0.25f);
    for (std::size_t i = 0; i < song.size(); ++i) song[i] += treble[i];
    const QString path = dir_.filePath(QStringLiteral("two.wav"));
    writeWav16(path.toStdString(), song);
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {path});
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    pressPlay(window(), 0);
    recordFor(wav_, 0.5);
    const double low = levelDb(wav_, 70.0), high = levelDb(wav_, 7000.0);
    ASSERT_GT(low, -20.0);

    // E kills deck A's low band, and its switch lights; E again brings it back.
    QTest::keyClick(&window(), Qt::Key_E);
    EXPECT_TRUE(window().picture("eqkill", 0)->picturePath().endsWith(QStringLiteral("/eqlow2.bmp")));
    recordFor(wav_, 0.5);
    EXPECT_LT(levelDb(wav_, 70.0) - low, -60.0);
    EXPECT_NEAR(levelDb(wav_, 7000.0), high, 0.2);
    QTest::keyClick(&window(), Qt::Key_E);
    EXPECT_TRUE(window().picture("eqkill", 0)->picturePath().endsWith(QStringLiteral("/eqlow1.bmp")));
    recordFor(wav_, 0.5);
    EXPECT_NEAR(levelDb(wav_, 70.0), low, 0.2);
    // Held, the key repeats its press: the switch still changes once.
    QTest::keyPress(&window(), Qt::Key_E);
    QTest::keyPress(&window(), Qt::Key_E);
    QTest::keyRelease(&window(), Qt::Key_E);
    EXPECT_TRUE(player().mixer().equalizer().killed(0, mixer::kEqLow));
    QTest::keyClick(&window(), Qt::Key_E);
    EXPECT_FALSE(player().mixer().equalizer().killed(0, mixer::kEqLow));

    // The high switch clicked, then the low slider taken to its left end: both bands gone.
    click(window().picture("eqkill", 2));
    appearance::PictureWidget* slider = window().picture("eqbase", 0);
    click(slider, QPoint(0, slider->height() / 2));
    EXPECT_EQ(player().mixer().equalizer().sliderDb(0, mixer::kEqLow), -HUGE_VAL);
    EXPECT_EQ(window().picture("eqbtn", 0)->x(), slider->x() - window().picture("eqbtn", 0)->width() / 2);
    recordFor(wav_, 0.5);
    EXPECT_LT(levelDb(wav_, 70.0) - low, -60.0);
    EXPECT_LT(levelDb(wav_, 7000.0) - high, -60.0);
    // Deck B's switches are its own.
    EXPECT_FALSE(player().mixer().equalizer().killed(1, mixer::kEqHigh));
}

// A user skin without the switches' pictures loads whole; the switches paint their own look.
TEST_F(EqualizerWindow, ASkinWithoutTheSwitchPicturesStillShowsThem) {
    const QString folder = makeUserSkin(QStringLiteral("plain"), QStringLiteral("eqlow1.bmp"));
    for (const char* name : {"eqlow2.bmp", "eqmid1.bmp", "eqmid2.bmp", "eqhigh1.bmp", "eqhigh2.bmp"})
        QFile::remove(folder + u'/' + QLatin1String(name));
    appearance::FontWindow* dialog = app_->showSkinDialog();
    const QList<QListWidgetItem*> found =
        dialog->skinList()->findItems(QStringLiteral("plain"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    dialog->skinList()->scrollToItem(found[0]);
    QTest::mouseClick(dialog->skinList()->viewport(), Qt::LeftButton, {},
                      dialog->skinList()->visualItemRect(found[0]).center());
    ASSERT_EQ(app_->skinname(), QStringLiteral("plain"));
    EXPECT_TRUE(window().picture("switch")->picturePath().contains(QStringLiteral("/plain/")));
    appearance::PictureWidget* kill = window().picture("eqkill", 1);
    EXPECT_TRUE(kill->picturePath().isEmpty());
    const QImage idle = kill->grab().toImage();
    click(kill);
    EXPECT_TRUE(player().mixer().equalizer().killed(0, mixer::kEqMid));
    const QImage lit = kill->grab().toImage();
    EXPECT_NE(idle, lit) << "the painted switch lights";
    const QColor middle = lit.pixelColor(lit.width() / 4, lit.height() / 4);
    EXPECT_GT(middle.red(), 150) << "lit red";
}

}  // namespace
}  // namespace korvex::test
