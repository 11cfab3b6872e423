#include "appearance/skin.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <set>
#include <string>
#include <vector>

#include "appearance/layout_table.h"

namespace korvex::appearance {
namespace {

// Loads what exists as a file, except names listed as unreadable; counts the questions.
class FileCheck : public PictureCheck {
public:
    bool canLoad(const QString& path) override {
        ++calls;
        const QFileInfo info(path);
        return info.isFile() && !unreadable.count(info.fileName().toStdString());
    }
    int calls = 0;
    std::set<std::string> unreadable;
};

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// A skin folder with every bitmap of both windows except `without`.
void makeSkin(const QString& folder, const std::set<std::string>& without = {}) {
    QDir().mkpath(folder);
    for (const LayoutEntry& e : kLayout) {
        if (e.look == Look::kNone) continue;
        for (const bool pressed : {false, true}) {
            const std::string file = bitmapFile(e, pressed);
            if (!without.count(file)) touch(folder + QLatin1Char('/') + QString::fromStdString(file));
        }
    }
}

struct Image {
    std::string_view name;
    int index;
};

// The images a skin reaches before the switch's bitmap, and those after it.
const std::vector<Image> kBeforeSwitch = {
    {"Imgmenu", -1}, {"Imgrec", -1}, {"Imgadd", 0},  {"Imgdwn", 1},  {"ImgtoA", -1}, {"Formend", -1},
    {"Minimum", -1}, {"Tobar", -1},  {"searchL", 1}, {"searchR", 0}, {"Stop", 1},    {"SongNext", 0},
    {"SongPre", 1},  {"Play", 0},    {"Play", 1},    {"Pause", 0},   {"Pause", 1},
};
const std::vector<Image> kFromSwitch = {
    {"switch", -1},    {"Lvol", -1},     {"volR", -1},     {"center", -1},   {"miniplay", -1},
    {"mininext", -1},  {"Image1", -1},   {"Picture4", -1}, {"Picture5", -1}, {"Picture8", -1},
    {"jogbtn", 0},     {"pitchbtn", 1},  {"Volbtn", 0},    {"Faderbtn", -1}, {"panbtn", 1},
    {"Imgmonitor", 0}, {"masterbtn", 1}, {"FDpaturn", 0},  {"FDpaturn", 3},
};

class SkinTest : public ::testing::Test {
protected:
    QString shipped(const char* skin) const { return root.filePath(QStringLiteral("share/picture/") + skin); }
    QString user(const char* skin) const { return root.filePath(QStringLiteral("user/picture/") + skin); }
    SkinFolders folders() const {
        return SkinFolders(root.filePath(QStringLiteral("bin")), root.filePath(QStringLiteral("share")),
                           root.filePath(QStringLiteral("user")));
    }
    // Whether an image's picture comes from `folder`.
    static bool from(const SkinPictures& p, const Image& i, const QString& folder) {
        return QFileInfo(p.picture(i.name, i.index)).absolutePath() == folder;
    }

