// font.txt as `loadfonts` applies it, and the font and skin dialog's model.

#include "appearance/font_editor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/text_lines.h"

namespace korvex::appearance {
namespace {

class Messages final : public base::MessageBoxes {
public:
    base::MessageAnswer ask(const QString& text, const QString&, base::MessageButtons,
                                base::MessageIcon) override {
        shown << text;
        return answer;
    }
    void inform(const QString& text, const QString&, base::MessageIcon) override { shown << text; }
    QStringList shown;
    base::MessageAnswer answer = base::MessageAnswer::Yes;
};

const QStringList kSixteen =
    QStringLiteral(
        "20| 21 |8|10|11|Noto Sans|DejaVu Sans|Noto Serif|Noto Sans Mono|Noto Sans CJK JP|"
        "255|65280|16711680|1193046|3355443|4473924")
        .split(u'|');

QByteArray fileOf(const QStringList& lines) {
    return base::encodeLines(lines);
}

TEST(LoadFonts, AWholeFileSetsEveryControlAndAnUnusableLineStopsItKeepingWhatCameBefore) {
    DisplayFonts whole;
    EXPECT_EQ(applyFontFile(fileOf(kSixteen), whole), 16);
    EXPECT_EQ(whole.controls.sizes, (std::array<double, 5>{20, 21, 8, 10, 11}));
    EXPECT_EQ(whole.controls.names[1], QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(whole.controls.colours, (std::array<std::uint32_t, 5>{255, 65280, 16711680, 1193046, 3355443}));
    EXPECT_EQ(whole.controls.listBackground, 4473924u);
    EXPECT_EQ(whole.labelColours, (std::array<std::uint32_t, 2>{255, 255}));
    EXPECT_EQ(whole.totaltimeColours, (std::array<std::uint32_t, 2>{255, 255}));

    const DisplayFonts before;
    {
        // Ten lines: sizes and names, no colours at all (not even the labels').
        DisplayFonts fonts;
        fonts.labelColours = {1, 2};
        fonts.totaltimeColours = {3, 4};
        EXPECT_EQ(applyFontFile(fileOf(kSixteen.mid(0, 10)), fonts), 10);
        EXPECT_EQ(fonts.controls.sizes[4], 11);
        EXPECT_EQ(fonts.controls.names[4], QStringLiteral("Noto Sans CJK JP"));
        EXPECT_EQ(fonts.controls.colours, before.controls.colours);
        EXPECT_EQ(fonts.controls.listBackground, before.controls.listBackground);
        EXPECT_EQ(fonts.labelColours, (std::array<std::uint32_t, 2>{1, 2}));
        EXPECT_EQ(fonts.totaltimeColours, (std::array<std::uint32_t, 2>{3, 4}));
    }
    for (const auto& [line, text] :
         {std::pair{2, "x"}, {0, "0"}, {1, "inf"}, {6, "  "}, {12, "-3"}, {15, "1.5"}}) {
        SCOPED_TRACE(text);
        QStringList lines = kSixteen;
        lines[line] = QString::fromLatin1(text);
        DisplayFonts fonts;
        EXPECT_EQ(applyFontFile(fileOf(lines), fonts), line);
        DisplayFonts expected;
        applyFontFile(fileOf(kSixteen.mid(0, line)), expected);
        EXPECT_EQ(fonts, expected);
    }
    DisplayFonts untouched;
    EXPECT_FALSE(loadfonts(QStringLiteral("/nonexistent/font.txt"), untouched));
    EXPECT_EQ(untouched, before);
}

class FontEditorTest : public ::testing::Test {
protected:
    FontEditorTest() {
        QDir(dir.path()).mkpath(QStringLiteral("shipped/picture/orange"));
        QDir(dir.path()).mkpath(QStringLiteral("shipped/picture/steel"));
        base::writeTextFile(fontPath(), kSixteen);
        loadfonts(fontPath(), fonts);
    }
    QString fontPath() const { return dir.path() + QStringLiteral("/shipped/picture/orange/font.txt"); }
    FontEditor& editor() {
        FontEditorHooks hooks;
        hooks.loadskin = [this] { calls << QStringLiteral("loadskin:") + skinname; };
        hooks.loadfonts = [this] {
            calls << QStringLiteral("loadfonts");
            loadfonts(folders.filePath(skinname, QStringLiteral("font.txt")), fonts);
        };
        hooks.layoutpanels = [this] { calls << QStringLiteral("layoutpanels"); };
        hooks.fontFamilies = [] {
            return QStringList{QStringLiteral("Noto Sans"), QStringLiteral("Noto Serif")};
        };
        model = std::make_unique<FontEditor>(fonts, skinname, folders, messages, std::move(hooks));
        return *model;
    }

    QTemporaryDir dir;
    SkinFolders folders{{}, dir.path() + QStringLiteral("/shipped"), dir.path() + QStringLiteral("/user")};
    DisplayFonts fonts;
    QString skinname = QStringLiteral("orange");
    Messages messages;
    QStringList calls;
    std::unique_ptr<FontEditor> model;
};

TEST_F(FontEditorTest,
       NothingIsEditableUntilAnAreaIsChosenASizeAbove50BecomesFiftyAndTheListsTakeColoursOnly) {
    FontEditor& e = editor();
    EXPECT_EQ(e.heading(), QStringLiteral("orangeのフォントの編集"));
    EXPECT_EQ(e.skins(), (QStringList{QStringLiteral("orange"), QStringLiteral("steel")}));
    EXPECT_FALSE(e.editEnabled());
    EXPECT_TRUE(e.fontNames().isEmpty());
    e.sizeChange(QStringLiteral("30"));
    EXPECT_EQ(fonts.controls.sizes[0], 20);
    e.areaClick(kAreaSampler);
    EXPECT_TRUE(e.editEnabled());
    EXPECT_FALSE(e.backColourEnabled());
    EXPECT_EQ(e.fontNames().size(), 2);
    EXPECT_EQ(e.preview(), (FontPreview{QStringLiteral("Noto Serif"), 8, 16711680, 0}));
    EXPECT_EQ(e.sizeLabel(), QStringLiteral("8"));
    e.areaClick(kAreaList);
    EXPECT_TRUE(e.backColourEnabled());
    EXPECT_EQ(e.preview(), (FontPreview{QStringLiteral("Noto Sans Mono"), 10, 1193046, 4473924}));

    e.areaClick(kAreaMainDisplay);
    e.sizeChange(QStringLiteral("72"));
    EXPECT_EQ(e.sizeText(), QStringLiteral("50"));
    e.areaClick(kAreaSampler);
    e.sizeChange(QStringLiteral("12"));
    EXPECT_EQ(fonts.controls.sizes[2], 12);
    EXPECT_EQ(fonts.controls.sizes[0], 50);
    // The song lists take colours only.
    e.areaClick(kAreaList);
    e.sizeChange(QStringLiteral("14"));
    e.fontNameClick(QStringLiteral("Noto Sans"));
    // A size that is no number is told so as well; in the other areas it changes nothing.
    e.sizeChange(QStringLiteral("1x"));
    EXPECT_EQ(messages.shown,
              QStringList(3, QStringLiteral("リストボックスのフォントの設定はカラー変更のみです。")));
    e.areaClick(kAreaSampler);
    e.sizeChange(QStringLiteral("1x"));
    EXPECT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(fonts.controls.sizes[2], 12);
    EXPECT_EQ(fonts.controls.sizes[3], 10);
    EXPECT_EQ(fonts.controls.names[3], QStringLiteral("Noto Sans Mono"));
}

TEST_F(FontEditorTest, TheLengthLabelsColourLagsUntilDefaultReadsTheSavedFileAgainDroppingUnsavedChanges) {
    FontEditor& e = editor();
    e.areaClick(kAreaMainDisplay);
    e.fontColourChosen(0x123456);
    EXPECT_EQ(fonts.controls.colours[0], 0x123456u);
    EXPECT_EQ(fonts.controls.colours[1], 0x123456u);
    EXPECT_EQ(fonts.labelColours, (std::array<std::uint32_t, 2>{0x123456, 0x123456}));
    EXPECT_EQ(fonts.totaltimeColours, (std::array<std::uint32_t, 2>{255, 255}));
    EXPECT_EQ(e.preview().colour, 0x123456u);
    ASSERT_TRUE(e.saveClick());
    e.sizeChange(QStringLiteral("33"));
    e.fontNameClick(QStringLiteral("Noto Serif"));
    e.defaultClick();
    EXPECT_EQ(fonts.totaltimeColours, (std::array<std::uint32_t, 2>{0x123456, 0x123456}));
    EXPECT_EQ(fonts.controls.sizes[0], 20);
    EXPECT_EQ(fonts.controls.names[0], QStringLiteral("Noto Sans"));
    EXPECT_EQ(e.preview().size, 20);
}

TEST_F(FontEditorTest, SaveAsksThenWritesTheSixteenLinesThatReadBackTheSame) {
    FontEditor& e = editor();
    e.areaClick(kAreaList);
    e.fontColourChosen(0x00AA00);
    e.backColourChosen(0x101010);
    e.areaClick(kAreaSampler);
    e.fontNameClick(QStringLiteral("Noto Sans"));
    e.sizeChange(QStringLiteral("9.5"));
    messages.answer = base::MessageAnswer::No;
    EXPECT_FALSE(e.saveClick());
    EXPECT_EQ(messages.shown.last(),
              QStringLiteral("orangeのフォントの設定を変更しようとしています。本当によろしいですか？"));
    EXPECT_EQ(*base::readTextFile(fontPath()), kSixteen);

    messages.answer = base::MessageAnswer::Yes;
    ASSERT_TRUE(e.saveClick());
    const auto lines = base::readTextFile(fontPath());
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->at(2), QStringLiteral("9.5"));
    EXPECT_EQ(lines->at(7), QStringLiteral("Noto Sans"));
    DisplayFonts back;
    EXPECT_EQ(applyFontFile(fileOf(*lines), back), 16);
    EXPECT_EQ(back.controls, fonts.controls);
}

TEST_F(FontEditorTest, SkinChangeRunsLoadskinLoadfontsLayoutpanelsInOrder) {
    FontEditor& e = editor();
    e.skinClick(QStringLiteral("steel"));
    EXPECT_EQ(skinname, QStringLiteral("steel"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("loadskin:steel"), QStringLiteral("loadfonts"),
                                  QStringLiteral("layoutpanels")}));
    EXPECT_EQ(e.heading(), QStringLiteral("steelのフォントの編集"));
    EXPECT_EQ(e.skinLabel(), QStringLiteral("steel"));
    // The steel skin has no font.txt: the fonts stay as they were.
    EXPECT_EQ(fonts.controls.sizes[0], 20);
    EXPECT_EQ(e.fontFilePath(), dir.path() + QStringLiteral("/shipped/picture/steel/font.txt"));
    // A skin without a folder of its own saves into the user's skins.
    e.skinClick(QStringLiteral("ghost"));
    const QString user = dir.path() + QStringLiteral("/user/picture/ghost/font.txt");
    EXPECT_EQ(e.fontFilePath(), user);
    e.areaClick(kAreaMainDisplay);
    ASSERT_TRUE(e.saveClick());
    EXPECT_EQ(*base::readTextFile(user), fontFileLines(fonts.controls));
}

}  // namespace
}  // namespace korvex::appearance
