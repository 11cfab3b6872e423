// The effect settings dialogs as a user works them, on a buffer whose effects keep their records, and the
// main window's effect lists.

#include "sampler/ui/effect_dialogs.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
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

struct SliderRow {
    const char* name;
    int minimum, maximum, large, small;
    const char* label;
};

struct DialogDesign {
    EffectKind kind;
    const char* title;
    std::vector<SliderRow> sliders;
    std::vector<std::pair<const char*, const char*>> options;  // object name, text
};

TEST(EffectDialogs, EveryDialogHasItsTitleSlidersRangesStepsLabelsAndOptions) {
    const std::vector<DialogDesign> designs = {
        {EffectKind::Echo,
         "エコー設定",
         {{"sldWetDry", 0, 100, 10, 5, "ウェット/ドライ(Wet Dry Mix)"},
          {"sldFeedback", 0, 100, 10, 1, "フィードバック(FeedBack)"},
          {"sldLeft", 1, 2000, 100, 10, "左ディレイ(LeftDelay)"},
          {"sldRight", 1, 2000, 100, 10, "右ディレイ(RightDelay)"}},
         {{"chkPan", "パンのディレイをＭＡＸ"}}},
        {EffectKind::Chorus,
         "コーラス設定",
         {{"sldWetDry", 0, 100, 10, 5, "ウェット/ドライ(Wet Dry Mix)"},
          {"sldDepth", 0, 100, 5, 1, "深さ（ｄｅｐｔｈ）"},
          {"sldFeedback", -99, 99, 10, 1, "フィードバック(FeedBack)"},
          {"sldFreq", 0, 10, 5, 1, "周波数(Frequency)"},
          {"sldDelay", 0, 20, 5, 1, "ディレイ(Delay)"},
          {"sldPhase", 0, 4, 2, 1, "フェイズ(Phase)"}},
         {{"optSin", "サイン波"}, {"optTriangle", "三角波"}}},
        {EffectKind::Flanger,
         "フランジ設定",
         {{"sldWetDry", 0, 100, 10, 5, "ウェット/ドライ(Wet Dry Mix)"},
          {"sldDepth", 0, 100, 5, 1, "深さ（Depth）"},
          {"sldFeedback", -99, 99, 10, 1, "フィードバック(FeedBack)"},
          {"sldFreq", 0, 10, 5, 1, "周波数(Frequency)"},
          {"sldDelay", 0, 4, 2, 1, "ディレイ(Delay)"},
          {"sldPhase", 0, 4, 2, 1, "フェイズ(Phase)"}},
         {{"optSin", "サイン波"}, {"optTriangle", "トライアングル"}}},
        {EffectKind::Distortion,
         "ディストーション設定",
         {{"sldGain", -60, 0, 10, 1, "ゲイン(Gain)"},
          {"sldEdge", 0, 100, 10, 1, "エッジ(Edge)"},
          {"sldPostEQCenter", 100, 8000, 500, 100, "センターバンド"},
          {"sldPostEQBand", 100, 8000, 500, 100, "バンド"},
          {"sldPreLow", 100, 8000, 500, 100, "ローパス(Prelow Pass Cutoff)"}},
         {}},
        {EffectKind::Compressor,
         "Compressor 設定",
         {{"sldOutputGain", -60, 60, 10, 2, "ゲイン(Gain)"},
          {"sldAttack", 1, 500, 10, 5, "アタック(Attack)"},
          {"sldRelease", 50, 3000, 10, 5, "リリース（Release）"},
          {"sldThreshold", -60, 0, 10, 1, "開始点（Threshold）"},
          {"sldRatio", 1, 100, 10, 1, "レイシオ（Ratio）"},
          {"sldDelay", 0, 4, 1, 1, "ディレイ(Pre-Delay)"}},
         {}},
        {EffectKind::ParamEq,
         "パラメータイコライザ設定",
         {{"sldCenter", 80, 16000, 500, 100, "センター（Center ）"},
          {"sldBand", 1, 36, 4, 1, "バンド（Bandwidth）"},
          {"sldGain", -15, 15, 5, 1, "ゲイン（Gain）"}},
         {}},
        {EffectKind::Gargle,
         "Ｇａｇｌｅ設定",
         {{"sldRate", 1, 1000, 100, 10, " Hz"}},
         {{"optSquare", "方形波"}, {"optTriangle", "三角波"}}},
    };
    for (const DialogDesign& design : designs) {
        FakeSoundBuffer buffer;
        OpenDialog open(design.kind, buffer);
        SCOPED_TRACE(design.title);
        EXPECT_EQ(open.dialog->windowTitle(), QString::fromUtf8(design.title));
        EXPECT_FALSE(open.dialog->isModal());
        EXPECT_EQ(open.dialog->findChildren<QSlider*>().size(),
                  static_cast<qsizetype>(design.sliders.size()));
        for (const SliderRow& row : design.sliders) {
            auto* slider = open.child<QSlider>(row.name);
            ASSERT_NE(slider, nullptr) << row.name;
            EXPECT_EQ(slider->minimum(), row.minimum) << row.name;
            EXPECT_EQ(slider->maximum(), row.maximum) << row.name;
            EXPECT_EQ(slider->pageStep(), row.large) << row.name;
            EXPECT_EQ(slider->singleStep(), row.small) << row.name;
            auto* label =
                open.dialog->findChild<QLabel*>(QString::fromLatin1(row.name) + QStringLiteral("Label"));
            ASSERT_NE(label, nullptr) << row.name;
            EXPECT_EQ(label->text(), QString::fromUtf8(row.label)) << row.name;
        }
        for (const auto& [name, text] : design.options) {
            auto* button = open.child<QAbstractButton>(name);
            ASSERT_NE(button, nullptr) << name;
            EXPECT_EQ(button->text(), QString::fromUtf8(text)) << name;
            if (auto* group = qobject_cast<QGroupBox*>(button->parentWidget())) {
                EXPECT_EQ(group->title(), QStringLiteral("Wave 形式"));
            }
        }
        auto* ok = open.child<QPushButton>("cmdOK");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
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

TEST(EffectDialogs, OkWritesOnceMoreAndCloses) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::ParamEq}, &results);
    OpenDialog open(EffectKind::ParamEq, buffer);
    FakeEffect* eq = buffer.fake(EffectKind::ParamEq);
    const int writes = eq->writes;
    QTest::mouseClick(open.child<QPushButton>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(eq->writes, writes + 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.dialog.isNull());
}

