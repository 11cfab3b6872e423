// The mini bar and the minimised caption: entering and leaving, the four mini buttons on `livedeck`, and
// the main timer's step for them.

#include "control/mini_mode.h"

#include <gtest/gtest.h>

#include "control/list_editor.h"
#include "mixer/knob_geometry.h"
#include "mixer/mixer_fakes.h"

namespace korvex::control {
namespace {

using namespace appearance;

class AllLoad final : public PictureCheck {
public:
    bool canLoad(const QString&) override { return true; }
};

class MiniModeTest : public ::testing::Test {
protected:
    MiniModeTest() {
        pictures.loadskin(QStringLiteral("orange"), 0, check);
        layout.layoutpanels();
        rig.hooks.setMinimumdisplay([this] { return mini.minimumdisplay(); });
    }
    // Two songs in each list, the first of each loaded.
    void fillLists() {
        for (int deck = 0; deck < 2; ++deck) {
            songlist::SongList& l = rig.transport.list(deck);
            const QString side = deck == 0 ? QStringLiteral("a") : QStringLiteral("b");
            for (int i = 1; i <= 2; ++i)
                l.append(QStringLiteral("/music/%1%2.mp3").arg(side).arg(i),
                         QStringLiteral("%1%2.mp3").arg(side).arg(i), 20);
            l.select(0);
            rig.transport.loadsong(deck);
        }
    }

