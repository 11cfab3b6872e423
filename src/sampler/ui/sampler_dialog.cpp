#include "sampler/ui/sampler_dialog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

namespace korvex::sampler {

namespace {

int px(int twips) {
    return (twips + 7) / 15;
}
QRect box(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

// The small caption above a slider or the drawing, one line of 10 px text.
QLabel* caption(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    QFont font = label->font();
    font.setPixelSize(10);
    label->setFont(font);
    return label;
}

// The dialog's client area in twips.
constexpr int kClientHeight = 3420;
// The effect frame's width, and the width of its check boxes: room for "Compressor" in the right column
// while the frame still ends inside the narrow window (5200).
constexpr int kEffectFrameWidth = 4155;
constexpr int kLeftBoxWidth = 1155;
constexpr int kRightBoxWidth = 1335;
// Where the effect boxes sit in their frame: settings button, then box, by check-box index.
struct EffectPlace {
    int index;
    int buttonLeft;
    int boxLeft;
    int boxWidth;
    int top;
};
constexpr EffectPlace kEffectPlaces[] = {
    {0, 120, 840, kLeftBoxWidth, 360},    {1, 120, 840, kLeftBoxWidth, 720},
    {2, 120, 840, kLeftBoxWidth, 1080},   {3, 120, 840, kLeftBoxWidth, 1440},
    {4, 2040, 2760, kRightBoxWidth, 360}, {5, 2040, 2760, kRightBoxWidth, 840},
    {7, 2040, 2760, kRightBoxWidth, 1320}};

}  // namespace

// --- DrawPanel --------------------------------------------------------------------------------------------

DrawPanel::DrawPanel(SamplerDialogModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(64, 64, 64));
    setPalette(background);
}

void DrawPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const Triangle& t : model_.drawing()) {
        painter.setPen(QColor(t.red, t.green, t.blue));
        painter.drawLine(t.points[0], t.points[1]);
        painter.drawLine(t.points[0], t.points[2]);
        painter.drawLine(t.points[1], t.points[2]);
    }
}

void DrawPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    model_.drawMouseDown(event->button() == Qt::LeftButton, at.x(), at.y());
    update();
}

void DrawPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    model_.drawMouseMove(event->buttons().testFlag(Qt::LeftButton), at.x(), at.y());
    update();
}

void DrawPanel::mouseReleaseEvent(QMouseEvent*) {
    model_.drawMouseUp();
}

// --- SamplerDialog ----------------------------------------------------------------------------------------

