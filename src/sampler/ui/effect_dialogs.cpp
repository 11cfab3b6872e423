#include "sampler/ui/effect_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <tuple>
#include <variant>

#include "sampler/effect_list.h"

namespace korvex::sampler {

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The record a dialog shows when its buffer holds no such effect.
dsp::EffectParams defaultRecord(dsp::EffectKind kind) {
    switch (kind) {
        case dsp::EffectKind::Chorus:
            return dsp::ChorusParams{};
        case dsp::EffectKind::Compressor:
            return dsp::CompressorParams{};
        case dsp::EffectKind::Distortion:
            return dsp::DistortionParams{};
        case dsp::EffectKind::Echo:
            return dsp::EchoParams{};
        case dsp::EffectKind::Flanger:
            return dsp::FlangerParams{};
        case dsp::EffectKind::Gargle:
            return dsp::GargleParams{};
        case dsp::EffectKind::ParamEq:
            return dsp::ParamEqParams{};
    }
    return dsp::EchoParams{};
}

float valueOf(const QSlider* slider) {
    return static_cast<float>(slider->value());
}

}  // namespace

// --- EffectDialog ----------------------------------------------------------------------------------------

EffectDialog::EffectDialog(dsp::EffectKind kind, QWidget* owner) : QDialog(owner), kind_(kind) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(qs(effectOfKind(kind).dialogTitle));
    auto* outer = new QVBoxLayout(this);
    rows_ = new QGridLayout;
    rows_->setHorizontalSpacing(10);
    rows_->setVerticalSpacing(6);
    rows_->setColumnMinimumWidth(1, 240);
    rows_->setColumnStretch(1, 1);
    outer->addLayout(rows_);
    outer->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    buttons->addWidget(ok);
    outer->addLayout(buttons);
    QObject::connect(ok, &QPushButton::clicked, this, [this] {
        writeRecord();
        close();
    });
}

void EffectDialog::SetBuffer(SoundBuffer* buffer, int index) {
    buffer_ = buffer;
    index_ = index;
}

SoundEffect* EffectDialog::effect() const {
    return buffer_ != nullptr ? buffer_->effect(kind_, index_) : nullptr;
}

void EffectDialog::load() {
    loaded_ = true;
    SoundEffect* fx = effect();
    loading_ = true;
    setControls(fx != nullptr ? fx->allParameters() : defaultRecord(kind_));
    loading_ = false;
    // Setting the controls counts as changing them: the effect gets the rounded record at once.
    if (fx != nullptr) writeRecord();
}

void EffectDialog::writeRecord() {
    if (SoundEffect* fx = effect()) fx->setAllParameters(readControls());
}

void EffectDialog::changed() {
    if (!loading_) writeRecord();
}

void EffectDialog::showEvent(QShowEvent* event) {
    if (!loaded_) load();
    QDialog::showEvent(event);
}

void EffectDialog::setRounded(QSlider* slider, double value) {
    slider->setValue(roundHalfEven(value));
}

QSlider* EffectDialog::addSlider(const char* name, const QString& label, int minimum, int maximum,
                                 int largeStep, int smallStep, bool unitAfter) {
    const int row = rows_->rowCount();
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(minimum, maximum);
    slider->setPageStep(largeStep);
    slider->setSingleStep(smallStep);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(largeStep);
    auto* text = new QLabel(label, this);
    text->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    auto* value = new QLabel(this);
    value->setObjectName(QString::fromLatin1(name) + QStringLiteral("Value"));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("-00000")));
    value->setNum(slider->value());
    if (unitAfter) {
        rows_->addWidget(slider, row, 1);
        rows_->addWidget(value, row, 2);
        rows_->addWidget(text, row, 3);
    } else {
        rows_->addWidget(text, row, 0);
        rows_->addWidget(slider, row, 1);
        rows_->addWidget(value, row, 2);
    }
    QObject::connect(slider, &QSlider::valueChanged, this, [this, value](int v) {
        value->setNum(v);
        changed();
    });
    return slider;
}

QCheckBox* EffectDialog::addCheck(const char* name, const QString& text) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::fromLatin1(name));
    rows_->addWidget(box, rows_->rowCount(), 0, 1, 3);
    QObject::connect(box, &QCheckBox::clicked, this, [this] { changed(); });
    return box;
}

