#include "app/startup.h"
#include "app/start_guard.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace korvex::app {
namespace {

using appearance::PanelLayout;
using appearance::PictureCheck;
using appearance::SkinFolders;
using appearance::SkinPictures;
using Claim = SingleInstance::Claim;

// Every bitmap can be loaded; remembers the file names asked for.
class LoggingCheck : public PictureCheck {
public:
    explicit LoggingCheck(std::vector<std::string>& log) : log_(log) {}
    bool canLoad(const QString& path) override {
        log_.push_back("picture " + QFileInfo(path).fileName().toStdString());
        return true;
    }

private:
    std::vector<std::string>& log_;
};

// A process id that belonged to a process which has ended.
pid_t deadPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

TEST(StartupVersion, IsMajorMinorRevisionWithoutLeadingZeros) {
    EXPECT_EQ(versionNumber(u"1.02.030"), QStringLiteral("1.2.30"));
    EXPECT_EQ(versionNumber(u"2"), QStringLiteral("2.0.0"));
    EXPECT_EQ(versionText(), QStringLiteral("Version ") + versionNumber(QStringLiteral(KORVEX_VERSION)));
}

class StartupInstanceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(StartupInstanceTest, SecondCopyIsRefusedWithTheMessageUntilTheFirstEnds) {
    auto first = std::make_unique<SingleInstance>(dir.path());
    ASSERT_EQ(first->claim(), Claim::kFirst);
    SingleInstance second(dir.path());
    EXPECT_EQ(second.claim(), Claim::kAlreadyRunning);
    EXPECT_EQ(second.claim(), Claim::kAlreadyRunning);

    first.reset();
    SingleInstance third(dir.path());
    EXPECT_EQ(third.claim(), Claim::kFirst);
}

TEST_F(StartupInstanceTest, LockLeftByACrashedCopyIsTakenOver) {
    // A lock file as a copy writes it, with the id of a process that has ended since.
    const QString path = dir.filePath(QStringLiteral("probe.lock"));
    QByteArray content;
    {
        QLockFile probe(path);
        ASSERT_TRUE(probe.tryLock(0));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        content = f.readAll();
    }
    const qsizetype eol = content.indexOf('\n');
    ASSERT_GT(eol, 0);
    content.replace(0, eol, QByteArray::number(deadPid()));

    SingleInstance next(dir.path());
    QFile stale(next.lockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(content);
    stale.close();

    EXPECT_EQ(next.claim(), Claim::kFirst);
    SingleInstance another(dir.path());
    EXPECT_EQ(another.claim(), Claim::kAlreadyRunning);
}

TEST_F(StartupInstanceTest, FolderThatCannotHoldTheLockDoesNotRefuseTheStart) {
    QFile file(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance guard(file.fileName() + QStringLiteral("/sub"));
    EXPECT_EQ(guard.claim(), Claim::kUnguarded);
}

// A start-up over a skin folder with one complete skin and every step logged.
class StartupSequenceTest : public ::testing::Test {
protected:
    StartupSequenceTest() {
        hooks.loadsettings = [this] { step("loadsettings"); };
        hooks.loadfonts = [this] { step("loadfonts"); };
        hooks.parkMiniButtons = [this] { step("parkMiniButtons"); };
        hooks.startupChecked = [this] {
            step("startupChecked");
            return startupItemChecked;
        };
        hooks.resetHeadplay = [this] { step("resetHeadplay"); };
    }
    // A hook runs: loading is not complete yet, and the timer must not hand over meanwhile.
    void step(const std::string& name) {
        log.push_back(name);
        ASSERT_NE(current, nullptr);
        EXPECT_FALSE(current->loadcomplete()) << name;
        EXPECT_FALSE(current->timerTick()) << name;
    }
    Startup& startup() {
        if (!startup_) startup_ = std::make_unique<Startup>(instance, pictures, layout, check, hooks);
        current = startup_.get();
        return *startup_;
    }
    // Claims the instance and loads.
    Startup& loaded() {
        EXPECT_TRUE(startup().claimInstance());
        EXPECT_TRUE(startup().load());
        return startup();
    }
    std::size_t at(const std::string& entry) const {
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
    }

    QTemporaryDir lockDir;
    std::vector<std::string> log;
    bool startupItemChecked = false;
    StartupHooks hooks;
    SingleInstance instance{lockDir.path()};
    LoggingCheck check{log};
    SkinPictures pictures{SkinFolders(QStringLiteral("/nonexistent"), QStringLiteral("/skins"), {})};
    PanelLayout layout{pictures, check};
    std::unique_ptr<Startup> startup_;
    Startup* current = nullptr;
};

TEST_F(StartupSequenceTest, LoadsInOrderAndCompletesLast) {
    Startup& s = loaded();
    EXPECT_TRUE(s.loadcomplete());
    EXPECT_EQ(s.versionLabel(), versionText());
    ASSERT_EQ(log.front(), "loadsettings");
    EXPECT_LT(at("loadsettings"), at("picture menu1.bmp"));
    EXPECT_LT(at("picture fdp41.bmp"), at("loadfonts"));
    EXPECT_LT(at("loadfonts"), at("picture sampler2.bmp"));
    EXPECT_LT(at("picture list2.bmp"), at("parkMiniButtons"));
    EXPECT_LT(at("parkMiniButtons"), at("startupChecked"));
    EXPECT_LT(at("startupChecked"), at("resetHeadplay"));
    EXPECT_EQ(log.back(), "resetHeadplay");
    EXPECT_EQ(pictures.skinname(), QStringLiteral("orange"));
    EXPECT_EQ(pictures.bitmap("FDpaturn", 0), QStringLiteral("fdp12.bmp"));
    EXPECT_FALSE(s.startplay());
    EXPECT_FALSE(s.load()) << "loading runs once";
}

// Refuses the paths that end as listed.
class RefusingCheck : public PictureCheck {
public:
    bool canLoad(const QString& path) override {
        for (const QString& end : refused) {
            if (path.endsWith(end)) return false;
        }
        return true;
    }
    QStringList refused;
};

TEST(StartupSkin, SkinThatLoadsOnlyInPartLeavesTheDefaultSkinOnTheRest) {
    QTemporaryDir lockDir;
    SingleInstance instance(lockDir.path());
    RefusingCheck check;
    check.refused = {QStringLiteral("/blue/switch1.bmp")};
    SkinPictures pictures(SkinFolders({}, QStringLiteral("/skins"), {}));
    PanelLayout layout(pictures, check);
    StartupHooks hooks;
    hooks.skinname = [] { return QStringLiteral("blue"); };
    Startup s(instance, pictures, layout, check, hooks);
    ASSERT_TRUE(s.claimInstance());
    ASSERT_TRUE(s.load());
    EXPECT_EQ(pictures.skinname(), QStringLiteral("blue"));
    EXPECT_EQ(pictures.picture("Pause", 1), QStringLiteral("/skins/picture/blue/play1.bmp"));
    EXPECT_EQ(pictures.picture("switch"), QStringLiteral("/skins/picture/orange/switch1.bmp"));
    EXPECT_EQ(pictures.picture("FDpaturn", 3), QStringLiteral("/skins/picture/orange/fdp41.bmp"));
    EXPECT_EQ(pictures.picture("Imgsam"), QStringLiteral("/skins/picture/blue/sampler2.bmp"));
}

TEST_F(StartupSequenceTest, CheckedStartupItemSetsStartplayUntilTaken) {
    startupItemChecked = true;
    Startup& s = loaded();
    EXPECT_TRUE(s.startplay());
    EXPECT_TRUE(s.takeStartplay());
    EXPECT_FALSE(s.startplay());
    EXPECT_FALSE(s.takeStartplay());
}

TEST_F(StartupSequenceTest, SecondCopyLoadsNothingAndNeverHandsOver) {
    SingleInstance running(lockDir.path());
    ASSERT_EQ(running.claim(), Claim::kFirst);
    Startup& s = startup();
    EXPECT_FALSE(s.claimInstance());
    EXPECT_FALSE(s.load());
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(s.timerTick());
    EXPECT_FALSE(s.click());
    EXPECT_FALSE(s.keyPress());
    EXPECT_FALSE(s.handedOver());
}

TEST_F(StartupSequenceTest, TimerClickOrKeyHandsOverOnlyAfterLoadingAndOnlyOnce) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way == 0 ? "timer" : way == 1 ? "click" : "key");
        QTemporaryDir otherLock;
        SingleInstance fresh(otherLock.path());
        Startup s(fresh, pictures, layout, check, hooks);
        current = &s;
        const auto handOver = [&s, way] {
            return way == 0 ? s.timerTick() : way == 1 ? s.click() : s.keyPress();
        };
        EXPECT_FALSE(handOver());
        ASSERT_TRUE(s.claimInstance());
        EXPECT_FALSE(handOver());
        ASSERT_TRUE(s.load());
        EXPECT_TRUE(handOver());
        EXPECT_TRUE(s.handedOver());
        EXPECT_FALSE(s.click());
        EXPECT_FALSE(s.keyPress());
        EXPECT_FALSE(s.timerTick());
    }
}

