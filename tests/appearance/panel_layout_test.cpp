#include "appearance/panel_layout.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <set>
#include <string>

namespace korvex::appearance {
namespace {

// Every bitmap loads except the named ones.
class NamedCheck : public PictureCheck {
public:
    bool canLoad(const QString& path) override {
        return !missing.count(QFileInfo(path).fileName().toStdString());
    }
    std::set<std::string> missing;
};

class PanelLayoutTest : public ::testing::Test {
protected:
    PanelLayoutTest() {
        pictures.loadskin(QStringLiteral("orange"), 0, check);
        layout.layoutpanels();
    }
    QString bitmap(std::string_view image) const { return pictures.bitmap(image); }

    NamedCheck check;
    SkinPictures pictures{SkinFolders({}, QStringLiteral("/skins"), {})};
    PanelLayout layout{pictures, check};
};

TEST_F(PanelLayoutTest, EachViewHasItsPanelTopsWindowSizeAndButtonLooks) {
    struct Row {
        bool sampler, list;
        int playerTop, height;
        const char* sam;
        const char* listBitmap;
    };
    const Row rows[] = {
        {true, false, 1320, 6480, "sampler2.bmp", "list1.bmp"},
        {true, true, 1320, 8640, "sampler2.bmp", "list2.bmp"},
        {false, true, 300, 7600, "sampler1.bmp", "list2.bmp"},
        {false, false, 300, 5460, "sampler1.bmp", "list1.bmp"},
    };
    for (const Row& r : rows) {
        for (const bool menu : {false, true}) {
            SCOPED_TRACE(::testing::Message() << r.sampler << r.list << menu);
            layout.flags.samplerview = r.sampler;
            layout.flags.listview = r.list;
            layout.flags.menuview = menu;
            ASSERT_TRUE(layout.layoutpanels());
            const PanelGeometry expected{
                r.playerTop, r.playerTop + 5100, 10680, r.height + (menu ? 280 : 0), r.sampler, r.list, menu};
            EXPECT_EQ(layout.geometry(), expected);
            EXPECT_EQ(bitmap("Imgsam"), QString::fromLatin1(r.sam));
            EXPECT_EQ(bitmap("Imglist"), QString::fromLatin1(r.listBitmap));
        }
    }
}

TEST_F(PanelLayoutTest, MenuButtonShowsTheMenuBarWithItsActiveLook) {
    layout.imgmenuClick();
    EXPECT_TRUE(layout.menusShown());
    EXPECT_EQ(bitmap("Imgmenu"), QStringLiteral("menu2.bmp"));

    layout.imgmenuClick();
    EXPECT_FALSE(layout.menusShown());
    EXPECT_EQ(bitmap("Imgmenu"), QStringLiteral("menu1.bmp"));

    // Without its active look the button keeps its picture; the menu bar still follows.
    check.missing = {"menu2.bmp"};
    layout.imgmenuClick();
    EXPECT_TRUE(layout.menusShown());
    EXPECT_EQ(bitmap("Imgmenu"), QStringLiteral("menu1.bmp"));
    EXPECT_EQ(layout.geometry().height, 8920);
}

TEST_F(PanelLayoutTest, SamplerButtonWithoutTheSoundDeviceOnlyReappliesTheLayout) {
    layout.flags.dsready = false;
    layout.flags.listview = false;  // changed elsewhere, not laid out yet
    ASSERT_EQ(layout.geometry().height, 8640);
    layout.imgsamClick();
    EXPECT_TRUE(layout.flags.samplerview);
    EXPECT_EQ(layout.geometry().height, 6480);
    EXPECT_EQ(bitmap("Imglist"), QStringLiteral("list1.bmp"));
}

TEST_F(PanelLayoutTest, MissingButtonBitmapStopsBeforeTheSizesChange) {
    const PanelGeometry before = layout.geometry();
    check.missing = {"list1.bmp"};
    layout.flags.samplerview = false;
    layout.imglistClick();
    EXPECT_FALSE(layout.flags.listview);
    EXPECT_EQ(bitmap("Imgsam"), QStringLiteral("sampler1.bmp")) << "loaded before the failure";
    EXPECT_EQ(bitmap("Imglist"), QStringLiteral("list2.bmp"));
    EXPECT_EQ(layout.geometry(), before);

    check.missing = {"sampler2.bmp"};
    layout.flags.samplerview = true;
    layout.flags.menuview = true;
    EXPECT_FALSE(layout.layoutpanels());
    EXPECT_EQ(bitmap("Imgsam"), QStringLiteral("sampler1.bmp"));
    EXPECT_EQ(bitmap("Imglist"), QStringLiteral("list2.bmp"));
    EXPECT_EQ(layout.geometry(), before);
}

}  // namespace
}  // namespace korvex::appearance
