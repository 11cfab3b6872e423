// The configuration dialog's model: the pattern store, the switch time's checks, the curve lines, the
// recording options, the sampler switch, and the desktop volume mixer its button starts.

#include "mixer/configuration.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <tuple>

#include "platform/os/volume_mixer.h"

namespace korvex::mixer {
namespace {

class Messages final : public base::MessageBoxes {
public:
    base::MessageAnswer ask(const QString& text, const QString&, base::MessageButtons,
                                base::MessageIcon) override {
        shown << text;
        return base::MessageAnswer::Ok;
    }
    void inform(const QString& text, const QString&, base::MessageIcon) override { shown << text; }
    QStringList shown;
};

class ConfigurationTest : public ::testing::Test {
protected:
    Configuration& open() {
        ConfigurationHooks hooks;
        hooks.layoutpanels = [this] { ++layouts; };
        hooks.initsound = [this] {
            ++initsounds;
            if (deviceAvailable) dsready = true;
        };
        model = std::make_unique<Configuration>(
            ConfigurationTargets{deck, mixer, newtrim, samplerenabled, samplerview, dsready}, messages,
            std::move(hooks));
        return *model;
    }

    deck::DeckSettings deck;
    MixerSettings mixer;
    int newtrim = 20;
    bool samplerenabled = true;
    bool samplerview = true;
    bool dsready = false;
    bool deviceAvailable = false;
    int layouts = 0, initsounds = 0;
    Messages messages;
    std::unique_ptr<Configuration> model;
};

TEST_F(ConfigurationTest, StoreWithoutChoosingAPatternKeepsTheDesignSlidersAndShownTimeInPatternA) {
    deck.switchtime = {37, 60, 70};
    mixer.fadertable = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Configuration& c = open();
    EXPECT_EQ(c.pattern(), 0);
    EXPECT_EQ(c.switchText(), QStringLiteral(" 37"));
    // The sliders keep their design values until a pattern is chosen.
    EXPECT_EQ(c.sliders(), (std::array<int, 4>{500, 500, 0, 0}));
    EXPECT_EQ(c.curve(), kDesignCurve);
    c.fdrecClick();
    EXPECT_EQ(mixer.fadertable, (FaderTable{500, 2, 3, 500, 5, 6, 0, 8, 9, 0, 11, 12}));
    EXPECT_EQ(deck.switchtime, (std::array<int, 3>{37, 60, 70}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ConfigurationTest, ChoosingAPatternLoadsItsPointsAndTimeAndStoresIntoIt) {
    deck.switchtime = {50, 80, 50};
    mixer.fadertable = {500, 100, 0, 500, 200, 0, 0, 300, 500, 0, 400, 500};
    Configuration& c = open();
    c.paternClick(1);
    EXPECT_EQ(c.sliders(), (std::array<int, 4>{100, 200, 300, 400}));
    EXPECT_EQ(c.switchText(), QStringLiteral(" 80"));
    // Every line follows the four sliders; the fixed ends and the heights stay.
    EXPECT_EQ(c.curve()[3], (CurveLine{267, 480, 467, 480}));
    EXPECT_EQ(c.curve()[4], (CurveLine{467, 480, 1667, 840}));
    EXPECT_EQ(c.curve()[5], (CurveLine{1667, 840, 2300, 840}));
    EXPECT_EQ(c.curve()[2], (CurveLine{240, 840, 867, 840}));
    EXPECT_EQ(c.curve()[0], (CurveLine{867, 840, 2067, 480}));
    EXPECT_EQ(c.curve()[1], (CurveLine{2067, 480, 2280, 480}));
    c.sliderChange(0, 150);
    c.switchTextChange(QStringLiteral("120"));
    c.fdrecClick();
    EXPECT_EQ(mixer.fadertable[1], 150);
    EXPECT_EQ(mixer.fadertable[4], 200);
    EXPECT_EQ(deck.switchtime[1], 120);
    EXPECT_EQ(deck.switchtime[0], 50);

    // Opening the dialog again drops an edit that was not stored.
    c.sliderChange(2, 77);
    c.load();
    EXPECT_EQ(c.pattern(), 0);
    EXPECT_EQ(c.sliders(), kDesignSliders);
    EXPECT_EQ(c.curve(), kDesignCurve);
    EXPECT_EQ(mixer.fadertable[7], 300);
}

TEST_F(ConfigurationTest, AnInvalidSwitchTimeSaysSoAndStores100) {
    Configuration& c = open();
    for (const char* text : {"0", "abc", "", "-5", "32768", "40000", "0.4", "nan"}) {
        SCOPED_TRACE(text);
        messages.shown.clear();
        deck.switchtime[0] = 50;
        c.switchTextChange(QString::fromLatin1(text));
        c.fdrecClick();
        EXPECT_EQ(messages.shown, QStringList{QStringLiteral("値が不正です。")});
        EXPECT_EQ(deck.switchtime[0], 100);
        EXPECT_EQ(c.switchText(), QStringLiteral(" 100"));
    }
    messages.shown.clear();
    for (const auto& [text, stored] :
         {std::pair{"32767", 32767}, {" 700 ", 700}, {"2.5", 2}, {"3.5", 4}, {"1", 1}}) {
        c.switchTextChange(QString::fromLatin1(text));
        c.fdrecClick();
        EXPECT_EQ(deck.switchtime[0], stored) << text;
    }
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ConfigurationTest, ControlsWriteTheirSettingsAtOnceAndTheRecordingOptionsAreSelectedOnReopening) {
    using Source = deck::DeckSettings::RecordSource;
    const auto values = [this] { return std::tuple(deck.gapticks, deck.headinterval, newtrim); };
    // The recording options as the dialog numbers them, and the settings they write.
    const auto options = [this] {
        const Configuration& c = open();
        return std::tuple(c.bitrateOption(), c.bitOption(), c.stereoOption(), c.recordMix());
    };
    const auto format = [this] {
        return std::tuple(deck.recrate, deck.rec8bit, deck.recmono, deck.recsource);
    };
    Configuration& c = open();
    c.gapChange(35);
    c.headIntervalChange(7);
    c.trimChange(12);
    EXPECT_EQ(values(), std::tuple(35, 7, 12));
    // Held to the sliders' ranges.
    c.gapChange(500);
    c.headIntervalChange(-1);
    c.trimChange(41);
    EXPECT_EQ(values(), std::tuple(100, 0, 40));

    // The player's own mix is what REC records unless the input is chosen.
    EXPECT_EQ(options(), std::tuple(2, 1, 1, true));
    model->bitrateClick(0);  // "11,025kHz"
    model->bitClick(0);
    model->stereoClick(0);
    model->recordMixClick(false);
    EXPECT_EQ(format(), std::tuple(2, true, true, Source::Input));
    EXPECT_EQ(options(), std::tuple(0, 0, 0, false));
    model->bitrateClick(1);
    model->bitClick(1);
    model->stereoClick(1);
    model->recordMixClick(true);
    EXPECT_EQ(format(), std::tuple(1, false, false, Source::Mix));
    EXPECT_EQ(options(), std::tuple(1, 1, 1, true));
}

TEST_F(ConfigurationTest, SamplerSwitchHidesTheStripAndOnBringsItBackWhenADeviceCanBeHad) {
    samplerenabled = false;
    samplerview = false;
    Configuration& c = open();
    EXPECT_TRUE(c.samplerOff());
    // No device can be had: the sampler is on for the next start, the strip stays hidden.
    c.sampoffClick(false);
    EXPECT_TRUE(samplerenabled);
    EXPECT_FALSE(samplerview);
    EXPECT_EQ(initsounds, 1);
    EXPECT_EQ(layouts, 0);
    c.sampoffClick(true);
    EXPECT_FALSE(samplerenabled || samplerview);
    EXPECT_EQ(layouts, 1);
    // Now it can: the strip comes back at once; with the device made, off and on again does not make it anew.
    deviceAvailable = true;
    c.sampoffClick(false);
    EXPECT_TRUE(dsready && samplerenabled && samplerview);
    EXPECT_EQ(layouts, 2);
    c.sampoffClick(true);
    c.sampoffClick(false);
    EXPECT_EQ(initsounds, 2);
    EXPECT_TRUE(samplerview);
    EXPECT_EQ(layouts, 4);
}

std::string writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& text,
                      bool executable) {
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                        (executable ? QFile::ExeOwner : QFile::Permission{}));
    return file.fileName().toStdString();
}

// The volume mixer button starts the desktop volume mixer: found in PATH, started detached.
TEST(VolumeMixerTest, FindsTheProgramInThePathAndStartsItDetached) {
    QTemporaryDir empty;
    QTemporaryDir bin;
    const std::string program = writeFile(bin, QStringLiteral("pavucontrol"), "#!/bin/sh\nexit 0\n", true);
    writeFile(empty, QStringLiteral("pavucontrol"), "not a program", false);
    QDir(empty.path()).mkdir(QStringLiteral("pavucontrol2"));
    const std::string path = empty.path().toStdString() + "::" + bin.path().toStdString();
    EXPECT_EQ(os::findInPath(os::kVolumeMixerProgram, path), program);
    EXPECT_EQ(os::findInPath(os::kVolumeMixerProgram, empty.path().toStdString()), "");
    EXPECT_EQ(os::findInPath("pavucontrol2", empty.path().toStdString()), "");  // a folder is no program
    EXPECT_EQ(os::findInPath("bin/sh", "/"), "");

    EXPECT_TRUE(os::startDetached(program));
    // Executable but nothing the system can run, and a file that is not there.
    EXPECT_FALSE(os::startDetached(writeFile(bin, QStringLiteral("broken"), "", true)));
    EXPECT_FALSE(os::startDetached(bin.filePath(QStringLiteral("missing")).toStdString()));
}

}  // namespace
}  // namespace korvex::mixer