std::pair<QRadioButton*, QRadioButton*> EffectDialog::addOptions(const QString& heading,
                                                                 const char* firstName,
                                                                 const QString& firstText,
                                                                 const char* secondName,
                                                                 const QString& secondText) {
    auto* frame = new QGroupBox(heading, this);
    auto* layout = new QHBoxLayout(frame);
    auto* first = new QRadioButton(firstText, frame);
    first->setObjectName(QString::fromLatin1(firstName));
    auto* second = new QRadioButton(secondText, frame);
    second->setObjectName(QString::fromLatin1(secondName));
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addStretch(1);
    auto* group = new QButtonGroup(frame);
    group->addButton(first);
    group->addButton(second);
    rows_->addWidget(frame, rows_->rowCount(), 0, 1, 3);
    for (QRadioButton* option : {first, second}) {
        QObject::connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on) changed();
        });
    }
    return {first, second};
}

// --- Echo ------------------------------------------------------------------------------------------------

frmEcho::frmEcho(QWidget* owner) : EffectDialog(dsp::EffectKind::Echo, owner) {
    sldWetDry_ = addSlider("sldWetDry", QStringLiteral("ウェット/ドライ(Wet Dry Mix)"), 0, 100, 10, 5);
    sldFeedback_ = addSlider("sldFeedback", QStringLiteral("フィードバック(FeedBack)"), 0, 100, 10, 1);
    sldLeft_ = addSlider("sldLeft", QStringLiteral("左ディレイ(LeftDelay)"), 1, 2000, 100, 10);
    sldRight_ = addSlider("sldRight", QStringLiteral("右ディレイ(RightDelay)"), 1, 2000, 100, 10);
    chkPan_ = addCheck("chkPan", QStringLiteral("パンのディレイをＭＡＸ"));
}

void frmEcho::setControls(const dsp::EffectParams& params) {
    const auto* p = std::get_if<dsp::EchoParams>(&params);
    if (p == nullptr) return;
    setRounded(sldWetDry_, p->fWetDryMix);
    setRounded(sldFeedback_, p->fFeedback);
    setRounded(sldLeft_, p->fLeftDelay);
    setRounded(sldRight_, p->fRightDelay);
    chkPan_->setChecked(p->lPanDelay == 1);
}

dsp::EffectParams frmEcho::readControls() const {
    dsp::EchoParams p;
    p.fWetDryMix = valueOf(sldWetDry_);
    p.fFeedback = valueOf(sldFeedback_);
    p.fLeftDelay = valueOf(sldLeft_);
    p.fRightDelay = valueOf(sldRight_);
    p.lPanDelay = chkPan_->isChecked() ? 1 : 0;
    return p;
}

// --- Chorus and flanger ----------------------------------------------------------------------------------

ModulationDialog::ModulationDialog(dsp::EffectKind kind, QWidget* owner, const QString& depthLabel,
                                   int delayMaximum, int delayLargeStep, const QString& triangleText)
    : EffectDialog(kind, owner) {
    sldWetDry_ = addSlider("sldWetDry", QStringLiteral("ウェット/ドライ(Wet Dry Mix)"), 0, 100, 10, 5);
    sldDepth_ = addSlider("sldDepth", depthLabel, 0, 100, 5, 1);
    sldFeedback_ = addSlider("sldFeedback", QStringLiteral("フィードバック(FeedBack)"), -99, 99, 10, 1);
    sldFreq_ = addSlider("sldFreq", QStringLiteral("周波数(Frequency)"), 0, 10, 5, 1);
    std::tie(optSin_, optTriangle_) = addOptions(QStringLiteral("Wave 形式"), "optSin",
                                                 QStringLiteral("サイン波"), "optTriangle", triangleText);
    sldDelay_ = addSlider("sldDelay", QStringLiteral("ディレイ(Delay)"), 0, delayMaximum, delayLargeStep, 1);
    sldPhase_ = addSlider("sldPhase", QStringLiteral("フェイズ(Phase)"), 0, 4, 2, 1);
}

template <class Params>
void ModulationDialog::setFields(const Params& p) {
    setRounded(sldWetDry_, p.fWetDryMix);
    setRounded(sldDepth_, p.fDepth);
    setRounded(sldFeedback_, p.fFeedback);
    setRounded(sldFreq_, p.fFrequency);
    loadedWaveform_ = p.lWaveform;
    if (p.lWaveform == 1) optSin_->setChecked(true);
    if (p.lWaveform == 0) optTriangle_->setChecked(true);
    setRounded(sldDelay_, p.fDelay);
    sldPhase_->setValue(p.lPhase);
}

template <class Params>
Params ModulationDialog::fields() const {
    Params p;
    p.fWetDryMix = valueOf(sldWetDry_);
    p.fDepth = valueOf(sldDepth_);
    p.fFeedback = valueOf(sldFeedback_);
    p.fFrequency = valueOf(sldFreq_);
    p.lWaveform = optSin_->isChecked() ? 1 : optTriangle_->isChecked() ? 0 : loadedWaveform_;
    p.fDelay = valueOf(sldDelay_);
    p.lPhase = sldPhase_->value();
    return p;
}

