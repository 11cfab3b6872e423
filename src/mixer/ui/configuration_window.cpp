#include "mixer/ui/configuration_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace korvex::mixer {

namespace {

constexpr double kTwipsPerPixel = 15.0;

QSlider* slider(QWidget* parent, int maximum, const char* name) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(0, maximum);
    s->setObjectName(QString::fromLatin1(name));
    return s;
}

// A slider between a "遅" and a "速" label.
QWidget* slowFast(QSlider* s) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("遅")));
    layout->addWidget(s, 1);
    layout->addWidget(new QLabel(QStringLiteral("速")));
    return row;
}

void setChecked(QAbstractButton* button, bool on) {
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

void setValue(QSlider* s, int value) {
    const QSignalBlocker quiet(s);
    s->setValue(value);
}

}  // namespace

// --- CurveView --------------------------------------------------------------------------------------------

CurveView::CurveView(QWidget* parent) : QWidget(parent) {
    setFixedSize(qRound(kWidthTwips / kTwipsPerPixel), qRound(kHeightTwips / kTwipsPerPixel));
}

void CurveView::setLines(const CurveLines& lines) {
    if (lines == lines_) return;
    lines_ = lines;
    update();
}

void CurveView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(16, 16, 18));
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = 1.0 / kTwipsPerPixel;
    // The fader's travel: deck A's end, the centre and deck B's end.
    painter.setPen(QPen(QColor(70, 70, 76), 1, Qt::DotLine));
    for (const int x : {startX(0), endX(0), endX(kFaderPointMax)})
        painter.drawLine(QPointF(x * s, 300 * s), QPointF(x * s, 1020 * s));
    painter.setPen(QColor(150, 150, 156));
    QFont small = font();
    small.setPixelSize(9);
    painter.setFont(small);
    painter.drawText(QPointF(startX(0) * s - 2, 1140 * s), QStringLiteral("A"));
    painter.drawText(QPointF(endX(kFaderPointMax) * s - 4, 1140 * s), QStringLiteral("B"));
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const bool deckA = i >= 3;
        const unsigned rgb = deckA ? kCurveColourA : kCurveColourB;
        painter.setPen(QPen(QColor::fromRgb(rgb), 1.6));
        const CurveLine& l = lines_[i];
        painter.drawLine(QPointF(l.x1 * s, l.y1 * s), QPointF(l.x2 * s, l.y2 * s));
    }
}

// --- ConfigurationWindow ----------------------------------------------------------------------------------

ConfigurationWindow::ConfigurationWindow(Configuration& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Korvexの設定"));
    setModal(false);
    QFont dialogFont(QStringLiteral("Noto Sans CJK JP"));
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(crossfaderFrame());
    left->addWidget(gapFrame());
    left->addWidget(headphonesFrame());
    auto* right = new QVBoxLayout;
    right->addWidget(faderFrame());
    right->addWidget(recordingFrame());
    {
        auto* frame = new QGroupBox(QStringLiteral("MIDI"));
        auto* row = new QHBoxLayout(frame);
        row->addWidget(new QLabel(QStringLiteral("コントローラーのポートとマッピング")), 1);
        midi_ = new QPushButton(QStringLiteral("MIDI 設定..."));
        midi_->setObjectName(QStringLiteral("midi"));
        row->addWidget(midi_);
        QObject::connect(midi_, &QPushButton::clicked, this, [this] { model_.midiClick(); });
        right->addWidget(frame);
    }
    left->addWidget(broadcastFrame());
    left->addStretch(1);
    right->addStretch(1);
    columns->addLayout(left);
    columns->addLayout(right);
    outer->addLayout(columns);
    outer->addWidget(samplerFrame());

    model_.load();
    showState();
}