    QTemporaryDir root;
    FileCheck check;
};

TEST_F(SkinTest, ListsEverySkinOnceSortedIgnoringCaseAndOnlyThoseBesideTheExecutableWhenThatFolderExists) {
    QDir().mkpath(shipped("steel"));
    QDir().mkpath(shipped("Orange"));
    QDir().mkpath(shipped(".cache"));
    touch(shipped("readme.txt"));
    QDir().mkpath(user("steel"));
    QDir().mkpath(user("aqua"));
    EXPECT_EQ(folders().skinNames(),
              (QStringList{QStringLiteral("aqua"), QStringLiteral("Orange"), QStringLiteral("steel")}));
    // An empty picture folder beside the executable: the installed skins are not looked at, the user's are.
    QDir().mkpath(root.filePath(QStringLiteral("bin/picture")));
    EXPECT_EQ(folders().skinNames(), (QStringList{QStringLiteral("aqua"), QStringLiteral("steel")}));
    EXPECT_EQ(folders().shippedRoot(), root.filePath(QStringLiteral("bin/picture")));
}

TEST_F(SkinTest, UserSkinWinsOverTheInstalledOneFileByFile) {
    makeSkin(shipped("orange"));
    touch(user("orange/switch1.bmp"));
    touch(user("orange/font.txt"));
    const SkinFolders f = folders();
    EXPECT_EQ(f.filePath(QStringLiteral("orange"), QStringLiteral("switch1.bmp")),
              user("orange/switch1.bmp"));
    // A user copy holding only some files still shows the installed skin's other bitmaps.
    EXPECT_EQ(f.filePath(QStringLiteral("orange"), QStringLiteral("cue1.bmp")), shipped("orange/cue1.bmp"));
    SkinPictures p(f);
    EXPECT_TRUE(p.loadskin(QStringLiteral("orange"), 0, check));
    EXPECT_TRUE(from(p, {"switch", -1}, user("orange")));
    EXPECT_TRUE(from(p, {"center", -1}, shipped("orange")));
}

TEST_F(SkinTest, FontChangesOfAReadOnlySkinGoToTheUsersCopy) {
    if (geteuid() == 0) GTEST_SKIP() << "every folder is writable for root";
    makeSkin(shipped("orange"));
    QFile::setPermissions(shipped("orange"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(folders().writablePath(QStringLiteral("orange"), QStringLiteral("font.txt")),
              user("orange/font.txt"));
    QFile::setPermissions(shipped("orange"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(SkinTest, SkinNamesThatLeaveTheSkinsFolderLoadNothing) {
    makeSkin(shipped("orange"));
    makeSkin(root.filePath(QStringLiteral("share/elsewhere")));
    SkinPictures p(folders());
    ASSERT_TRUE(p.loadskin(QStringLiteral("orange"), 0, check));
    const QString before = p.picture("Imgmenu");
    for (const QString& name : {QStringLiteral("../elsewhere"), QStringLiteral(".."), QStringLiteral(""),
                                QStringLiteral("orange/../../elsewhere")}) {
        EXPECT_TRUE(folders().filePath(name, QStringLiteral("menu1.bmp")).isEmpty()) << name.toStdString();
        EXPECT_FALSE(p.loadskin(name, 0, check));
        EXPECT_EQ(p.picture("Imgmenu"), before);
        EXPECT_TRUE(p.pictureFor(QStringLiteral("menu2.bmp")).isEmpty());
    }
}

TEST_F(SkinTest, SkinLackingTheSwitchBitmapLeavesTheRestWithThePreviousSkinUntilChosenAgain) {
    makeSkin(shipped("steel"));
    makeSkin(shipped("orange"), {"switch1.bmp"});
    SkinPictures p(folders());
    ASSERT_TRUE(p.loadskin(QStringLiteral("steel"), 0, check));

    EXPECT_FALSE(p.loadskin(QStringLiteral("orange"), 0, check));
    for (const Image& i : kBeforeSwitch) {
        EXPECT_TRUE(from(p, i, shipped("orange"))) << i.name << " " << i.index;
    }
    for (const Image& i : kFromSwitch) {
        EXPECT_TRUE(from(p, i, shipped("steel"))) << i.name << " " << i.index;
    }
    // The skin is current all the same: pressed looks come from it.
    EXPECT_EQ(p.skinname(), QStringLiteral("orange"));
    EXPECT_EQ(p.pictureFor(QStringLiteral("cue2.bmp")), shipped("orange/cue2.bmp"));

    // Choosing the current skin again reloads it in full.
    touch(shipped("orange/switch1.bmp"));
    EXPECT_TRUE(p.loadskin(QStringLiteral("orange"), 0, check));
    for (const ImagePicture& i : p.images()) {
        if (i.name == "Imgsam" || i.name == "Imglist") continue;
        EXPECT_EQ(QFileInfo(i.path).absolutePath(), shipped("orange")) << i.name << i.index;
    }
    // Again, with nothing changed: every bitmap is loaded once more.
    check.calls = 0;
    EXPECT_TRUE(p.loadskin(QStringLiteral("orange"), 1, check));
    EXPECT_EQ(check.calls, static_cast<int>(p.images().size()) - 2);
    EXPECT_EQ(p.bitmap("FDpaturn", 0), QStringLiteral("fdp11.bmp"));
    EXPECT_EQ(p.bitmap("FDpaturn", 1), QStringLiteral("fdp22.bmp"));
}

TEST_F(SkinTest, FailureBetweenTheTwoDecksListButtonsStopsBeforeDeckB) {
    makeSkin(shipped("steel"));
    makeSkin(shipped("orange"));
    SkinPictures p(folders());
    ASSERT_TRUE(p.loadskin(QStringLiteral("steel"), 0, check));
    check.unreadable = {"tob1.bmp"};  // present but not a picture
    EXPECT_FALSE(p.loadskin(QStringLiteral("orange"), 0, check));
    EXPECT_TRUE(from(p, {"Imgdwn", 0}, shipped("orange")));
    EXPECT_TRUE(from(p, {"ImgtoB", -1}, shipped("steel")));
    EXPECT_TRUE(from(p, {"Imgadd", 1}, shipped("steel")));
}

TEST_F(SkinTest, RecorderPicturesAreItsIdleLooksUpToTheFirstMissingOne) {
    makeSkin(shipped("orange"), {"save1.bmp"});
    SkinPictures p(folders());
    const std::vector<ImagePicture> r = p.recorderPictures(check);
    ASSERT_EQ(r.size(), 3U);
    EXPECT_EQ(r[0].name, "Picture1");
    EXPECT_EQ(r[0].bitmap, QStringLiteral("recorderbase.bmp"));
    EXPECT_EQ(r[1].bitmap, QStringLiteral("recstart1.bmp"));
    EXPECT_EQ(r[2].name, "cmdstop");
    EXPECT_EQ(r[2].path, shipped("orange/stop1.bmp"));
}

}  // namespace
}  // namespace korvex::appearance
