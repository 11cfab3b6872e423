#pragma once
// The sampler dialog ("   サンプラー設定") for one slot: it forwards every control's event to the
// SamplerDialogModel and draws the model's state (ticks, enabled buttons, the 3D panel's markers). It is
// modeless, created when it opens and destroyed by its "OK" button.

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <array>
#include <memory>

#include "sampler/sampler_dialog_model.h"

namespace korvex::sampler {

// `picDraw`: the 3D drawing, mouse input in pixels.
class DrawPanel final : public QWidget {
public:
    DrawPanel(SamplerDialogModel& model, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    SamplerDialogModel& model_;
};

class SamplerDialog final : public QDialog {
public:
    // Opens for `slots.currentslot`. `slots` must outlive the dialog.
    explicit SamplerDialog(SampleSlots& slots, QWidget* parent = nullptr);

    SamplerDialogModel& model() { return model_; }
    // Called after anything that changes what the main window shows (the tone keyboard's captions).
    std::function<void()> onSlotsChanged;

    QSlider* volume() const { return volume_; }
    QSlider* tempo() const { return tempo_; }
    QSlider* scrlangle() const { return scrlangle_; }
    QCheckBox* chkLoop() const { return chkLoop_; }
    QCheckBox* chksilent() const { return chksilent_; }
    QCheckBox* chkPrelisten() const { return chkPrelisten_; }
    QCheckBox* check1(int index) const { return check1_[static_cast<std::size_t>(index)]; }
    QPushButton* efectcfg(int index) const { return efectcfg_[static_cast<std::size_t>(index)]; }
    QPushButton* keyboad() const { return keyboad_; }
    QPushButton* okButton() const { return ok_; }
    QGroupBox* effectFrame() const { return effectFrame_; }
    DrawPanel* picDraw() const { return picDraw_; }
    QLabel* titleLabel() const { return title_; }

private:
    // Draws the model's state into the controls without sending their events back.
    void refresh();

    SampleSlots& slots_;
    SamplerDialogModel model_;
    QLabel* title_ = nullptr;
    QCheckBox* chkLoop_ = nullptr;
    QCheckBox* chksilent_ = nullptr;
    QCheckBox* chkPrelisten_ = nullptr;
    QSlider* volume_ = nullptr;
    QSlider* tempo_ = nullptr;
    QPushButton* keyboad_ = nullptr;
    QGroupBox* effectFrame_ = nullptr;
    std::array<QCheckBox*, kEffectBoxCount> check1_{};
    std::array<QPushButton*, kEffectBoxCount> efectcfg_{};
    DrawPanel* picDraw_ = nullptr;
    QSlider* scrlangle_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace korvex::sampler
