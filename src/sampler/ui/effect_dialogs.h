#pragma once
// The seven effect settings dialogs (`frmEcho` .. `frmGargle`): one slider, option pair or check box per
// field of the effect's parameter record. Every change writes the whole record to the effect, so a move is
// heard in the next block the engine renders; "OK" writes it once more and closes the dialog.
//
// Each dialog keeps the slot's buffer and the effect's index, and looks the effect object up on the buffer
// for every write: the chain may be applied again while the dialog is open (another "設定" button), and the
// objects of the old chain are gone then. The buffer itself must outlive the dialog; EffectDialogHost closes
// a buffer's dialogs before the buffer is replaced or released.

#include <QDialog>
#include <QPointer>
#include <vector>

#include "platform/dsp/effect_params.h"
#include "platform/sound_device.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QRadioButton;
class QSlider;

namespace korvex::sampler {

class EffectDialog : public QDialog {
public:
    // Must be called before the dialog is first shown (when it loads).
    void SetBuffer(SoundBuffer* buffer, int index);
    dsp::EffectKind kind() const { return kind_; }
    SoundBuffer* buffer() const { return buffer_; }
    int index() const { return index_; }

    // Reads the effect's record into the controls, each slider at its field rounded to the nearest integer
    // (halves to even), and writes the record back as the controls now hold it. Runs when first shown.
    void load();
    // Fills the whole record from the controls and writes it to the effect.
    void writeRecord();

protected:
    EffectDialog(dsp::EffectKind kind, QWidget* owner);

    // Sets the controls from a record of this dialog's kind.
    virtual void setControls(const dsp::EffectParams& params) = 0;
    // The record the controls describe.
    virtual dsp::EffectParams readControls() const = 0;

    // A slider row: its label, the slider (range, large and small step) and its value. `unitAfter` puts the
    // label after the value instead of before the slider.
    QSlider* addSlider(const char* name, const QString& label, int minimum, int maximum, int largeStep,
                       int smallStep, bool unitAfter = false);
    QCheckBox* addCheck(const char* name, const QString& text);
    // Two options under a heading; returns them in the order given.
    std::pair<QRadioButton*, QRadioButton*> addOptions(const QString& heading, const char* firstName,
                                                       const QString& firstText, const char* secondName,
                                                       const QString& secondText);
    static void setRounded(QSlider* slider, double value);

    void showEvent(QShowEvent* event) override;

private:
    SoundEffect* effect() const;
    void changed();

    dsp::EffectKind kind_;
    SoundBuffer* buffer_ = nullptr;
    int index_ = 0;
    bool loading_ = false;
    bool loaded_ = false;
    QGridLayout* rows_ = nullptr;
};

// Echo: wet/dry, feedback, left and right delay, pan delay.
class frmEcho final : public EffectDialog {
public:
    explicit frmEcho(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
    QSlider* sldWetDry_;
    QSlider* sldFeedback_;
    QSlider* sldLeft_;
    QSlider* sldRight_;
    QCheckBox* chkPan_;
};

// Chorus and flanger share their fields; they differ in ranges and texts.
class ModulationDialog : public EffectDialog {
protected:
    ModulationDialog(dsp::EffectKind kind, QWidget* owner, const QString& depthLabel, int delayMaximum,
                     int delayLargeStep, const QString& triangleText);
    template <class Params>
    void setFields(const Params& p);
    template <class Params>
    Params fields() const;

private:
    QSlider* sldWetDry_;
    QSlider* sldDepth_;
    QSlider* sldFeedback_;
    QSlider* sldFreq_;
    QRadioButton* optSin_;
    QRadioButton* optTriangle_;
    QSlider* sldDelay_;
    QSlider* sldPhase_;
    int loadedWaveform_ = 1;  // kept when the record's waveform selects neither option
};

class frmChorus final : public ModulationDialog {
public:
    explicit frmChorus(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
};

class frmFlanger final : public ModulationDialog {
public:
    explicit frmFlanger(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
};

class frmDistortion final : public EffectDialog {
public:
    explicit frmDistortion(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
    QSlider* sldGain_;
    QSlider* sldEdge_;
    QSlider* sldPostEQCenter_;
    QSlider* sldPostEQBand_;
    QSlider* sldPreLow_;
};

class frmCompressor final : public EffectDialog {
public:
    explicit frmCompressor(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
    QSlider* sldOutputGain_;
    QSlider* sldAttack_;
    QSlider* sldRelease_;
    QSlider* sldThreshold_;
    QSlider* sldRatio_;
    QSlider* sldDelay_;
};

class frmParamEQ final : public EffectDialog {
public:
    explicit frmParamEQ(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
    QSlider* sldCenter_;
    QSlider* sldBand_;
    QSlider* sldGain_;
};

class frmGargle final : public EffectDialog {
public:
    explicit frmGargle(QWidget* owner);

private:
    void setControls(const dsp::EffectParams& params) override;
    dsp::EffectParams readControls() const override;
    QSlider* sldRate_;
    QRadioButton* optSquare_;
    QRadioButton* optTriangle_;
    int loadedShape_ = 0;  // kept when the record's shape selects neither option
};

// A new, not yet shown dialog for an effect kind, owned by `owner` (it deletes itself when closed).
EffectDialog* createEffectDialog(dsp::EffectKind kind, QWidget* owner);

// Opens the settings dialogs for `openfxdialog` and keeps track of them, so that a buffer's dialogs can be
// closed before the buffer goes away.
class EffectDialogHost {
public:
    explicit EffectDialogHost(QWidget* owner) : owner_(owner) {}

    // A new dialog of `kind` on `buffer` (effect index 0), shown modeless with the owner as its owner.
    EffectDialog* open(dsp::EffectKind kind, SoundBuffer& buffer);
    // Closes every open dialog that works on `buffer` (call before the buffer is replaced or released).
    void closeDialogsOn(const SoundBuffer* buffer);
    // Closes every open dialog (`unloadothers`).
    void closeAll();
    // The dialogs still open, oldest first.
    std::vector<EffectDialog*> openDialogs() const;

private:
    QWidget* owner_;
    std::vector<QPointer<EffectDialog>> dialogs_;
};

}  // namespace korvex::sampler
