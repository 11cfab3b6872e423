// The effect settings dialogs as a user works them, on a buffer whose effects keep their records, and the
// main window's effect lists.

#include "sampler/ui/effect_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <memory>

#include "app/ui/main_window.h"
#include "platform/audio/audio_engine.h"
#include "platform/audio/manual_output.h"
#include "platform/sound_buffer.h"
#include "sampler/effect_list.h"
#include "songlist/list_fakes.h"
#include "support/fake_sound_buffer.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

using dsp::EffectKind;
using sampler::EffectDialog;

// Drags a slider's handle `dx` pixels to the right with the mouse, as a user does.
void dragSlider(QSlider* slider, int dx) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.tickPosition = slider->tickPosition();
    opt.tickInterval = slider->tickInterval();
    opt.subControls = QStyle::SC_All;
    const QRect handle =
        slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
    const QPoint from = handle.center();
    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) {
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(dx * step / 4, 0)),
                         slider->mapToGlobal(QPointF(from + QPoint(dx * step / 4, 0))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &move);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, from + QPoint(dx, 0));
}

// A dialog of `kind` on `buffer`, shown; deleted with the test when still open.
struct OpenDialog {
    OpenDialog(EffectKind kind, FakeSoundBuffer& buffer)
        : dialog(sampler::createEffectDialog(kind, nullptr)) {
        dialog->SetBuffer(&buffer, 0);
        dialog->show();
    }
    ~OpenDialog() { delete dialog.data(); }
    template <class T>
    T* child(const char* name) const {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QPointer<EffectDialog> dialog;
};

// Every dialog: not modal, its sliders in order with the ranges their record's fields allow, each with its
// caption and value beside it, and an OK button.
TEST(EffectDialogs, EveryDialogHasItsSlidersWithTheirRangesCaptionsAndValues) {
    const std::pair<EffectKind, const char*> designs[] = {
        {EffectKind::Echo, "sldWetDry 0..100, sldFeedback 0..100, sldLeft 1..2000, sldRight 1..2000"},
        {EffectKind::Chorus, "sldWetDry 0..100, sldDepth 0..100, sldFeedback -99..99, "
                             "sldFreq 0..10, sldDelay 0..20, sldPhase 0..4"},
        {EffectKind::Flanger, "sldWetDry 0..100, sldDepth 0..100, sldFeedback -99..99, "
                              "sldFreq 0..10, sldDelay 0..4, sldPhase 0..4"},
        {EffectKind::Distortion, "sldGain -60..0, sldEdge 0..100, sldPostEQCenter 100..8000, "
                                 "sldPostEQBand 100..8000, sldPreLow 100..8000"},
        {EffectKind::Compressor, "sldOutputGain -60..60, sldAttack 1..500, sldRelease 50..3000, "
                                 "sldThreshold -60..0, sldRatio 1..100, sldDelay 0..4"},
        {EffectKind::ParamEq, "sldCenter 80..16000, sldBand 1..36, sldGain -15..15"},
        {EffectKind::Gargle, "sldRate 1..1000"},
    };
    for (const auto& [kind, expected] : designs) {
        SCOPED_TRACE(expected);
        FakeSoundBuffer buffer;
        OpenDialog open(kind, buffer);
        EXPECT_FALSE(open.dialog->isModal());
        QStringList sliders;
        for (QSlider* slider : open.dialog->findChildren<QSlider*>()) {
            const QString name = slider->objectName();
            sliders << QStringLiteral("%1 %2..%3").arg(name).arg(slider->minimum()).arg(slider->maximum());
            auto* caption = open.dialog->findChild<QLabel*>(name + QStringLiteral("Label"));
            EXPECT_TRUE(caption != nullptr && !caption->text().isEmpty()) << name.toStdString();
            EXPECT_NE(open.dialog->findChild<QLabel*>(name + QStringLiteral("Value")), nullptr)
                << name.toStdString();
        }
        EXPECT_EQ(sliders.join(QStringLiteral(", ")), QString::fromUtf8(expected));
        EXPECT_NE(open.child<QPushButton>("cmdOK"), nullptr);
    }
}

TEST(EffectDialogs, DraggingASliderWritesTheWholeRecord) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::Echo}, &results);
    FakeEffect* echo = buffer.fake(EffectKind::Echo);
    echo->params = dsp::EchoParams{60.0f, 30.0f, 250.0f, 400.0f, 1};
    OpenDialog open(EffectKind::Echo, buffer);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(open.dialog.data()));
    const int writesAfterLoad = echo->writes;
    EXPECT_EQ(writesAfterLoad, 1);

    auto* feedback = open.child<QSlider>("sldFeedback");
    ASSERT_EQ(feedback->value(), 30);
    dragSlider(feedback, 60);
    ASSERT_GT(feedback->value(), 30);
    EXPECT_GT(echo->writes, writesAfterLoad);
    const auto& written = std::get<dsp::EchoParams>(echo->params);
    EXPECT_EQ(written.fFeedback, static_cast<float>(feedback->value()));
    // Every other field is written with it, as the controls hold it.
    EXPECT_EQ(written.fWetDryMix, 60.0f);
    EXPECT_EQ(written.fLeftDelay, 250.0f);
    EXPECT_EQ(written.fRightDelay, 400.0f);
    EXPECT_EQ(written.lPanDelay, 1);
    auto* value = open.dialog->findChild<QLabel*>(QStringLiteral("sldFeedbackValue"));
    EXPECT_EQ(value->text(), QString::number(feedback->value()));

    // The pan check box writes the record too.
    auto* pan = open.child<QCheckBox>("chkPan");
    QTest::mouseClick(pan, Qt::LeftButton, {}, QPoint(6, pan->height() / 2));
    EXPECT_EQ(std::get<dsp::EchoParams>(echo->params).lPanDelay, 0);
    EXPECT_EQ(std::get<dsp::EchoParams>(echo->params).fFeedback, static_cast<float>(feedback->value()));
}