QWidget* ConfigurationWindow::crossfaderFrame() {
    auto* frame = new QGroupBox(QStringLiteral("クロスフェーダ―"));
    auto* layout = new QVBoxLayout(frame);

    auto* patterns = new QHBoxLayout;
    auto* group = new QButtonGroup(frame);
    const QString names[] = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (int i = 0; i < 3; ++i) {
        patern_[i] = new QRadioButton(names[i]);
        patern_[i]->setObjectName(QStringLiteral("patern%1").arg(i));
        group->addButton(patern_[i], i);
        patterns->addWidget(patern_[i]);
        QObject::connect(patern_[i], &QRadioButton::clicked, this, [this, i] {
            patternChosen_ = true;
            model_.paternClick(i);
            showState();
        });
    }
    patterns->addStretch(1);
    layout->addLayout(patterns);

    auto* points = new QGridLayout;
    const QString captions[] = {QStringLiteral("A:Start"), QStringLiteral("A:End"), QStringLiteral("B:Start"),
                                QStringLiteral("B:End")};
    for (int k = 0; k < 4; ++k) {
        fdSlider_[k] = slider(frame, kFaderPointMax, "");
        fdSlider_[k]->setObjectName(QStringLiteral("fdSlider%1").arg(k));
        fdSlider_[k]->setMinimumWidth(170);
        points->addWidget(new QLabel(captions[k]), k, 0);
        points->addWidget(fdSlider_[k], k, 1);
        QObject::connect(fdSlider_[k], &QSlider::valueChanged, this, [this, k](int value) {
            model_.sliderChange(k, value);
            curve_->setLines(model_.curve());
        });
    }
    layout->addLayout(points);

    curve_ = new CurveView(frame);
    layout->addWidget(curve_, 0, Qt::AlignHCenter);

    auto* time = new QHBoxLayout;
    time->addWidget(new QLabel(QStringLiteral("切り替え時間：")));
    text1_ = new QLineEdit(frame);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setMaxLength(8);
    text1_->setFixedWidth(56);
    text1_->setAlignment(Qt::AlignRight);
    time->addWidget(text1_);
    time->addWidget(new QLabel(QStringLiteral("00ミリ秒")));
    time->addStretch(1);
    fdrec_ = new QPushButton(QStringLiteral("記憶"));
    fdrec_->setObjectName(QStringLiteral("fdrec"));
    time->addWidget(fdrec_);
    layout->addLayout(time);
    QObject::connect(text1_, &QLineEdit::textEdited, this,
                     [this](const QString& text) { model_.switchTextChange(text); });
    QObject::connect(fdrec_, &QPushButton::clicked, this, [this] {
        model_.fdrecClick();
        showState();
    });
    return frame;
}

QWidget* ConfigurationWindow::faderFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Fader設定"));
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(new QLabel(QStringLiteral("TRIM初期値")));
    strim_ = slider(frame, kTrimMax, "strim");
    layout->addWidget(strim_);
    layout->addWidget(new QLabel(QStringLiteral("サーチ時の頭再生の間隔")));
    slsarch_ = slider(frame, kHeadIntervalMax, "slsarch");
    layout->addWidget(slowFast(slsarch_));
    cueswitch_ = new QCheckBox(QStringLiteral("Switchと同時にPLAY"));
    cueswitch_->setObjectName(QStringLiteral("cueswitch"));
    layout->addWidget(cueswitch_);
    protect_ = new QCheckBox(QStringLiteral("演奏中のデッキを保護"));
    protect_->setObjectName(QStringLiteral("protectLiveDeck"));
    protect_->setToolTip(QStringLiteral(
        "オンにすると、再生中のデッキには曲を読み込みません（↑↓キー、曲送りボタン、ダブルクリック、ドロップ）。"
        "デッキのタイトルが光って知らせます。"));
    layout->addWidget(protect_);
    QObject::connect(protect_, &QCheckBox::clicked, this, [this](bool on) { model_.protectLiveDeckClick(on); });
    fileNameTitles_ = new QCheckBox(QStringLiteral("曲名をファイル名で表示"));
    fileNameTitles_->setObjectName(QStringLiteral("fileNameTitles"));
    fileNameTitles_->setToolTip(QStringLiteral(
        "オンにすると、曲リストにはファイル名を表示します。オフのときは、曲のタグに入っている"
        "「アーティスト - 曲名」を表示します（タグのない曲はファイル名のまま）。"));
    layout->addWidget(fileNameTitles_);
    QObject::connect(fileNameTitles_, &QCheckBox::clicked, this,
                     [this](bool on) { model_.fileNameTitlesClick(on); });
    autoTrim_ = new QCheckBox(QStringLiteral("音量を自動で揃える"));
    autoTrim_->setObjectName(QStringLiteral("autoTrim"));
    autoTrim_->setToolTip(QStringLiteral(
        "オンにすると、曲のラウドネスを測ってTRIMを合わせ、どの曲も同じくらいの音量（-14 LUFS）で鳴らします"
        "（TRIMは下げる向きにだけ動きます）。手で動かしたTRIMは、これまでどおり曲ごとに覚えます。"));
    layout->addWidget(autoTrim_);
    QObject::connect(autoTrim_, &QCheckBox::clicked, this, [this](bool on) { model_.autoTrimClick(on); });
    QObject::connect(strim_, &QSlider::valueChanged, this, [this](int v) { model_.trimChange(v); });
    QObject::connect(slsarch_, &QSlider::valueChanged, this, [this](int v) { model_.headIntervalChange(v); });
    QObject::connect(cueswitch_, &QCheckBox::clicked, this,
                     [this](bool on) { model_.playOnSwitchClick(on); });
    return frame;
}