// A start that dies leaves its marker: the next one sets the saved songs aside and names the one that was
// being opened; that start finishing clears the way for the one after.
TEST(StartGuard, SetsSavedSongsAsideOnlyAfterAStartThatDied) {
    QTemporaryDir dir;
    const QString marker = StartGuard::markerBeside(dir.filePath(QStringLiteral("korvex/korvexp.ini")));
    {
        StartGuard died(marker);
        died.begin();
        EXPECT_FALSE(died.settingAside());
        EXPECT_TRUE(died.mayOpen(QStringLiteral("/music/a.mp3")));
        EXPECT_TRUE(died.mayOpen(QStringLiteral("/music/b.mp3")));
    }
    StartGuard next(marker);
    next.begin();
    ASSERT_TRUE(next.settingAside());
    EXPECT_EQ(next.suspect(), QStringLiteral("/music/b.mp3"));
    EXPECT_FALSE(next.mayOpen(QStringLiteral("/music/a.mp3")));
    EXPECT_FALSE(next.mayOpen(QStringLiteral("/samples/kick.wav")));
    EXPECT_EQ(next.setAside(), (QStringList{"/music/a.mp3", "/samples/kick.wav"}));
    EXPECT_TRUE(next.message().contains(QStringLiteral("/samples/kick.wav")));
    EXPECT_TRUE(next.message().contains(QStringLiteral("/music/b.mp3")));
    next.finish();
    EXPECT_FALSE(QFileInfo::exists(marker));

    StartGuard after(marker);
    after.begin();
    EXPECT_FALSE(after.settingAside());
    EXPECT_TRUE(after.mayOpen(QStringLiteral("/music/a.mp3")));
    EXPECT_TRUE(after.message().isEmpty());
    after.finish();

    StartGuard off{QString()};
    off.begin();
    EXPECT_TRUE(off.mayOpen(QStringLiteral("/music/a.mp3")));
}

}  // namespace
}  // namespace korvex::app