    mixer::testing::MixerRig rig;
    control::ListEditor editor{rig.transport};
    AllLoad check;
    SkinPictures pictures{SkinFolders({}, QStringLiteral("/skins"), {})};
    PanelLayout layout{pictures, check};
    MiniMode mini{rig.transport, editor, rig.mixer, layout, QStringLiteral("1.2.3")};
};

// The sizes, the buttons' place and the bar time are checked through the real window.
TEST_F(MiniModeTest, TheBarShowsTheSongAndOnlyFormtobigInTheBarRestores) {
    rig.transport.view(0).lbfilename = QStringLiteral("song.mp3");
    const auto revision = mini.revision();
    const PanelGeometry geometry = layout.geometry();
    mini.formtobig();
    EXPECT_EQ(mini.revision(), revision);
    EXPECT_EQ(mini.topbar(), QStringLiteral("Ver.1.2.3"));
    EXPECT_EQ(mini.miniButtonsTop(), kMiniButtonsParkedTop);
    EXPECT_EQ(layout.geometry(), geometry);

    layout.imgmenuClick();
    mini.tobarClick();
    EXPECT_TRUE(mini.miniflag());
    EXPECT_FALSE(layout.flags.menuview) << "the menus are hidden";
    EXPECT_EQ(pictures.bitmap("Imgmenu"), QStringLiteral("menu1.bmp"));
    EXPECT_EQ(mini.topbar(), QStringLiteral("song.mp3"));
    // Restored from the taskbar, the player stays in the bar.
    mini.minimumClick();
    EXPECT_TRUE(mini.restored());
    EXPECT_TRUE(mini.miniflag());
    EXPECT_EQ(mini.windowHeight(), 310);

    mini.formtobig();
    EXPECT_FALSE(mini.miniflag());
    EXPECT_EQ(mini.windowHeight(), 8640);
    EXPECT_EQ(mini.topbar(), QStringLiteral("Ver.1.2.3"));
}

TEST_F(MiniModeTest, MininextPlaysTheOtherDeckCentredAndASecondGoesBack) {
    fillLists();
    rig.transport.PLAYBTNON(0);
    ASSERT_EQ(rig.playerA.state, 2);
    ASSERT_EQ(rig.transport.livedeck(), 0);
    rig.mixer.faderKnob().setLeft(mixer::kFaderCentre - 1500);
    mini.tobarClick();

    mini.mininextClick();
    EXPECT_EQ(rig.transport.livedeck(), 1);
    EXPECT_EQ(rig.playerB.state, 2);
    EXPECT_EQ(rig.mixer.faderKnob().left(), mixer::kFaderCentre);
    // Deck A went on to its next song and waits there.
    EXPECT_EQ(rig.transport.list(0).current(), 1);
    EXPECT_NE(rig.playerA.state, 2);
    EXPECT_FALSE(rig.transport.record(1).freshload);

    rig.mixer.faderKnob().setLeft(mixer::kFaderCentre + 900);
    mini.mininextClick();
    EXPECT_EQ(rig.transport.livedeck(), 0);
    EXPECT_EQ(rig.playerA.state, 2);
    EXPECT_EQ(rig.playerA.file, "/music/a2.mp3");
    EXPECT_EQ(rig.transport.list(1).current(), 1);
    EXPECT_EQ(rig.mixer.faderKnob().left(), mixer::kFaderCentre);
}

TEST_F(MiniModeTest, MiniprevStopsTheLiveDeckAndPlaysTheOthersPreviousSong) {
    fillLists();
    rig.transport.list(1).select(1);
    rig.transport.loadsong(1);
    rig.transport.PLAYBTNON(0);
    rig.playerA.position = 30.0;
    mini.miniprevClick();
    EXPECT_EQ(rig.playerA.state, 0);
    EXPECT_EQ(rig.playerA.position, 0.0);
    EXPECT_EQ(rig.transport.livedeck(), 1);
    EXPECT_EQ(rig.transport.list(1).current(), 0);
    EXPECT_EQ(rig.playerB.state, 2);
    EXPECT_EQ(rig.playerB.file, "/music/b1.mp3");
}

TEST_F(MiniModeTest, MiniplayAndMinistopActOnTheLiveDeck) {
    fillLists();
    rig.transport.setLivedeck(1);
    mini.miniplayClick();
    EXPECT_EQ(rig.playerB.state, 2);
    EXPECT_FALSE(rig.transport.record(1).freshload);
    rig.transport.view(1).lbfilename = QStringLiteral("b1.mp3");
    mini.ministopClick();
    EXPECT_EQ(mini.topbar(), QStringLiteral("b1.mp3"));
    EXPECT_EQ(rig.playerB.state, 0);
    EXPECT_TRUE(rig.transport.record(1).freshload);
    EXPECT_EQ(rig.playerA.state, 0);
}

TEST_F(MiniModeTest, TheTopBarScrollsATitleWhoseDotIsItsFifteenthCharacter) {
    songlist::SongList& l = rig.transport.list(0);
    const QString title = QStringLiteral("abcdefghijklmn.mp3");
    ASSERT_EQ(title.indexOf(QLatin1Char('.')), 14);
    l.append(QStringLiteral("/music/") + title, title, 20);
    l.select(0);
    mini.tobarClick();
    for (int round = 0; round < 2; ++round) {
        for (int start = 1; start <= 6; ++start) {
            for (int tick = 0; tick < 10; ++tick) {
                rig.timer.tick();
                ASSERT_EQ(mini.topbar(), title.mid(start - 1, 13)) << "start " << start << " tick " << tick;
            }
        }
    }
}

TEST_F(MiniModeTest, MinimisedTheCaptionShowsTimeAndTitleAndTheRestOfTheTickIsSkipped) {
    fillLists();
    rig.transport.PLAYBTNON(0);
    mini.minimumClick();
    rig.playerA.position = 65.7;
    const bool searchtick = rig.timer.searchtick();
    rig.timer.tick();
    EXPECT_EQ(mini.caption(), QStringLiteral("01:05  a1.mp3"));
    EXPECT_TRUE(mini.bartime().isEmpty()) << "the bar time belongs to the mini bar";
    EXPECT_EQ(rig.timer.searchtick(), searchtick) << "the search step did not run";

    EXPECT_TRUE(mini.restored());
    EXPECT_FALSE(mini.restored());
    rig.timer.tick();
    EXPECT_NE(rig.timer.searchtick(), searchtick) << "the search step runs again";
}

}  // namespace
}  // namespace korvex::control
