// The sampler on the real engine, as a user works it: wave files made here, loaded by drops and the mode
// dialog, fired from the digit keys over a playing deck, with the master mix written by the wav output.

#include <gtest/gtest.h>

#include <QListWidget>
#include <cmath>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;
// The engine's block.
constexpr std::size_t kBlock = 256;

// Drops `path` on slot `slot` and clicks "SAMPLER MODE" (0) or "EFFECTER MODE" (1).
void loadSlot(app::KorvexApp& korvex, int slot, const QString& path, int mode) {
    dropFiles(korvex.window().label("Text1", slot), {path});
    sampler::ModeDialog* dialog = korvex.sampler().modeDialog();
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(mode == 0 ? dialog->samplerLabel() : dialog->effecterLabel(), Qt::LeftButton);
}

// A mono 16-bit wave file of `seconds` of `freq` Hz.
void writeMono(const QString& path, double freq, double seconds, float amplitude = 0.5f) {
    std::vector<float> stereo = sine(freq, seconds, kRate, amplitude);
    // writeWav16 writes stereo; a mono file is what the 3D modes need, so sox folds it.
    const QString tmp = path + QStringLiteral(".stereo.wav");
    writeWav16(tmp.toStdString(), stereo, kRate);
    const int rc = std::system(
        QStringLiteral("sox -q '%1' -c 1 '%2' && rm -f '%1'").arg(tmp, path).toLocal8Bit().constData());
    ASSERT_EQ(rc, 0) << "sox";
}

// The high-frequency content of the left channel: its second difference, which a 440 Hz tone hardly has
// (about 0.002 at amplitude 0.5) and an 8 kHz click has plenty of.
std::size_t firstHighFrequency(const std::vector<float>& mix, std::size_t from, double threshold) {
    for (std::size_t i = std::max<std::size_t>(from, 2); i < mix.size() / 2; ++i) {
        const double d = mix[2 * i] - 2.0 * mix[2 * (i - 1)] + mix[2 * (i - 2)];
        if (std::abs(d) > threshold) return i;
    }
    return static_cast<std::size_t>(-1);
}