TEST(EffectDialogs, AChainAppliedAgainWhileTheDialogIsOpenGetsTheNextMove) {
    FakeSoundBuffer buffer;
    std::vector<int> results;
    buffer.setFX({EffectKind::Distortion}, &results);
    OpenDialog open(EffectKind::Distortion, buffer);
    // Another settings button applies a longer chain; the old effect object is gone.
    buffer.setFX({EffectKind::Distortion, EffectKind::Echo}, &results);
    auto* edge = open.child<QSlider>("sldEdge");
    edge->setValue(40);
    EXPECT_EQ(std::get<dsp::DistortionParams>(buffer.fake(EffectKind::Distortion)->params).fEdge, 40.0f);
}

// The settings button through the model, the dialog over the main window, and the main window's lists.
TEST(EffectDialogs, SettingsButtonOpensTheDialogOverTheMainWindowAndTheListsShowTheEntries) {
    app::MainWindow window([](const std::string&, int, const QString&) { return QString(); });
    FakeSoundBuffer buffer;
    sampler::EffectLists lists;
    songlist::testing::FakeMessages boxes;
    sampler::SlotEffects effects(
        lists, [&](int slot) { return slot == 5 ? &buffer : nullptr; }, boxes);
    sampler::EffectDialogHost host(&window);
    effects.showDialog = [&](EffectKind kind, SoundBuffer& b) { host.open(kind, b); };
    effects.onListChanged = [&](int slot) {
        window.showEffectList(slot, lists.entries[static_cast<std::size_t>(slot)]);
    };

    lists.entries[5] = {sampler::newEntry(QStringLiteral("Echo")),
                        sampler::newEntry(QStringLiteral("Flanger"))};
    lists.currentfx = 2;
    ASSERT_TRUE(effects.openfxdialog(5));
    QListWidget* list = window.effectList(5);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Echo - Software"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Flanger - Software"));
    // lstUse(5) sits on the song-list panel at its place, 1635 by 420 twips.
    EXPECT_EQ(list->parentWidget(), window.picture("Picture5"));
    EXPECT_EQ(list->geometry(), QRect(3480 / 15, 4800 / 15, 1635 / 15, 420 / 15));
    EXPECT_EQ(window.effectList(0)->count(), 0);

    const std::vector<EffectDialog*> open = host.openDialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_NE(dynamic_cast<sampler::frmFlanger*>(open[0]), nullptr);
    EXPECT_EQ(open[0]->parentWidget(), &window);
    EXPECT_EQ(open[0]->buffer(), &buffer);
    EXPECT_EQ(open[0]->index(), 0);
    EXPECT_TRUE(open[0]->isVisible());
    EXPECT_FALSE(open[0]->isModal());

    // A slider move is heard: the flanger's record on the slot's buffer follows it.
    open[0]->findChild<QSlider*>(QStringLiteral("sldFeedback"))->setValue(-20);
    EXPECT_EQ(std::get<dsp::FlangerParams>(buffer.fake(EffectKind::Flanger)->params).fFeedback, -20.0f);

    // Before the slot's buffer goes, its dialogs close.
    host.closeDialogsOn(&buffer);
    EXPECT_TRUE(host.openDialogs().empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// The whole path on the real engine: a looping slot in effecter mode, echo and flanger ticked, the
// flanger's settings opened while it loops and a slider dragged.
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
    buffer->play(SoundBuffer::kPlayLooping);
    output.render(1024);
    engine.dispatchEvents();

    lists.currentfx = 2;
    ASSERT_TRUE(effects.openfxdialog(0));
    ASSERT_EQ(host.openDialogs().size(), 1u);
    EffectDialog* flanger = host.openDialogs()[0];
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
    buffer.reset();
    output.render(1024);
    engine.dispatchEvents();
}

}  // namespace
}  // namespace korvex::test