TEST(EffectDialogs, LoadingRoundsHalvesToEvenAndWritesTheRoundedRecordBack) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::Chorus}, &results);
    FakeEffect* chorus = buffer.fake(EffectKind::Chorus);
    chorus->params = dsp::ChorusParams{50.5f, 11.5f, -2.5f, 1.1f, 0, 2.5f, 3};
    OpenDialog open(EffectKind::Chorus, buffer);
    EXPECT_EQ(open.child<QSlider>("sldWetDry")->value(), 50);
    EXPECT_EQ(open.child<QSlider>("sldDepth")->value(), 12);
    EXPECT_EQ(open.child<QSlider>("sldFeedback")->value(), -2);
    EXPECT_EQ(open.child<QSlider>("sldFreq")->value(), 1);
    EXPECT_EQ(open.child<QSlider>("sldDelay")->value(), 2);
    EXPECT_EQ(open.child<QSlider>("sldPhase")->value(), 3);
    EXPECT_TRUE(open.child<QRadioButton>("optTriangle")->isChecked());
    EXPECT_FALSE(open.child<QRadioButton>("optSin")->isChecked());
    EXPECT_EQ(chorus->writes, 1);
    const auto& written = std::get<dsp::ChorusParams>(chorus->params);
    EXPECT_EQ(written.fWetDryMix, 50.0f);
    EXPECT_EQ(written.fDepth, 12.0f);
    EXPECT_EQ(written.fFeedback, -2.0f);
    EXPECT_EQ(written.fFrequency, 1.0f);
    EXPECT_EQ(written.fDelay, 2.0f);
    EXPECT_EQ(written.lPhase, 3);
    EXPECT_EQ(written.lWaveform, 0);

    // An option click writes the waveform as an integer.
    QTest::mouseClick(open.child<QRadioButton>("optSin"), Qt::LeftButton);
    EXPECT_EQ(std::get<dsp::ChorusParams>(chorus->params).lWaveform, 1);
}

TEST(EffectDialogs, AWaveformOfNeitherOptionSelectsNoneAndOptionsWriteTheShape) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::Flanger, EffectKind::Gargle}, &results);
    std::get<dsp::FlangerParams>(buffer.fake(EffectKind::Flanger)->params).lWaveform = 5;
    {
        OpenDialog flanger(EffectKind::Flanger, buffer);
        EXPECT_FALSE(flanger.child<QRadioButton>("optSin")->isChecked());
        EXPECT_FALSE(flanger.child<QRadioButton>("optTriangle")->isChecked());
    }
    OpenDialog gargle(EffectKind::Gargle, buffer);
    FakeEffect* effect = buffer.fake(EffectKind::Gargle);
    EXPECT_TRUE(gargle.child<QRadioButton>("optTriangle")->isChecked());
    QTest::mouseClick(gargle.child<QRadioButton>("optSquare"), Qt::LeftButton);
    EXPECT_EQ(std::get<dsp::GargleParams>(effect->params).dwWaveShape, 1);
    auto* rate = gargle.child<QSlider>("sldRate");
    rate->setFocus();
    QTest::keyClick(rate, Qt::Key_PageUp);
    EXPECT_EQ(std::get<dsp::GargleParams>(effect->params).dwRateHz, 120);
    EXPECT_EQ(std::get<dsp::GargleParams>(effect->params).dwWaveShape, 1);
}