TEST(SamplerEndToEnd, DigitKeyFiresTheClickOverAPlayingDeckWithinOneBlock) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("tone.wav"));
    writeWav16(song.toStdString(), sine(440.0, 10.0, kRate, 0.4f));
    const QString click = dir.filePath(QStringLiteral("click.wav"));
    writeMono(click, 8000.0, 0.02);
    const QString wav = dir.filePath(QStringLiteral("mix.wav"));

    app::KorvexApp korvex({"--audio-output=wav:" + wav.toStdString()});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();
    ASSERT_TRUE(korvex.sampler().slots().dsready());

    loadSlot(korvex, 0, click, 0);
    ASSERT_NE(korvex.sampler().slots().slotbuffer(0), nullptr);
    EXPECT_EQ(korvex.sampler().slots().slotmode(0), 0) << "a mono file keeps its 3D";
    EXPECT_EQ(window.label("Text1", 0)->text(), QStringLiteral("1:click.wav"));

    // Deck A plays the tone.
    auto* list = window.titleList(0);
    dropFiles(list->viewport(), {song});
    ASSERT_EQ(list->count(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    pressPlay(window, 0);
    recordFor(wav, 1.0);

    // The digit key 1: the frames on disk at that moment tell where the engine was.
    const std::size_t keyAt = framesIn(wav);
    QTest::keyPress(&window, Qt::Key_1);
    // On a busy machine the output may render a burst of blocks while the key is handled.
    const std::size_t keyDone = framesIn(wav);
    QTest::keyRelease(&window, Qt::Key_1);
    recordFor(wav, 0.6);
    const std::vector<float> mix = readSound(wav.toStdString());

    const std::size_t before = firstHighFrequency(mix, keyAt > 4 * kBlock ? keyAt - 4 * kBlock : 0, 0.05);
    ASSERT_NE(before, static_cast<std::size_t>(-1)) << "the click is in the mix";
    // The block being rendered when the key came, then the next one: the click starts within them.
    RecordProperty("click_delay_frames", static_cast<int>(before) - static_cast<int>(keyAt));
    EXPECT_GE(before, keyAt);
    EXPECT_LT(before, keyDone + 2 * kBlock);
    const std::vector<float> clickPart = channel(mix, 0, before, static_cast<std::size_t>(0.015 * kRate));
    EXPECT_GT(goertzel(clickPart, 8000.0, kRate), 0.1);

    // The deck's tone around it: same pitch and level before and after.
    const auto window100ms = static_cast<std::size_t>(0.1 * kRate);
    const std::vector<float> pre = channel(mix, 0, before - window100ms - kBlock, window100ms);
    const std::vector<float> post =
        channel(mix, 0, before + static_cast<std::size_t>(0.05 * kRate), window100ms);
    EXPECT_NEAR(zeroCrossingFrequency(pre, kRate), 440.0, 2.0);
    EXPECT_NEAR(zeroCrossingFrequency(post, kRate), 440.0, 2.0);
    const double levelPre = goertzel(pre, 440.0, kRate);
    EXPECT_GT(levelPre, 0.1);
    EXPECT_NEAR(goertzel(post, 440.0, kRate), levelPre, levelPre * 0.03);
    // Under the click the tone goes on at the same level.
    const std::vector<float> during = channel(mix, 0, before, static_cast<std::size_t>(0.02 * kRate));
    EXPECT_NEAR(goertzel(during, 440.0, kRate), levelPre, levelPre * 0.1);
    korvex.shutdown();
}

class SamplerEngine : public WindowTest {
protected:
    sampler::SampleSlots& slots() { return app_->sampler().slots(); }
};

// An upper-case name is not taken; a stereo file asked for in sampler mode ends in mode 2 without a message.
TEST_F(SamplerEngine, StereoFileFallsBackToMode2AndAShortFileCannotTakeEffects) {
    QLabel* label = window().label("Text1", 2);
    dropFiles(label, {toneFile(dir_.path(), QStringLiteral("LOOP.WAV"))});
    EXPECT_EQ(app_->sampler().modeDialog(), nullptr) << "LOOP.WAV is not taken";
    EXPECT_EQ(label->text(), QStringLiteral("3:"));
    const QString stereo = toneFile(dir_.path(), QStringLiteral("horn.wav"), 300.0, 1.0);
    loadSlot(*app_, 2, stereo, 0);
    EXPECT_EQ(slots().slotmode(2), 2);
    ASSERT_NE(slots().slotbuffer(2), nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("3:horn.wav"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no message";
    QTest::qWait(10);
    EXPECT_EQ(app_->sampler().modeDialog(), nullptr) << "the mode dialog closed";

    const QString blip = dir_.filePath(QStringLiteral("blip.wav"));
    writeMono(blip, 1000.0, 0.1);
    SoundBuffer* horn = slots().slotbuffer(2);
    QString said;
    answerNextBox(QMessageBox::Ok, &said);
    loadSlot(*app_, 2, blip, 1);
    EXPECT_EQ(said,
              QStringLiteral("ﾌｧｲﾙの長さがエフェクトをかけるには短すぎます。もっと長いﾌｧｲﾙにしてください。"));
    EXPECT_EQ(slots().slotbuffer(2), horn);

    // A held key plays it once; the engine reports it playing, looping only when asked.
    QTest::keyPress(&window(), Qt::Key_3);
    EXPECT_EQ(horn->status(), SoundBuffer::kStatusPlaying);
    QTest::keyRelease(&window(), Qt::Key_3);
}

// The sampler dialog's effect boxes on a real slot: ticked boxes become entries, "OK" places the chain on the
// slot's buffer and the entries say where it runs, "設定" opens the effect's dialog on that chain.
TEST_F(SamplerEngine, EffectBoxesPlaceTheChainAndTheSlotShowsIt) {
    const QString loop = dir_.filePath(QStringLiteral("loop.wav"));
    writeMono(loop, 440.0, 1.0);
    loadSlot(*app_, 0, loop, 1);
    ASSERT_EQ(slots().slotmode(0), 1);
    SoundBuffer* buffer = slots().slotbuffer(0);
    ASSERT_NE(buffer, nullptr);

    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    sampler::SamplerDialog* dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->efectcfg(0)->isEnabled());
    dialog->check1(0)->click();  // Echo
    dialog->check1(2)->click();  // Flanger
    EXPECT_TRUE(dialog->efectcfg(0)->isEnabled());
    const QStringList ticked{QStringLiteral("Echo (Unallocated)"), QStringLiteral("Flanger (Unallocated)")};
    EXPECT_EQ(slots().effects().entries[0], ticked);
    QListWidget* list = window().effectList(0);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), ticked[0]);

    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    const QStringList placed{QStringLiteral("Echo - Software"), QStringLiteral("Flanger - Software")};
    EXPECT_EQ(slots().effects().entries[0], placed);
    EXPECT_EQ(list->item(1)->text(), placed[1]);
    // The label's tooltip keeps its hint above the entries.
    const QString hint = QStringLiteral("左ｸﾘｯｸでWAVEﾌｧｲﾙを読み込み、右ｸﾘｯｸで設定");
    EXPECT_EQ(window().label("Text1", 0)->toolTip(), (QStringList{hint} + placed).join(QLatin1Char('\n')));
    ASSERT_NE(buffer->effect(dsp::EffectKind::Echo, 0), nullptr);
    ASSERT_NE(buffer->effect(dsp::EffectKind::Flanger, 0), nullptr);
    EXPECT_EQ(slots().effects().fxsignature, 0 + 32 + 1 + 128);

    // The flanger's settings from a reopened sampler dialog: its dialog works on the slot's chain.
    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->check1(2)->isChecked());
    dialog->efectcfg(2)->click();
    const std::vector<sampler::EffectDialog*> open = app_->sampler().effectDialogs().openDialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0]->windowTitle(), QStringLiteral("フランジ設定"));
    EXPECT_EQ(open[0]->buffer(), buffer);

    // A new file in the slot closes the dialog that worked on the old buffer.
    loadSlot(*app_, 0, loop, 1);
    EXPECT_TRUE(app_->sampler().effectDialogs().openDialogs().empty());

    // With the last effect unticked the tooltip is the hint again.
    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->check1(0)->click();
    EXPECT_EQ(window().label("Text1", 0)->toolTip(), hint + QLatin1Char('\n') + placed[1]);
    dialog->check1(2)->click();
    EXPECT_TRUE(slots().effects().entries[0].isEmpty());
    EXPECT_EQ(window().label("Text1", 0)->toolTip(), hint);
}

}  // namespace
}  // namespace korvex::test
