// Keylock worked from the window: K and the deck's switch keep the song's key while the pitch slider
// changes its tempo, in what the real engine plays (the master mix written by the wav output); the switch
// lights, and its state comes back at the next start.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// The frequency of the last `seconds` of the mix so far (left channel).
double heardHz(const QString& wav, double seconds = 0.4) {
    const std::vector<float> mix = readSound(wav.toStdString());
    const auto n = static_cast<std::size_t>(seconds * kRate);
    return zeroCrossingFrequency(channel(mix, 0, mix.size() / 2 - n, n), kRate);
}

using KeylockWindow = WavWindowTest;

TEST_F(KeylockWindow, KAndTheSwitchKeepTheKeyWhileThePitchSliderSetsTheTempo) {
    const QString path = toneFile(dir_.path(), QStringLiteral("a.wav"), 440.0, 30.0);
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {path});
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    pressPlay(window(), 0);
    // S moves the keyboard deck's pitch slider down a step at a time: faster.
    for (int i = 0; i < 40; ++i) QTest::keyClick(&window(), Qt::Key_S);
    recordFor(wav_, 0.3);
    const double rate = player().player(0).rate();
    ASSERT_GT(rate, 1.03);
    recordFor(wav_, 0.5);
    EXPECT_NEAR(heardHz(wav_), 440.0 * rate, 1.5) << "without keylock the pitch goes with the tempo";

    QTest::keyClick(&window(), Qt::Key_K);
    EXPECT_TRUE(player().mixer().keylocked(0));
    EXPECT_FALSE(player().mixer().keylocked(1)) << "deck B's is its own";
    EXPECT_TRUE(window().picture("keylock", 0)->picturePath().endsWith(QStringLiteral("/keylock2.bmp")));
    const double before = player().player(0).currentPosition();
    // The last 0.4 s of a second after the switch: well clear of its cross-fade and of what the file had not
    // yet been given when the key went down.
    recordFor(wav_, 1.0);
    // Counted zero crossings of a stretched tone wander by a crossing or two; unlocked it would be over 453 Hz.
    EXPECT_NEAR(heardHz(wav_), 440.0, 2.0) << "keylocked: the song's own key";
    EXPECT_GT(player().player(0).currentPosition() - before, 1.0 * rate - 0.1) << "at the faster tempo";

    click(window().picture("keylock", 0));
    EXPECT_FALSE(player().mixer().keylocked(0));
    EXPECT_TRUE(window().picture("keylock", 0)->picturePath().endsWith(QStringLiteral("/keylock1.bmp")));
    recordFor(wav_, 0.5);
    EXPECT_NEAR(heardHz(wav_), 440.0 * rate, 1.5);

    // Deck B's switch, clicked, is kept in Korvex's own settings file and is on again at the next start.
    click(window().picture("keylock", 1));
    ASSERT_TRUE(player().mixer().keylocked(1));
    const QByteArray text = leaveSavingAndReadKorvexSettings();
    EXPECT_TRUE(text.contains("keylock-a=false") && text.contains("keylock-b=true")) << text.constData();
    app_.reset();
    start();
    EXPECT_FALSE(player().mixer().keylocked(0));
    EXPECT_TRUE(player().mixer().keylocked(1));
    EXPECT_TRUE(window().picture("keylock", 1)->picturePath().endsWith(QStringLiteral("/keylock2.bmp")));
    QFile::remove(settingsPath());
    QFile::remove(korvexSettingsFile());
}

}  // namespace
}  // namespace korvex::test