TEST(EffectDialogs, AChainAppliedAgainWhileTheDialogIsOpenGetsTheNextMoveAndOkWritesOnceMoreAndCloses) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::Distortion}, &results);
    OpenDialog open(EffectKind::Distortion, buffer);
    // Another settings button applies a longer chain; the old effect object is gone.
    buffer.setFX({EffectKind::Distortion, EffectKind::Echo}, &results);
    auto* edge = open.child<QSlider>("sldEdge");
    edge->setValue(40);
    FakeEffect* distortion = buffer.fake(EffectKind::Distortion);
    EXPECT_EQ(std::get<dsp::DistortionParams>(distortion->params).fEdge, 40.0f);
    const int writes = distortion->writes;
    QTest::mouseClick(open.child<QPushButton>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(distortion->writes, writes + 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.dialog.isNull());
}

// The whole path on the real engine: a looping slot in effecter mode, echo and flanger ticked and shown in
// the main window's list, the flanger's settings opened over the main window while it loops and a slider
// dragged; before the slot's buffer goes, its dialogs close.
TEST(EffectDialogs, ASliderDraggedWhileTheSlotLoopsReachesTheEnginesChain) {
    audio::AudioEngine engine(44100);
    audio::ManualOutput output(engine);
    SoundEngineDevice device(engine);
    const std::string path = tempDir() + "/loop.wav";
    writeWav16(path, sine(440.0, 1.0));
    SoundError error = SoundError::None;
    std::unique_ptr<SoundBuffer> buffer =
        device.createSoundBufferFromFile(path, kCtrlVolume | kCtrlFx | kCtrlPan, &error);
    ASSERT_NE(buffer, nullptr);

    app::MainWindow window([](const std::string&, int, const QString&) { return QString(); });
    sampler::EffectLists lists;
    songlist::testing::FakeMessages boxes;
    sampler::SlotEffects effects(
        lists, [&](int slot) { return slot == 0 ? buffer.get() : nullptr; }, boxes);
    sampler::EffectDialogHost host(&window);
    effects.showDialog = [&](EffectKind kind, SoundBuffer& b) { host.open(kind, b); };
    effects.onListChanged = [&](int slot) {
        window.showEffectList(slot, lists.entries[static_cast<std::size_t>(slot)]);
    };
    lists.entries[0] = {sampler::newEntry(QStringLiteral("Echo")),
                        sampler::newEntry(QStringLiteral("Flanger"))};

    // The sampler dialog's "OK" applies the chain while the slot is stopped; then the slot loops.
    ASSERT_TRUE(effects.applyslotfx(0, false));
    ASSERT_EQ(window.effectList(0)->count(), 2);
    EXPECT_EQ(window.effectList(0)->item(0)->text(), QStringLiteral("Echo - Software"));
    EXPECT_EQ(window.effectList(0)->item(1)->text(), QStringLiteral("Flanger - Software"));
    // lstUse(0) sits on the song-list panel at its place, 1635 by 420 twips; other slots' lists stay empty.
    EXPECT_EQ(window.effectList(0)->parentWidget(), window.picture("Picture5"));
    EXPECT_EQ(window.effectList(0)->geometry(), QRect(1680 / 15, 4200 / 15, 1635 / 15, 420 / 15));
    EXPECT_EQ(window.effectList(5)->count(), 0);
    buffer->play(SoundBuffer::kPlayLooping);
    output.render(1024);
    engine.dispatchEvents();

    lists.currentfx = 2;
    ASSERT_TRUE(effects.openfxdialog(0));
    ASSERT_EQ(host.openDialogs().size(), 1u);
    EffectDialog* flanger = host.openDialogs()[0];
    ASSERT_NE(dynamic_cast<sampler::frmFlanger*>(flanger), nullptr);
    EXPECT_EQ(flanger->parentWidget(), &window);
    EXPECT_EQ(flanger->buffer(), buffer.get());
    EXPECT_EQ(flanger->index(), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(flanger));
    auto* feedback = flanger->findChild<QSlider*>(QStringLiteral("sldFeedback"));
    ASSERT_EQ(feedback->value(), -50);
    dragSlider(feedback, 80);
    ASSERT_GT(feedback->value(), -50);
    const auto record = std::get<dsp::FlangerParams>(buffer->effect(EffectKind::Flanger, 0)->allParameters());
    EXPECT_EQ(record.fFeedback, static_cast<float>(feedback->value()));
    EXPECT_EQ(record.fDepth, 100.0f);
    EXPECT_EQ(record.fDelay, 2.0f);
    // The chain keeps playing: the loop is heard through it.
    const std::vector<float> after = output.render(4096);
    engine.dispatchEvents();
    EXPECT_GT(rms(channel(after, 0)), 0.05);
    EXPECT_TRUE(boxes.shown.empty());

    host.closeDialogsOn(buffer.get());
    EXPECT_TRUE(host.openDialogs().empty());
    buffer.reset();
    output.render(1024);
    engine.dispatchEvents();
}

}  // namespace
}  // namespace korvex::test
