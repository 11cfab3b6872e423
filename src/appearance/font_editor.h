#pragma once
// The font and skin dialog "SKIN" as a model: the three display areas, the font list, the size box, the
// colour buttons, "保存", "デフォルト", the preview and the skin list.
//
// Why it is shaped this way: the dialog edits what the main window shows while it shows it, so it works
// directly on the window's DisplayFonts and asks for a redraw; it keeps only which area is chosen and the
// preview. The skin change runs the program's own operations in a fixed order (`loadskin`, `loadfonts`,
// `layoutpanels`, then the preview), each a hook the application connects, so a test can record the order.
// Questions and messages go through MessageBoxes, the colour chooser and the font list are the window's.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "appearance/font_settings.h"
#include "appearance/skin.h"
#include "base/message_boxes.h"

namespace korvex::appearance {

// The display areas of `Font`(0..2).
enum FontArea : int { kAreaMainDisplay = 0, kAreaSampler = 1, kAreaList = 2 };

// The largest size the size box takes.
inline constexpr int kSizeBoxMax = 50;

// What the preview label (caption "Korvex") shows.
struct FontPreview {
    QString name;
    double size = 15;
    std::uint32_t colour = 0x3CA8FF;
    std::uint32_t background = 0;
    bool operator==(const FontPreview&) const = default;
};

// The program's operations the dialog runs.
struct FontEditorHooks {
    // `loadskin`: loads the current skin's pictures into the main window.
    std::function<void()> loadskin;
    // `loadfonts`: applies the current skin's font.txt to the main window.
    std::function<void()> loadfonts;
    // `layoutpanels`.
    std::function<void()> layoutpanels;
    // The main window draws DisplayFonts again.
    std::function<void()> fontsChanged;
    // Every screen font's name, for the font list.
    std::function<QStringList()> fontFamilies;
};

class FontEditor {
public:
    // `fonts` is what the main window shows; `skinname` the current skin's name (the settings keep it);
    // `folders` where skins live. All must outlive the editor.
    FontEditor(DisplayFonts& fonts, QString& skinname, const SkinFolders& folders,
               base::MessageBoxes& messages, FontEditorHooks hooks);

    // --- what the dialog shows ----------------------------------------------------------------------------
    // The heading: the skin's name and "のフォントの編集".
    QString heading() const;
    // The skin name beside the skin list.
    const QString& skinLabel() const { return skinname_; }
    // `List2`: the skins.
    const QStringList& skins() const { return skins_; }
    // `List1`: the font names (empty until an area is chosen).
    const QStringList& fontNames() const { return fontNames_; }
    // The chosen area, or -1 when none was chosen since the dialog opened.
    int area() const { return area_; }
    // Font list, size box, "Fontカラー", "保存" and "デフォルト" work once an area is chosen.
    bool editEnabled() const { return area_ >= 0; }
    // "Backカラー" works for the song lists only.
    bool backColourEnabled() const { return area_ == kAreaList; }
    const FontPreview& preview() const { return preview_; }
    // The size label beside the preview.
    QString sizeLabel() const;
    // The size box's text.
    const QString& sizeText() const { return sizeText_; }

    // --- events -------------------------------------------------------------------------------------------
    // The dialog opens: heading and skin list.
    void open();
    // `Font`(a) clicked.
    void areaClick(int area);
    // A font name clicked in the font list.
    void fontNameClick(const QString& name);
    // The size box changed to `text`; a number above 50 becomes "50" (sizeText() then says so).
    void sizeChange(const QString& text);
    // A colour chosen through "Fontカラー" / "Backカラー".
    void fontColourChosen(std::uint32_t colour);
    void backColourChosen(std::uint32_t colour);
    // The colour the chooser starts from.
    std::uint32_t fontColour() const { return preview_.colour; }
    std::uint32_t backColour() const { return preview_.background; }
    // "保存": asks, then writes font.txt. True when it was written.
    bool saveClick();
    // "デフォルト": the skin's font.txt again, discarding unsaved changes.
    void defaultClick();
    // A skin clicked in the skin list.
    void skinClick(const QString& name);
    // `labelchange`: the preview and the size label from an area's current font and colours.
    void labelchange(int area);
    // Where "保存" writes font.txt for the current skin.
    QString fontFilePath() const;

private:
    void listMessage();
    void changed();

    DisplayFonts& fonts_;
    QString& skinname_;
    const SkinFolders& folders_;
    base::MessageBoxes& messages_;
    FontEditorHooks hooks_;
    QStringList skins_;
    QStringList fontNames_;
    int area_ = -1;
    FontPreview preview_;
    QString sizeText_;
};

}  // namespace korvex::appearance
