#pragma once
// The font and skin dialog "SKIN": a modeless window over the FontEditor model. The colour chooser is a
// replaceable function so that tests can answer it.

#include <QColor>
#include <QDialog>
#include <functional>
#include <optional>

#include "appearance/font_editor.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace korvex::appearance {

class FontWindow : public QDialog {
public:
    // The model must outlive the window; the window opens it (heading, skin list).
    explicit FontWindow(FontEditor& model, QWidget* parent = nullptr);

    // Asks for a colour starting from `initial`; nothing when the operator cancels. QColorDialog unless
    // replaced.
    std::function<std::optional<QColor>(const QColor& initial)> chooseColour;

    QRadioButton* areaButton(int area) const { return font_[area]; }
    QListWidget* fontList() const { return list1_; }
    QLineEdit* sizeBox() const { return fontsize1_; }
    QPushButton* fontColourButton() const { return foncolor_; }
    QPushButton* backColourButton() const { return backcolor1_; }
    QPushButton* saveButton() const { return command3_; }
    QPushButton* defaultButton() const { return fontdedalt_; }
    QListWidget* skinList() const { return list2_; }
    QLabel* heading() const { return heading_; }
    QLabel* preview() const { return preview_; }
    QLabel* sizeLabel() const { return sizeLabel_; }
    QLabel* skinLabel() const { return skinLabel_; }

    // Shows the model's state.
    void showState();

private:
    void chooseFontColour();
    void chooseBackColour();

    FontEditor& model_;
    QRadioButton* font_[3] = {};
    QListWidget* list1_ = nullptr;
    QLineEdit* fontsize1_ = nullptr;
    QPushButton* foncolor_ = nullptr;
    QPushButton* backcolor1_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* fontdedalt_ = nullptr;
    QListWidget* list2_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QLabel* skinLabel_ = nullptr;
};

}  // namespace korvex::appearance