frmChorus::frmChorus(QWidget* owner)
    : ModulationDialog(dsp::EffectKind::Chorus, owner, QStringLiteral("深さ（ｄｅｐｔｈ）"), 20, 5,
                       QStringLiteral("三角波")) {}

void frmChorus::setControls(const dsp::EffectParams& params) {
    if (const auto* p = std::get_if<dsp::ChorusParams>(&params)) setFields(*p);
}

dsp::EffectParams frmChorus::readControls() const {
    return fields<dsp::ChorusParams>();
}

frmFlanger::frmFlanger(QWidget* owner)
    : ModulationDialog(dsp::EffectKind::Flanger, owner, QStringLiteral("深さ（Depth）"), 4, 2,
                       QStringLiteral("トライアングル")) {}

void frmFlanger::setControls(const dsp::EffectParams& params) {
    if (const auto* p = std::get_if<dsp::FlangerParams>(&params)) setFields(*p);
}

dsp::EffectParams frmFlanger::readControls() const {
    return fields<dsp::FlangerParams>();
}

// --- Distortion ------------------------------------------------------------------------------------------

frmDistortion::frmDistortion(QWidget* owner) : EffectDialog(dsp::EffectKind::Distortion, owner) {
    sldGain_ = addSlider("sldGain", QStringLiteral("ゲイン(Gain)"), -60, 0, 10, 1);
    sldEdge_ = addSlider("sldEdge", QStringLiteral("エッジ(Edge)"), 0, 100, 10, 1);
    sldPostEQCenter_ = addSlider("sldPostEQCenter", QStringLiteral("センターバンド"), 100, 8000, 500, 100);
    sldPostEQBand_ = addSlider("sldPostEQBand", QStringLiteral("バンド"), 100, 8000, 500, 100);
    sldPreLow_ = addSlider("sldPreLow", QStringLiteral("ローパス(Prelow Pass Cutoff)"), 100, 8000, 500, 100);
}

void frmDistortion::setControls(const dsp::EffectParams& params) {
    const auto* p = std::get_if<dsp::DistortionParams>(&params);
    if (p == nullptr) return;
    setRounded(sldGain_, p->fGain);
    setRounded(sldEdge_, p->fEdge);
    setRounded(sldPostEQCenter_, p->fPostEQCenterFrequency);
    setRounded(sldPostEQBand_, p->fPostEQBandwidth);
    setRounded(sldPreLow_, p->fPreLowpassCutoff);
}

dsp::EffectParams frmDistortion::readControls() const {
    dsp::DistortionParams p;
    p.fGain = valueOf(sldGain_);
    p.fEdge = valueOf(sldEdge_);
    p.fPostEQCenterFrequency = valueOf(sldPostEQCenter_);
    p.fPostEQBandwidth = valueOf(sldPostEQBand_);
    p.fPreLowpassCutoff = valueOf(sldPreLow_);
    return p;
}

// --- Compressor ------------------------------------------------------------------------------------------

frmCompressor::frmCompressor(QWidget* owner) : EffectDialog(dsp::EffectKind::Compressor, owner) {
    sldOutputGain_ = addSlider("sldOutputGain", QStringLiteral("ゲイン(Gain)"), -60, 60, 10, 2);
    sldAttack_ = addSlider("sldAttack", QStringLiteral("アタック(Attack)"), 1, 500, 10, 5);
    sldRelease_ = addSlider("sldRelease", QStringLiteral("リリース（Release）"), 50, 3000, 10, 5);
    sldThreshold_ = addSlider("sldThreshold", QStringLiteral("開始点（Threshold）"), -60, 0, 10, 1);
    sldRatio_ = addSlider("sldRatio", QStringLiteral("レイシオ（Ratio）"), 1, 100, 10, 1);
    sldDelay_ = addSlider("sldDelay", QStringLiteral("ディレイ(Pre-Delay)"), 0, 4, 1, 1);
}

void frmCompressor::setControls(const dsp::EffectParams& params) {
    const auto* p = std::get_if<dsp::CompressorParams>(&params);
    if (p == nullptr) return;
    setRounded(sldOutputGain_, p->fGain);
    setRounded(sldAttack_, p->fAttack);
    setRounded(sldRelease_, p->fRelease);
    setRounded(sldThreshold_, p->fThreshold);
    setRounded(sldRatio_, p->fRatio);
    setRounded(sldDelay_, p->fPredelay);
}

