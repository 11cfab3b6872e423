// Pre-listen worked from the window as a user works it, with the headphones split onto the right channel of
// the wav output: P and the PFL switches send a deck to the headphones, the mix slider brings in the master,
// the monitor knob sets their level; a skin without the switches' pictures still shows them.

#include <gtest/gtest.h>

#include <QListWidget>
#include <cmath>

#include <QComboBox>
#include <QLineEdit>

#include "appearance/ui/font_window.h"
#include "mixer/ui/configuration_window.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

// Level in dB of 440 Hz in the last 0.3 s so far of the left (master) or right (headphones) channel.
double levelDb(const QString& wav, int side) {
    const std::vector<float> mix = readSound(wav.toStdString());
    const auto n = static_cast<std::size_t>(0.3 * kRate);
    return 20.0 * std::log10(goertzel(channel(mix, side, mix.size() / 2 - n, n), 440.0, kRate) + 1e-12);
}

class HeadphonesWindow : public WavWindowTest {
protected:
    HeadphonesWindow() { extraArgs_ = {"--headphones=split"}; }
};

TEST_F(HeadphonesWindow, PSwitchesMixAndMonitorKnobShapeWhatTheHeadphonesHear) {
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {tone(QStringLiteral("a.wav"))});
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    pressPlay(window(), 0);
    recordFor(wav_, 0.5);
    ASSERT_GT(levelDb(wav_, 0), -20.0) << "the master plays deck A";
    EXPECT_LT(levelDb(wav_, 1), -80.0) << "nothing is pre-listened yet";

    // P pre-listens the keyboard's deck (A) and lights its switch.
    QTest::keyClick(&window(), Qt::Key_P);
    EXPECT_TRUE(player().mixer().headphones().prelisten(0));
    EXPECT_TRUE(window().picture("pfl", 0)->picturePath().endsWith(QStringLiteral("/pfl2.bmp")));
    recordFor(wav_, 0.5);
    const double cue = levelDb(wav_, 1);
    EXPECT_GT(cue, -20.0);

    // Its switch clicked: off again. Deck B's switch is its own, and B plays nothing.
    click(window().picture("pfl", 0));
    EXPECT_TRUE(window().picture("pfl", 0)->picturePath().endsWith(QStringLiteral("/pfl1.bmp")));
    click(window().picture("pfl", 1));
    EXPECT_TRUE(player().mixer().headphones().prelisten(1));
    recordFor(wav_, 0.5);
    EXPECT_LT(levelDb(wav_, 1), -80.0);

    // The mix slider at its master end: the headphones hear the master.
    appearance::PictureWidget* mix = window().picture("phmixbase");
    click(mix, QPoint(mix->width() - 1, mix->height() / 2));
    EXPECT_GT(player().mixer().headphones().mix(), 0.95);
    recordFor(wav_, 0.5);
    EXPECT_GT(levelDb(wav_, 1), -20.0);

    // The monitor knob at the bottom: the headphones fall silent, the master plays on.
    appearance::PictureWidget* monitor = window().picture("masterbase", 0);
    EXPECT_EQ(monitor->toolTip(), QStringLiteral("MonitorVolume"));
    click(monitor, QPoint(monitor->width() / 2, monitor->height() - 1));
    recordFor(wav_, 0.5);
    EXPECT_LT(levelDb(wav_, 1), -80.0);
    EXPECT_GT(levelDb(wav_, 0), -20.0);
}

// The configuration dialog's "ヘッドホン" takes the headphones off the split output at once and keeps the choice.
TEST_F(HeadphonesWindow, TheConfigurationDialogMovesTheHeadphones) {
    EXPECT_EQ(app_->audio().phonesMode(), "split");
    mixer::ConfigurationWindow* config = app_->showConfiguration();
    QComboBox* box = config->headphones();
    const int none = box->findData(QStringLiteral("none"));
    ASSERT_GE(none, 0);
    box->setCurrentIndex(none);
    Q_EMIT box->activated(none);
    EXPECT_EQ(app_->audio().phonesMode(), "none");
    EXPECT_EQ(app_->audio().engine().phonesRoute(), audio::PhonesRoute::kNone);
    EXPECT_EQ(player().settings().headphones, QStringLiteral("none"));
    box->lineEdit()->setText(QStringLiteral("split"));
    Q_EMIT box->lineEdit()->editingFinished();
    EXPECT_EQ(app_->audio().engine().phonesRoute(), audio::PhonesRoute::kSplit);
    config->close();
}

// A user skin without the switches' pictures loads whole; the switches paint their own look.
TEST_F(HeadphonesWindow, ASkinWithoutTheSwitchPicturesStillShowsThem) {
    const QString folder = makeUserSkin(QStringLiteral("nopfl"), QStringLiteral("pfl1.bmp"));
    QFile::remove(folder + QStringLiteral("/pfl2.bmp"));
    appearance::FontWindow* dialog = app_->showSkinDialog();
    const QList<QListWidgetItem*> found =
        dialog->skinList()->findItems(QStringLiteral("nopfl"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    dialog->skinList()->scrollToItem(found[0]);
    QTest::mouseClick(dialog->skinList()->viewport(), Qt::LeftButton, {},
                      dialog->skinList()->visualItemRect(found[0]).center());
    ASSERT_EQ(app_->skinname(), QStringLiteral("nopfl"));
    appearance::PictureWidget* pfl = window().picture("pfl", 1);
    EXPECT_TRUE(pfl->picturePath().isEmpty());
    const QImage idle = pfl->grab().toImage();
    click(pfl);
    EXPECT_TRUE(player().mixer().headphones().prelisten(1));
    EXPECT_NE(idle, pfl->grab().toImage()) << "the painted switch lights";
}

}  // namespace
}  // namespace korvex::test
