#pragma once
// The configuration dialog "Korvexの設定": a modeless window over the Configuration model. Every control
// forwards its change to the model at once; the curve picture draws the model's six lines.

#include <QComboBox>
#include <QDialog>
#include <QWidget>
#include <functional>

#include "mixer/configuration.h"

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace korvex::mixer {

// The curve picture: the six lines in twips inside the picture, 15 twips to the pixel.
class CurveView : public QWidget {
public:
    // The picture's size in twips.
    static constexpr int kWidthTwips = 2540;
    static constexpr int kHeightTwips = 1200;

    explicit CurveView(QWidget* parent = nullptr);
    void setLines(const CurveLines& lines);
    const CurveLines& lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CurveLines lines_ = kDesignCurve;
};

class ConfigurationWindow : public QDialog {
public:
    // The model must outlive the window; the window reads it now (the dialog's load).
    explicit ConfigurationWindow(Configuration& model, QWidget* parent = nullptr);

    // The controls, by their names in the dialog.
    QSlider* fdSlider(int k) const { return fdSlider_[k]; }
    QRadioButton* patern(int i) const { return patern_[i]; }
    QLineEdit* switchTimeBox() const { return text1_; }
    QPushButton* fdrec() const { return fdrec_; }
    QSlider* gyap() const { return gyap_; }
    QSlider* slsarch() const { return slsarch_; }
    QSlider* strim() const { return strim_; }
    QCheckBox* cueswitch() const { return cueswitch_; }
    QCheckBox* protectLiveDeck() const { return protect_; }
    QCheckBox* fileNameTitles() const { return fileNameTitles_; }
    QCheckBox* autoTrim() const { return autoTrim_; }
    QComboBox* headphones() const { return headphones_; }
    QRadioButton* bit(int i) const { return bit_[i]; }
    QRadioButton* stereo(int i) const { return stereo_[i]; }
    QRadioButton* bitrate(int i) const { return bitrate_[i]; }
    QCheckBox* autorecstart() const { return autorecstart_; }
    QCheckBox* recordMix() const { return recordMix_; }
    QPushButton* startvolcon() const { return startvolcon_; }
    QCheckBox* sampoff() const { return sampoff_; }
    QPushButton* midiButton() const { return midi_; }
    QPushButton* slotButton(int i) const { return command1_[i]; }
    CurveView* curve() const { return curve_; }

    QPushButton* broadcastButton() const { return broadcast_; }
    // Opens the broadcast's settings (the program sets it; the button does nothing without it).
    std::function<void()> onBroadcast;

    // Shows the model's state in every control (without sending it back).
    void showState();

private:
    QWidget* crossfaderFrame();
    QWidget* faderFrame();
    QWidget* gapFrame();
    QWidget* headphonesFrame();
    QWidget* recordingFrame();
    QWidget* broadcastFrame();
    QWidget* samplerFrame();

    Configuration& model_;
    QSlider* fdSlider_[4] = {};
    QRadioButton* patern_[3] = {};
    QLineEdit* text1_ = nullptr;
    QPushButton* fdrec_ = nullptr;
    QSlider* gyap_ = nullptr;
    QSlider* slsarch_ = nullptr;
    QSlider* strim_ = nullptr;
    QCheckBox* cueswitch_ = nullptr;
    QCheckBox* protect_ = nullptr;
    QCheckBox* fileNameTitles_ = nullptr;
    QCheckBox* autoTrim_ = nullptr;
    QPushButton* broadcast_ = nullptr;
    QComboBox* headphones_ = nullptr;
    QRadioButton* bit_[2] = {};
    QRadioButton* stereo_[2] = {};
    QRadioButton* bitrate_[3] = {};
    QCheckBox* autorecstart_ = nullptr;
    QCheckBox* recordMix_ = nullptr;
    QPushButton* startvolcon_ = nullptr;
    QCheckBox* sampoff_ = nullptr;
    QPushButton* midi_ = nullptr;
    QPushButton* command1_[8] = {};
    CurveView* curve_ = nullptr;
    bool patternChosen_ = false;
};

}  // namespace korvex::mixer