dsp::EffectParams frmCompressor::readControls() const {
    dsp::CompressorParams p;
    p.fGain = valueOf(sldOutputGain_);
    p.fAttack = valueOf(sldAttack_);
    p.fRelease = valueOf(sldRelease_);
    p.fThreshold = valueOf(sldThreshold_);
    p.fRatio = valueOf(sldRatio_);
    p.fPredelay = valueOf(sldDelay_);
    return p;
}

// --- Parametric EQ ---------------------------------------------------------------------------------------

frmParamEQ::frmParamEQ(QWidget* owner) : EffectDialog(dsp::EffectKind::ParamEq, owner) {
    sldCenter_ = addSlider("sldCenter", QStringLiteral("センター（Center ）"), 80, 16000, 500, 100);
    sldBand_ = addSlider("sldBand", QStringLiteral("バンド（Bandwidth）"), 1, 36, 4, 1);
    sldGain_ = addSlider("sldGain", QStringLiteral("ゲイン（Gain）"), -15, 15, 5, 1);
}

void frmParamEQ::setControls(const dsp::EffectParams& params) {
    const auto* p = std::get_if<dsp::ParamEqParams>(&params);
    if (p == nullptr) return;
    setRounded(sldCenter_, p->fCenter);
    setRounded(sldBand_, p->fBandwidth);
    setRounded(sldGain_, p->fGain);
}

dsp::EffectParams frmParamEQ::readControls() const {
    dsp::ParamEqParams p;
    p.fCenter = valueOf(sldCenter_);
    p.fBandwidth = valueOf(sldBand_);
    p.fGain = valueOf(sldGain_);
    return p;
}

// --- Gargle ----------------------------------------------------------------------------------------------

frmGargle::frmGargle(QWidget* owner) : EffectDialog(dsp::EffectKind::Gargle, owner) {
    sldRate_ = addSlider("sldRate", QStringLiteral(" Hz"), 1, 1000, 100, 10, true);
    std::tie(optSquare_, optTriangle_) =
        addOptions(QStringLiteral("Wave 形式"), "optSquare", QStringLiteral("方形波"), "optTriangle",
                   QStringLiteral("三角波"));
}

void frmGargle::setControls(const dsp::EffectParams& params) {
    const auto* p = std::get_if<dsp::GargleParams>(&params);
    if (p == nullptr) return;
    sldRate_->setValue(p->dwRateHz);
    loadedShape_ = p->dwWaveShape;
    if (p->dwWaveShape == 1) optSquare_->setChecked(true);
    if (p->dwWaveShape == 0) optTriangle_->setChecked(true);
}

dsp::EffectParams frmGargle::readControls() const {
    dsp::GargleParams p;
    p.dwRateHz = sldRate_->value();
    p.dwWaveShape = optSquare_->isChecked() ? 1 : optTriangle_->isChecked() ? 0 : loadedShape_;
    return p;
}

// --- Factory and host ------------------------------------------------------------------------------------

EffectDialog* createEffectDialog(dsp::EffectKind kind, QWidget* owner) {
    switch (kind) {
        case dsp::EffectKind::Chorus:
            return new frmChorus(owner);
        case dsp::EffectKind::Compressor:
            return new frmCompressor(owner);
        case dsp::EffectKind::Distortion:
            return new frmDistortion(owner);
        case dsp::EffectKind::Echo:
            return new frmEcho(owner);
        case dsp::EffectKind::Flanger:
            return new frmFlanger(owner);
        case dsp::EffectKind::Gargle:
            return new frmGargle(owner);
        case dsp::EffectKind::ParamEq:
            return new frmParamEQ(owner);
    }
    return nullptr;
}

EffectDialog* EffectDialogHost::open(dsp::EffectKind kind, SoundBuffer& buffer) {
    EffectDialog* dialog = createEffectDialog(kind, owner_);
    dialog->SetBuffer(&buffer, 0);
    dialog->show();
    std::erase_if(dialogs_, [](const QPointer<EffectDialog>& d) { return d.isNull(); });
    dialogs_.emplace_back(dialog);
    return dialog;
}

void EffectDialogHost::closeDialogsOn(const SoundBuffer* buffer) {
    for (EffectDialog* dialog : openDialogs()) {
        if (dialog->buffer() != buffer) continue;
        // Closed without writing: the buffer may already be on its way out.
        dialog->SetBuffer(nullptr, 0);
        dialog->close();
    }
}

void EffectDialogHost::closeAll() {
    for (EffectDialog* dialog : openDialogs()) dialog->close();
}

std::vector<EffectDialog*> EffectDialogHost::openDialogs() const {
    std::vector<EffectDialog*> open;
    for (const QPointer<EffectDialog>& dialog : dialogs_) {
        if (dialog != nullptr && dialog->isVisible()) open.push_back(dialog.data());
    }
    return open;
}

}  // namespace korvex::sampler