SamplerDialog::SamplerDialog(SampleSlots& slots, QWidget* parent)
    : QDialog(parent), slots_(slots), model_(slots) {
    setWindowTitle(QStringLiteral("   サンプラー設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    // The controls sit at fixed pixel places, so their text is sized in pixels too: a desktop with a larger
    // font or another resolution still finds every caption whole in its box.
    QFont dialogFont(QStringLiteral("Noto Sans CJK JP"));
    dialogFont.setPixelSize(12);
    setFont(dialogFont);

    title_ = new QLabel(this);
    title_->setGeometry(box(1200, 165, 1575, 255));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);

    chkLoop_ = new QCheckBox(QStringLiteral("Loop "), this);
    chkLoop_->setGeometry(box(3240, 160, 840, 255));
    chksilent_ = new QCheckBox(QStringLiteral("Silencer"), this);
    chksilent_->setGeometry(box(4080, 160, 1080, 255));
    chkPrelisten_ = new QCheckBox(QStringLiteral("ヘッドホン (PFL)"), this);
    chkPrelisten_->setGeometry(box(3240, 430, 1920, 255));

    // Above its slider, centred on it, and a little apart from the effect frame's caption at 960.
    QLabel* volumeLabel = caption(QStringLiteral("Ｖｏｌｕｍｅ"), box(0, 720, 855, 225), this);
    volumeLabel->setAlignment(Qt::AlignHCenter);
    QFont narrow = volumeLabel->font();
    narrow.setPixelSize(9);
    volumeLabel->setFont(narrow);
    volume_ = new QSlider(Qt::Vertical, this);
    volume_->setGeometry(box(120, 960, 615, 1815));
    volume_->setRange(0, 100);
    volume_->setPageStep(5);
    volume_->setSingleStep(1);
    // 0 (full level) at the top.
    volume_->setInvertedAppearance(true);
    volume_->setInvertedControls(true);

    QLabel* tempoLabel = caption(QStringLiteral("Tempo"), box(1320, 720, 1200, 225), this);
    tempo_ = new QSlider(Qt::Horizontal, this);
    tempo_->setGeometry(box(1320, 960, 2895, 495));
    tempo_->setRange(SamplerDialogModel::kTempoMin, SamplerDialogModel::kTempoMax);
    tempo_->setPageStep(1000);
    tempo_->setSingleStep(100);

    auto* keyboardFrame = new QGroupBox(QStringLiteral("音源キーボード機能"), this);
    keyboardFrame->setGeometry(box(1200, 1560, 3135, 1095));
    keyboad_ = new QPushButton(QStringLiteral("音源キーボード"), keyboardFrame);
    keyboad_->setGeometry(box(120, 240, 1575, 330));
    auto* hint = new QLabel(
        QStringLiteral("音源キーボードを使用するには上のﾊﾞｰで低いドの周波数を決めてください"), keyboardFrame);
    hint->setGeometry(box(120, 600, 2895, 450));
    hint->setWordWrap(true);
    QFont small = hint->font();
    small.setPixelSize(10);
    hint->setFont(small);

    // The effect frame covers the tempo and keyboard area of an effecter slot: it paints its own ground.
    effectFrame_ = new QGroupBox(QStringLiteral("エフェクト"), this);
    effectFrame_->setAutoFillBackground(true);
    for (const EffectPlace& place : kEffectPlaces) {
        const auto i = static_cast<std::size_t>(place.index);
        efectcfg_[i] = new QPushButton(QStringLiteral("設定"), effectFrame_);
        efectcfg_[i]->setGeometry(box(place.buttonLeft, place.top, 615, 315));
        efectcfg_[i]->setEnabled(false);
        check1_[i] = new QCheckBox(slotEffectCaption(place.index), effectFrame_);
        check1_[i]->setGeometry(box(place.boxLeft, place.top, place.boxWidth, 315));
        const int index = place.index;
        connect(check1_[i], &QCheckBox::clicked, this, [this, index](bool ticked) {
            model_.check1Clicked(index, ticked);
            refresh();
        });
        connect(efectcfg_[i], &QPushButton::clicked, this, [this, index] { model_.efectcfgClicked(index); });
    }

    QLabel* heading = caption(QStringLiteral("3D EFFECT"), box(5280, 120, 2655, 225), this);
    picDraw_ = new DrawPanel(model_, this);
    picDraw_->setGeometry(box(5280, 360, 2655, 2415));
    QLabel* angleLabel = caption(QStringLiteral("Angle"), box(5400, 2775, 1200, 225), this);
    scrlangle_ = new QSlider(Qt::Horizontal, this);
    scrlangle_->setGeometry(box(5400, 3000, 2535, 255));
    scrlangle_->setRange(SamplerDialogModel::kAngleMin, SamplerDialogModel::kAngleMax);
    scrlangle_->setPageStep(5);
    scrlangle_->setSingleStep(1);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(box(1920, 2880, 1215, 375));

    model_.open();
    effectFrame_->setGeometry(box(960, model_.effectFrameTop(), kEffectFrameWidth, 1935));
    setFixedSize(px(model_.widthTwips()), px(kClientHeight));
    // What the window does not show takes neither the keyboard focus nor the mouse: the controls under the
    // effect frame of an effecter slot, the frame itself below a sampler slot's window, and the 3D panel
    // beyond the narrow window of a slot without 3D.
    const bool frameShown = model_.effectFrameTop() == SamplerDialogModel::kFrameShownTop;
    for (QWidget* covered : std::initializer_list<QWidget*>{tempoLabel, tempo_, keyboardFrame})
        covered->setVisible(!frameShown);
    effectFrame_->setVisible(frameShown);
    effectFrame_->raise();
    const bool panelShown = model_.widthTwips() == SamplerDialogModel::kWideTwips;
    for (QWidget* panel : std::initializer_list<QWidget*>{heading, picDraw_, angleLabel, scrlangle_})
        panel->setVisible(panelShown);
    refresh();

    connect(volume_, &QSlider::valueChanged, this, [this](int v) { model_.volumeChanged(v); });
    connect(tempo_, &QSlider::valueChanged, this, [this](int v) { model_.tempoChanged(v); });
    connect(chkLoop_, &QCheckBox::clicked, this, [this](bool on) { model_.chkLoopClicked(on); });
    connect(chksilent_, &QCheckBox::clicked, this, [this](bool on) { model_.chksilentClicked(on); });
    connect(chkPrelisten_, &QCheckBox::clicked, this, [this](bool on) { model_.chkPrelistenClicked(on); });
    connect(scrlangle_, &QSlider::valueChanged, this, [this](int v) {
        model_.angleChanged(v);
        picDraw_->update();
    });
    connect(keyboad_, &QPushButton::clicked, this, [this] {
        model_.keyboadClicked();
        if (onSlotsChanged) onSlotsChanged();
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        model_.okClicked();
        close();
    });
}

void SamplerDialog::refresh() {
    const QSignalBlocker b1(volume_), b2(tempo_), b3(scrlangle_);
    title_->setText(model_.title());
    chkLoop_->setChecked(model_.chkLoop());
    chksilent_->setChecked(model_.chksilent());
    chkPrelisten_->setChecked(model_.chkPrelisten());
    volume_->setValue(model_.volume());
    tempo_->setValue(model_.tempo());
    scrlangle_->setValue(model_.angle());
    for (const EffectPlace& place : kEffectPlaces) {
        const auto i = static_cast<std::size_t>(place.index);
        check1_[i]->setChecked(model_.checked(place.index));
        efectcfg_[i]->setEnabled(model_.efectcfgEnabled(place.index));
    }
    picDraw_->update();
}

}  // namespace korvex::sampler
