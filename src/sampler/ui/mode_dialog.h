#pragma once
// The mode dialog ("モード選択"): under the heading "MODE SELECT", two clickable captions choose how a wave
// file goes into its slot, "SAMPLER MODE" (tempo and 3D) or "EFFECTER MODE" (effects and 3D). A click
// reports the mode and closes the dialog; closing it otherwise loads nothing.

#include <QDialog>
#include <QLabel>
#include <functional>

namespace korvex::sampler {

class ModeDialog final : public QDialog {
public:
    explicit ModeDialog(QWidget* parent = nullptr);

    // A caption was clicked: 0 for "SAMPLER MODE", 1 for "EFFECTER MODE". The dialog closes afterwards.
    std::function<void(int mode)> onMode;

    QLabel* samplerLabel() const { return sampler_; }
    QLabel* effecterLabel() const { return effecter_; }
    // Clicks a caption as the mouse would.
    void choose(int mode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* sampler_ = nullptr;
    QLabel* effecter_ = nullptr;
};

}  // namespace korvex::sampler