QWidget* ConfigurationWindow::gapFrame() {
    auto* frame = new QGroupBox(QStringLiteral("ギャップ調整"));
    auto* layout = new QVBoxLayout(frame);
    gyap_ = slider(frame, kGapMax, "gyap");
    layout->addWidget(slowFast(gyap_));
    QObject::connect(gyap_, &QSlider::valueChanged, this, [this](int v) { model_.gapChange(v); });
    return frame;
}

QWidget* ConfigurationWindow::headphonesFrame() {
    auto* frame = new QGroupBox(QStringLiteral("ヘッドホン"));
    auto* layout = new QVBoxLayout(frame);
    headphones_ = new QComboBox(frame);
    headphones_->setObjectName(QStringLiteral("headphones"));
    headphones_->setEditable(true);
    headphones_->setInsertPolicy(QComboBox::NoInsert);
    headphones_->addItem(QStringLiteral("なし"), QStringLiteral("none"));
    headphones_->addItem(QStringLiteral("左右に分ける（左：会場、右：ヘッドホン）"), QStringLiteral("split"));
    headphones_->addItem(QStringLiteral("出力 3-4（4 出力のデバイス）"), QStringLiteral("channels"));
    headphones_->setToolTip(QStringLiteral(
        "別のサウンドデバイスで聴くときは、そのデバイスの名前（またはその一部）を入力してください。"));
    layout->addWidget(headphones_);
    auto* hint = new QLabel(QStringLiteral("デバイス名を入力すると、そのデバイスでヘッドホンを鳴らします。"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    // A listed choice by its mode, anything typed as a device name.
    auto choose = [this] {
        const QString text = headphones_->currentText();
        const int listed = headphones_->findText(text);
        model_.headphonesChange(listed >= 0 ? headphones_->itemData(listed).toString() : text);
        showState();
    };
    QObject::connect(headphones_, &QComboBox::activated, this, choose);
    QObject::connect(headphones_->lineEdit(), &QLineEdit::editingFinished, this, choose);
    return frame;
}

QWidget* ConfigurationWindow::broadcastFrame() {
    auto* frame = new QGroupBox(QStringLiteral("配信"));
    auto* layout = new QVBoxLayout(frame);
    broadcast_ = new QPushButton(QStringLiteral("配信の設定..."), frame);
    broadcast_->setObjectName(QStringLiteral("broadcast"));
    broadcast_->setToolTip(QStringLiteral("Icecast サーバーへミックスを配信するときの送り先と形式です。"));
    layout->addWidget(broadcast_);
    QObject::connect(broadcast_, &QPushButton::clicked, this, [this] {
        if (onBroadcast) onBroadcast();
    });
    return frame;
}

QWidget* ConfigurationWindow::recordingFrame() {
    auto* frame = new QGroupBox(QStringLiteral("録音"));
    auto* layout = new QGridLayout(frame);
    auto pair = [frame](QRadioButton** buttons, const QStringList& captions, const char* name) {
        auto* group = new QButtonGroup(frame);
        for (int i = 0; i < captions.size(); ++i) {
            buttons[i] = new QRadioButton(captions[i]);
            buttons[i]->setObjectName(QStringLiteral("%1%2").arg(QString::fromLatin1(name)).arg(i));
            group->addButton(buttons[i], i);
        }
    };
    // Captions by index: (0) is the lower choice.
    pair(stereo_, {QStringLiteral("ﾓﾉﾗﾙ"), QStringLiteral("ｽﾃﾚｵ")}, "stereo");
    pair(bit_, {QStringLiteral("8bit"), QStringLiteral("16bit")}, "bit");
    pair(bitrate_, {QStringLiteral("11,025kHz"), QStringLiteral("22,050kHz"), QStringLiteral("44,100kHz")},
         "bitrate");
    layout->addWidget(stereo_[1], 0, 0);
    layout->addWidget(stereo_[0], 1, 0);
    layout->addWidget(bit_[1], 0, 1);
    layout->addWidget(bit_[0], 1, 1);
    layout->addWidget(bitrate_[2], 0, 2);
    layout->addWidget(bitrate_[1], 1, 2);
    layout->addWidget(bitrate_[0], 2, 2);
    for (int i = 0; i < 2; ++i) {
        QObject::connect(stereo_[i], &QRadioButton::clicked, this, [this, i] { model_.stereoClick(i); });
        QObject::connect(bit_[i], &QRadioButton::clicked, this, [this, i] { model_.bitClick(i); });
    }
    for (int i = 0; i < 3; ++i)
        QObject::connect(bitrate_[i], &QRadioButton::clicked, this, [this, i] { model_.bitrateClick(i); });

    autorecstart_ = new QCheckBox(QStringLiteral("再生と同時に録音"));
    autorecstart_->setObjectName(QStringLiteral("autorecstart"));
    recordMix_ = new QCheckBox(QStringLiteral("再生音を直接録音"));
    recordMix_->setObjectName(QStringLiteral("recsource"));
    startvolcon_ = new QPushButton(QStringLiteral("ボリュームコントロール"));
    startvolcon_->setObjectName(QStringLiteral("startvolcon"));
    // What REC records when the box is left alone, and what unticking it records instead.
    const QString sourceText =
        QStringLiteral("既定はオン（プレーヤーの再生音を録音）。外すと入力デバイス（マイクなど）を録音します。");
    recordMix_->setToolTip(sourceText);
    // Broken after its first sentence rather than wrapped: a wrapped label in this grid got the height of
    // one line and showed its text cut.
    auto* sourceHint =
        new QLabel(QString(sourceText).replace(QStringLiteral("。外す"), QStringLiteral("。\n外す")));
    sourceHint->setObjectName(QStringLiteral("recsourceHint"));
    layout->addWidget(autorecstart_, 3, 0, 1, 3);
    layout->addWidget(recordMix_, 4, 0, 1, 3);
    layout->addWidget(sourceHint, 5, 0, 1, 3);
    layout->addWidget(startvolcon_, 6, 0, 1, 3);
    QObject::connect(autorecstart_, &QCheckBox::clicked, this, [this](bool on) { model_.autorecClick(on); });
    QObject::connect(recordMix_, &QCheckBox::clicked, this, [this](bool on) { model_.recordMixClick(on); });
    QObject::connect(startvolcon_, &QPushButton::clicked, this, [this] { model_.startvolconClick(); });
    return frame;
}

QWidget* ConfigurationWindow::samplerFrame() {
    auto* frame = new QGroupBox(QStringLiteral("サンプラーオプション"));
    auto* layout = new QVBoxLayout(frame);
    sampoff_ = new QCheckBox(QStringLiteral("サンプラーＯＦＦ"));
    sampoff_->setObjectName(QStringLiteral("sampoff"));
    layout->addWidget(sampoff_);
    auto* slots = new QGridLayout;
    slots->setHorizontalSpacing(4);
    const QString digits = QStringLiteral("１２３４５６７８");
    for (int i = 0; i < 8; ++i) {
        command1_[i] = new QPushButton(digits.mid(i, 1));
        command1_[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        command1_[i]->setFixedWidth(34);
        slots->addWidget(command1_[i], 0, i);
        QObject::connect(command1_[i], &QPushButton::clicked, this, [this, i] { model_.slotClick(i); });
    }
    slots->setColumnStretch(8, 1);
    layout->addLayout(slots);
    const QString hintText =
        QStringLiteral("メインプレーヤにノイズがのる場合はサンプラーをＯＦＦにしてください。");
    sampoff_->setToolTip(hintText);
    auto* hint = new QLabel(hintText);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    QObject::connect(sampoff_, &QCheckBox::clicked, this, [this](bool on) {
        model_.sampoffClick(on);
        showState();
    });
    return frame;
}

void ConfigurationWindow::showState() {
    // No pattern button is lit until one is clicked; the edited one afterwards.
    if (patternChosen_) setChecked(patern_[model_.pattern()], true);
    for (int k = 0; k < 4; ++k) setValue(fdSlider_[k], model_.sliders()[static_cast<std::size_t>(k)]);
    curve_->setLines(model_.curve());
    if (text1_->text() != model_.switchText()) text1_->setText(model_.switchText());
    setValue(gyap_, model_.gap());
    setValue(slsarch_, model_.headInterval());
    setValue(strim_, model_.trim());
    setChecked(cueswitch_, model_.playOnSwitch());
    setChecked(protect_, model_.protectLiveDeck());
    setChecked(fileNameTitles_, model_.fileNameTitles());
    setChecked(autoTrim_, model_.autoTrim());
    {
        const QSignalBlocker quiet(headphones_);
        const int listed = headphones_->findData(model_.headphones());
        if (listed >= 0)
            headphones_->setCurrentIndex(listed);
        else if (headphones_->currentText() != model_.headphones())
            headphones_->setEditText(model_.headphones());
    }
    setChecked(bit_[model_.bitOption()], true);
    setChecked(stereo_[model_.stereoOption()], true);
    setChecked(bitrate_[model_.bitrateOption()], true);
    setChecked(autorecstart_, model_.autorec());
    setChecked(recordMix_, model_.recordMix());
    setChecked(sampoff_, model_.samplerOff());
    for (QPushButton* button : command1_) button->setEnabled(model_.slotsEnabled());
}

}  // namespace korvex::mixer
