#include "appearance/font_editor.h"

namespace korvex::appearance {

FontEditor::FontEditor(DisplayFonts& fonts, QString& skinname, const SkinFolders& folders,
                       base::MessageBoxes& messages, FontEditorHooks hooks)
    : fonts_(fonts), skinname_(skinname), folders_(folders), messages_(messages), hooks_(std::move(hooks)) {
    open();
}

QString FontEditor::heading() const {
    return skinname_ + QStringLiteral("のフォントの編集");
}

QString FontEditor::sizeLabel() const {
    return QString::number(preview_.size);
}

void FontEditor::open() {
    area_ = -1;
    skins_ = folders_.skinNames();
    // Before an area is chosen the preview shows the deck displays' font.
    labelchange(kAreaMainDisplay);
}

void FontEditor::areaClick(int area) {
    if (area < kAreaMainDisplay || area > kAreaList) return;
    labelchange(area);
    if (area_ < 0 && fontNames_.isEmpty() && hooks_.fontFamilies) fontNames_ = hooks_.fontFamilies();
    area_ = area;
}

void FontEditor::labelchange(int area) {
    const FontSettings& c = fonts_.controls;
    switch (area) {
        case kAreaSampler:
            preview_ = {c.names[2], c.sizes[2], c.colours[2], 0};
            break;
        case kAreaList:
            preview_ = {c.names[3], c.sizes[3], c.colours[3], c.listBackground};
            break;
        default:
            preview_ = {c.names[0], c.sizes[0], c.colours[0], 0};
            break;
    }
    sizeText_ = QString::number(preview_.size);
}

void FontEditor::listMessage() {
    messages_.inform(QStringLiteral("リストボックスのフォントの設定はカラー変更のみです。"), QString(),
                     base::MessageIcon::None);
}

void FontEditor::changed() {
    if (hooks_.fontsChanged) hooks_.fontsChanged();
}

void FontEditor::fontNameClick(const QString& name) {
    if (area_ < 0 || name.isEmpty()) return;
    preview_.name = name;
    FontSettings& c = fonts_.controls;
    if (area_ == kAreaMainDisplay) {
        c.names[0] = c.names[1] = name;
    } else if (area_ == kAreaSampler) {
        c.names[2] = name;
    } else {
        listMessage();
        return;
    }
    changed();
}

void FontEditor::sizeChange(const QString& text) {
    sizeText_ = text;
    if (area_ < 0) return;
    // The song lists' size is not set here: whatever is typed for them, a number or not, the box says so.
    if (area_ == kAreaList) listMessage();
    bool ok = false;
    double size = text.trimmed().toDouble(&ok);
    if (!ok || !(size > 0.0)) return;
    if (size > kSizeBoxMax) {
        size = kSizeBoxMax;
        sizeText_ = QString::number(kSizeBoxMax);
    }
    FontSettings& c = fonts_.controls;
    if (area_ == kAreaMainDisplay) {
        c.sizes[0] = c.sizes[1] = size;
    } else if (area_ == kAreaSampler) {
        c.sizes[2] = size;
    }
    preview_.size = size;
    changed();
}

void FontEditor::fontColourChosen(std::uint32_t colour) {
    if (area_ < 0) return;
    FontSettings& c = fonts_.controls;
    if (area_ == kAreaMainDisplay) {
        // The length labels keep theirs until the fonts are loaded again.
        c.colours[0] = c.colours[1] = colour;
        fonts_.labelColours = {colour, colour};
    } else if (area_ == kAreaSampler) {
        c.colours[2] = colour;
    } else {
        c.colours[3] = c.colours[4] = colour;
    }
    preview_.colour = colour;
    changed();
}

void FontEditor::backColourChosen(std::uint32_t colour) {
    if (area_ != kAreaList) return;
    fonts_.controls.listBackground = colour;
    preview_.background = colour;
    changed();
}

QString FontEditor::fontFilePath() const {
    return folders_.writablePath(skinname_, QStringLiteral("font.txt"));
}

bool FontEditor::saveClick() {
    if (area_ < 0) return false;
    const auto answer = messages_.ask(
        skinname_ + QStringLiteral("のフォントの設定を変更しようとしています。本当によろしいですか？"),
        QString(), base::MessageButtons::YesNo, base::MessageIcon::Question);
    if (answer != base::MessageAnswer::Yes) return false;
    if (writeFontFile(fontFilePath(), fonts_.controls)) return true;
    // Saying nothing would let the operator believe the fonts were kept.
    messages_.inform(QStringLiteral("font.txtを保存できませんでした。"), QString(),
                     base::MessageIcon::Warning);
    return false;
}

void FontEditor::defaultClick() {
    if (area_ < 0) return;
    if (hooks_.loadfonts) hooks_.loadfonts();
    labelchange(area_);
}

void FontEditor::skinClick(const QString& name) {
    if (!SkinFolders::isValidName(name)) return;
    skinname_ = name;
    if (hooks_.loadskin) hooks_.loadskin();
    if (hooks_.loadfonts) hooks_.loadfonts();
    if (hooks_.layoutpanels) hooks_.layoutpanels();
    labelchange(area_ < 0 ? kAreaMainDisplay : area_);
}

}  // namespace korvex::appearance
