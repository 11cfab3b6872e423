#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "deck/deck_fakes.h"
#include "songlist/list_fakes.h"
#include "support/fifo.h"

namespace korvex::app {
namespace {

using deck::testing::DeckRig;
using base::MessageIcon;
using songlist::SongList;

// Everything the settings file reaches, with fake decks; `effects` logs initsound and the slot loads.
struct SettingsRig {
    explicit SettingsRig(const QString& path)
        : file(path,
               SettingsTargets{decks.transport, mixer, view, skinname, newtrim, startup, samplerenabled,
                               dialogFolder, kept, slots},
               messages,
               SettingsEffects{[this] { initsound(); },
                               [this](int slot, int mode, const QString& p) {
                                   effects.push_back("loadslot " + std::to_string(slot) + " " +
                                                     std::to_string(mode) + " " + p.toStdString());
                               },
                               {}}) {}

    void initsound() {
        effects.push_back("initsound");
        if (noDevice) samplerenabled = false;
    }

    DeckRig decks;
    mixer::MixerSettings mixer;
    appearance::ViewFlags view;
    QString skinname = QStringLiteral("orange");
    int newtrim = 20;
    bool startup = false;
    bool samplerenabled = true;
    QString dialogFolder;
    KeptSettings kept;
    SlotSettings slots;
    bool noDevice = false;
    std::vector<std::string> effects;
    songlist::testing::FakeMessages messages;
    SettingsFile file;
};

// Where some settings are in a file whose lists are both empty.
constexpr int kSamplerEnabledLine = 15;
constexpr int kSlotModeLine = 37;
constexpr int kSlotPathLine = 45;

// The lines of a fresh state with both lists empty.
QStringList freshLines() {
    QStringList lines{"0", "0",    "-1",     "-1", "True", "True", "False", "False", "False", "0", "0",
                      "2", "True", "orange", "",   "True", "20",   "10",    "False", "False", "0", "True"};
    lines << QStringList{"500", "500", "0", "0", "0", "500", "0", "500", "0", "0", "500", "500"};
    lines << QStringList{"50", "50", "50"};
    for (int i = 0; i < kSlotCount; ++i) lines << "0";
    for (int i = 0; i < kSlotCount; ++i) lines << "";
    return lines;
}

// `block` put into `lines` before line `at`.
void insertLines(QStringList& lines, qsizetype at, const QStringList& block) {
    lines = lines.mid(0, at) + block + lines.mid(at);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SettingsFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("korvexp.ini")); }
    QTemporaryDir dir;
};

TEST_F(SettingsFileTest, RoundTripRestoresEveryGroup) {
    SettingsRig saved(path());
    // Signed and plain memory forms must come back exactly as written.
    saved.decks.addSong(0, QStringLiteral("a.mp3"), QStringLiteral(" 12.375"), QStringLiteral("-1"),
                        QStringLiteral(" 0"));
    saved.decks.listA.setField(songlist::kTempo, 0, QStringLiteral(" 112.5"));
    for (const char* title : {"b.mp3", "c.mp3"}) saved.decks.addSong(0, QString::fromUtf8(title));
    saved.decks.addSong(1, QStringLiteral("曲.mp3"), QStringLiteral("12.5"));
    saved.decks.listA.select(1);
    saved.view.samplerview = false;
    saved.view.listview = false;
    deck::DeckSettings& d = saved.decks.settings;
    d.autoplay2 = d.random = d.autocrossfadeplay = d.countdown = true;
    d.headinterval = 7;
    d.gapticks = 55;
    d.switchtime = {1, 200, 700};
    saved.startup = true;
    saved.kept = {1234.5f, -15.0f, -3, false};
    saved.mixer = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, false};
    saved.skinname = QStringLiteral("blue");
    saved.dialogFolder = QStringLiteral("/home/dj/曲/");
    saved.samplerenabled = false;
    saved.newtrim = 33;
    saved.slots.slotmode = {0, 1, 2, 3, 0, 1, 2, 3};
    saved.slots.slotpath[2] = QStringLiteral("/s/kick.wav");
    ASSERT_TRUE(saved.file.savest());
    EXPECT_EQ(readBytes(path()), base::encodeLines(saved.file.lines()));
    // Pattern by pattern, each pattern's points in slider order; the window edges in the plain form.
    const QStringList lines = saved.file.lines();
    EXPECT_EQ(lines.mid(2 + 7 * 4 + 2 + 5, 2), (QStringList{"1234.5", "-15"}));
    EXPECT_EQ(lines.mid(2 + 7 * 4 + 2 + 18, 4), (QStringList{"1", "4", "7", "10"}));

    // The lines are made from the loaded values, every one of which differs from a fresh rig's.
    SettingsRig loaded(path());
    ASSERT_EQ(loaded.file.loadsettings(), SettingsLoad::kRead);
    EXPECT_EQ(loaded.file.lines(), lines);
    EXPECT_EQ(loaded.decks.listA.current(), 1);
    // With the sampler off nothing is loaded, but the slot's path is written back.
    EXPECT_TRUE(loaded.effects.empty());
    EXPECT_TRUE(loaded.messages.shown.empty());
}

// Each of the file's flags on its own line: one flag set at a time is written on its line alone and read
// back into itself alone.
TEST_F(SettingsFileTest, EveryFlagHasItsOwnLine) {
    struct Flag {
        const char* name;
        int line;  // index in a file whose lists are both empty
        bool& (*of)(SettingsRig&);
    };
    const Flag flags[] = {
        {"samplerview", 4, [](SettingsRig& r) -> bool& { return r.view.samplerview; }},
        {"listview", 5, [](SettingsRig& r) -> bool& { return r.view.listview; }},
        {"autoplay2", 6, [](SettingsRig& r) -> bool& { return r.decks.settings.autoplay2; }},
        {"startup", 7, [](SettingsRig& r) -> bool& { return r.startup; }},
        {"random", 8, [](SettingsRig& r) -> bool& { return r.decks.settings.random; }},
        {"playonswitch", 12, [](SettingsRig& r) -> bool& { return r.mixer.playonswitch; }},
        {"samplerenabled", kSamplerEnabledLine, [](SettingsRig& r) -> bool& { return r.samplerenabled; }},
        {"autocrossfadeplay", 18, [](SettingsRig& r) -> bool& { return r.decks.settings.autocrossfadeplay; }},
        {"countdown", 19, [](SettingsRig& r) -> bool& { return r.decks.settings.countdown; }},
        {"reservedFlag", 21, [](SettingsRig& r) -> bool& { return r.kept.reservedFlag; }},
    };
    auto allOff = [&flags](SettingsRig& r) {
        for (const Flag& f : flags) f.of(r) = false;
    };
    for (const Flag& flag : flags) {
        SCOPED_TRACE(flag.name);
        SettingsRig saved(path());
        allOff(saved);
        flag.of(saved) = true;
        const QStringList lines = saved.file.lines();
        for (const Flag& f : flags)
            EXPECT_EQ(lines[f.line], f.line == flag.line ? "True" : "False") << f.name;

        SettingsRig loaded(path());
        for (const Flag& f : flags) f.of(loaded) = f.line != flag.line;
        ASSERT_EQ(loaded.file.loadLines(lines), SettingsLoad::kRead);
        for (const Flag& f : flags) EXPECT_EQ(f.of(loaded), f.line == flag.line) << f.name;
    }
}

// A reset sets the fifteen values it resets, from anything they held, and leaves every other one as it was.
TEST_F(SettingsFileTest, AResetSetsEachResetValueAndKeepsEveryOther) {
    SettingsRig rig(path());
    deck::DeckSettings& d = rig.decks.settings;
    d.autoplay2 = true;
    d.random = d.autocrossfadeplay = d.countdown = rig.startup = true;
    rig.view.samplerview = rig.view.listview = rig.samplerenabled = rig.mixer.playonswitch = false;
    rig.kept = {321.0f, 654.0f, 9, false};
    rig.mixer.fadertable = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    d.switchtime = {1, 2, 3};
    d.headinterval = 9;
    rig.skinname = QStringLiteral("steel");
    rig.newtrim = 5;
    d.gapticks = 77;
    rig.dialogFolder = QStringLiteral("/music/");
    rig.slots.slotmode = {1, 1, 1, 1, 1, 1, 1, 1};
    rig.slots.slotpath[3] = QStringLiteral("/s/kick.wav");
    ASSERT_EQ(rig.file.loadLines({QStringLiteral("x")}), SettingsLoad::kReset);
    // The reset values are a fresh state's; autoplay2, the kept values, the folder and the slots stay.
    QStringList expected = freshLines();
    expected.replace(6, "True");
    expected.replace(9, "321");
    expected.replace(10, "654");
    expected.replace(14, "/music/");
    expected.replace(20, "9");
    for (int slot = 0; slot < kSlotCount; ++slot) expected.replace(kSlotModeLine + slot, "1");
    expected.replace(kSlotPathLine + 3, "/s/kick.wav");
    EXPECT_EQ(rig.file.lines(), expected);
}

TEST_F(SettingsFileTest, CurrentSongsAreGivenToTheDecksOnlyWhenDeckBHasSongs) {
    QStringList lines = freshLines();
    lines.replace(0, "2");
    lines.replace(1, "1");
    lines.replace(2, "1");
    lines.replace(3, "0");
    insertLines(lines, 1,
                {"/m/a.mp3", "/m/b.mp3", "a.mp3", "b.mp3", "100", " 112.5", " 2000", " 1500", "-1", "-1",
                 "-1", " 12.5", "-1", "-1"});
    insertLines(lines, 16, {"/m/c.mp3", "c.mp3", "oops", " 2000", "-1", "3", "-1"});
    SettingsRig rig(path());
    ASSERT_EQ(rig.file.loadLines(lines), SettingsLoad::kRead);
    EXPECT_EQ(rig.decks.log,
              (std::vector<std::string>{"A load /m/b.mp3", "pitchset 0 112.5", "trimlinedraw 0",
                                        "A selstart 12.5", "B load /m/c.mp3", "pitchset 1 100",
                                        "trimlinedraw 1", "B selstart 3", "volcontrol"}));
    EXPECT_EQ(rig.decks.transport.view(0).text2, QStringLiteral("b.mp3"));
    EXPECT_EQ(rig.decks.listA.selected(songlist::kEnd), 1);

    // A current row the list does not have resets.
    lines.replace(16 + 7 + 1, QStringLiteral("1"));
    SettingsRig outside(path());
    EXPECT_EQ(outside.file.loadLines(lines), SettingsLoad::kReset);

    // With deck B empty neither current song is restored, deck A's included.
    QStringList noB = freshLines();
    noB.replace(0, "1");
    noB.replace(2, "0");
    insertLines(noB, 1, {"/m/a.mp3", "a.mp3", "100", " 2000", "-1", "-1", "-1"});
    SettingsRig empty(path());
    ASSERT_EQ(empty.file.loadLines(noB), SettingsLoad::kRead);
    EXPECT_EQ(empty.decks.listA.count(), 1);
    EXPECT_EQ(empty.decks.listA.current(), -1);
    EXPECT_EQ(empty.decks.log, std::vector<std::string>{"volcontrol"});
}

TEST_F(SettingsFileTest, NonNumericIntegerLineResetsKeepingWhatWasRead) {
    SettingsRig saved(path());
    saved.decks.addSong(0, QStringLiteral("a.mp3"));
    saved.decks.addSong(1, QStringLiteral("b.mp3"));
    saved.decks.settings.autoplay2 = true;
    saved.decks.settings.random = true;
    saved.kept.windowTop = 900.0f;
    saved.view.listview = false;
    saved.skinname = QStringLiteral("blue");
    QStringList lines = saved.file.lines();
    lines.replace(2 + 7 * 2 + 2 + 7, QStringLiteral("two"));  // headinterval

    SettingsRig rig(path());
    rig.newtrim = 5;
    ASSERT_EQ(rig.file.loadLines(lines), SettingsLoad::kReset);
    EXPECT_EQ(rig.messages.texts(), QStringList{QStringLiteral("Korvexの状態を初期化します。")});
    // Read before the fault and not reset: kept. Reset: back to the defaults.
    EXPECT_EQ(rig.decks.listB.current(), 0);
    EXPECT_TRUE(rig.decks.settings.autoplay2);
    EXPECT_EQ(rig.kept.windowTop, 900.0f);
    EXPECT_FALSE(rig.decks.settings.random);
    EXPECT_TRUE(rig.view.listview);
    EXPECT_EQ(rig.newtrim, 20);
    EXPECT_EQ(rig.skinname, QStringLiteral("orange"));
    EXPECT_EQ(rig.effects, std::vector<std::string>{"initsound"});
}

TEST_F(SettingsFileTest, TruncatedOrMissingFileResets) {
    QStringList lines = freshLines();
    lines.replace(0, "2");
    insertLines(lines, 1, {"/m/a.mp3", "/m/b.mp3", "a.mp3", "b.mp3", "100", "100", " 2000"});
    SettingsRig cut(path());
    EXPECT_EQ(cut.file.loadLines(lines.mid(0, 8)), SettingsLoad::kReset);
    EXPECT_EQ(cut.decks.listA.count(), 0);  // no song was read in full
    EXPECT_EQ(cut.messages.shown.size(), 1u);

    SettingsRig late(path());
    late.mixer.fadertable = {};
    EXPECT_EQ(late.file.loadLines(freshLines().mid(0, 30)), SettingsLoad::kReset);
    EXPECT_EQ(late.mixer.fadertable, mixer::kDefaultFaderTable);

    SettingsRig missing(path());
    missing.samplerenabled = false;
    EXPECT_EQ(missing.file.loadsettings(), SettingsLoad::kReset);
    EXPECT_EQ(missing.messages.texts(), QStringList{QStringLiteral("Korvexの状態を初期化します。")});
    EXPECT_TRUE(missing.samplerenabled);
    EXPECT_EQ(missing.effects, std::vector<std::string>{"initsound"});
}

TEST_F(SettingsFileTest, OutOfRangeValuesReset) {
    for (const auto& [line, text] : std::vector<std::pair<int, QString>>{{11, QStringLiteral("40000")},
                                                                         {9, QStringLiteral("1e39")},
                                                                         {4, QStringLiteral("yes")},
                                                                         {4, QString()}}) {
        QStringList lines = freshLines();
        lines.replace(line, text);
        SettingsRig rig(path());
        EXPECT_EQ(rig.file.loadLines(lines), SettingsLoad::kReset) << line;
    }
    // Booleans take numbers and any case; numbers take blanks around them.
    QStringList lines = freshLines();
    lines.replace(4, QStringLiteral("0"));
    lines.replace(5, QStringLiteral(" false "));
    lines.replace(6, QStringLiteral("-1"));
    lines.replace(11, QStringLiteral(" 7"));
    SettingsRig rig(path());
    ASSERT_EQ(rig.file.loadLines(lines), SettingsLoad::kRead);
    EXPECT_FALSE(rig.view.samplerview || rig.view.listview);
    EXPECT_TRUE(rig.decks.settings.autoplay2);
    EXPECT_EQ(rig.decks.settings.headinterval, 7);
}

TEST_F(SettingsFileTest, SamplerOnCreatesTheDeviceThenLoadsTheSlots) {
    QStringList lines = freshLines();
    lines.replace(kSlotModeLine + 2, QStringLiteral("1"));
    lines.replace(kSlotPathLine + 2, QStringLiteral("/s/kick.wav"));
    SettingsRig rig(path());
    ASSERT_EQ(rig.file.loadLines(lines), SettingsLoad::kRead);
    EXPECT_EQ(rig.effects, (std::vector<std::string>{"initsound", "loadslot 2 1 /s/kick.wav"}));
    EXPECT_EQ(rig.slots.slotpath[2], QStringLiteral("/s/kick.wav"));

    // Without a device nothing is loaded; the path is still written back.
    SettingsRig failing(path());
    failing.noDevice = true;
    ASSERT_EQ(failing.file.loadLines(lines), SettingsLoad::kRead);
    EXPECT_EQ(failing.effects, std::vector<std::string>{"initsound"});
    EXPECT_EQ(failing.file.lines().at(kSlotPathLine + 2), QStringLiteral("/s/kick.wav"));
    EXPECT_EQ(failing.file.lines().at(kSamplerEnabledLine), QStringLiteral("False"));

    // The slot paths may be missing only while the sampler is off.
    SettingsRig cut(path());
    EXPECT_EQ(cut.file.loadLines(lines.mid(0, lines.size() - 3)), SettingsLoad::kReset);
    lines.replace(kSamplerEnabledLine, QStringLiteral("False"));
    SettingsRig off(path());
    EXPECT_EQ(off.file.loadLines(lines.mid(0, lines.size() - 3)), SettingsLoad::kRead);
}

TEST_F(SettingsFileTest, FreshStateHasTheFixedLayoutWithCrLfAndLineBreaksCannotShiftIt) {
    SettingsRig rig(path());
    EXPECT_EQ(rig.file.lines(), freshLines());
    ASSERT_TRUE(rig.file.savest());
    EXPECT_TRUE(readBytes(path()).startsWith("0\r\n0\r\n-1\r\n-1\r\nTrue\r\n"));
    EXPECT_TRUE(rig.messages.shown.empty());
    rig.skinname = QStringLiteral("a\nb");
    EXPECT_EQ(rig.file.lines().size(), freshLines().size());
    EXPECT_EQ(rig.file.lines().at(13), QStringLiteral("a\uFFFDb"));
}

TEST_F(SettingsFileTest, Cp932AndLfFilesAreRead) {
    QByteArray bytes =
        "0\n1\n/m/\x83\x65\x83\x58\x83\x67.mp3\n\x83\x65\x83\x58\x83\x67.mp3\n100\n 2000\n-1\n-1\n-1\n"
        "-1\n0\n";
    for (const QString& line : freshLines().mid(4)) bytes += line.toUtf8() + "\n";
    writeFile(path(), bytes);
    SettingsRig rig(path());
    ASSERT_EQ(rig.file.loadsettings(), SettingsLoad::kRead);
    EXPECT_EQ(rig.decks.listB.field(songlist::kTitle, 0), QStringLiteral("テスト.mp3"));
    EXPECT_EQ(rig.decks.transport.view(1).text2, QStringLiteral("テスト.mp3"));
}

TEST_F(SettingsFileTest, InterruptedSaveLeavesThePreviousFile) {
    // A short file fails only when its buffer is flushed, a long one already while it is written.
    for (const int songs : {200, 3000}) {
        const QByteArray previous = "previous state\r\n";
        writeFile(path(), previous);
        SettingsRig rig(path());
        for (int i = 0; i < songs; ++i) rig.decks.addSong(0, QStringLiteral("song%1.mp3").arg(i));
        {
            const songlist::testing::FileSizeLimit full(4096);
            EXPECT_FALSE(rig.file.savest()) << songs;
        }
        EXPECT_EQ(readBytes(path()), previous);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("korvexp.ini")});
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_EQ(rig.messages.shown[0].text, path() + QStringLiteral("の保存に問題が発生しました。"));
        EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Critical);
    }
}

TEST_F(SettingsFileTest, SaveCreatesTheFolderOrFailsWhereNoneCanBe) {
    SettingsRig fresh(dir.filePath(QStringLiteral("config/korvex/korvexp.ini")));
    EXPECT_TRUE(fresh.file.savest());
    EXPECT_TRUE(QFile::exists(fresh.file.path()));

    writeFile(dir.filePath(QStringLiteral("plain")), "x");
    SettingsRig blocked(dir.filePath(QStringLiteral("plain/korvexp.ini")));
    EXPECT_FALSE(blocked.file.savest());
    EXPECT_EQ(blocked.messages.shown.size(), 1u);
}

// A FIFO, or a link to one, in the settings file's place is a missing file: the start resets at once instead
// of waiting for a writer, and a save neither waits on it nor puts a file in its place. (No real device is
// used here: a save that wrongly followed the link would replace it for the whole machine.)
TEST_F(SettingsFileTest, AFifoAsTheFileResetsAtOnceAndIsNeverReplaced) {
    const QString fifo = path();
    ASSERT_TRUE(test::makeFifo(fifo.toStdString()));
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& ini : {fifo, link}) {
        SCOPED_TRACE(ini.toStdString());
        SettingsRig rig(ini);
        rig.samplerenabled = false;
        SettingsLoad result = SettingsLoad::kRead;
        EXPECT_TRUE(test::returnsPromptly([&] { result = rig.file.loadsettings(); }, {fifo.toStdString()}));
        EXPECT_EQ(result, SettingsLoad::kReset);
        EXPECT_EQ(rig.messages.texts(), QStringList{QStringLiteral("Korvexの状態を初期化します。")});
        EXPECT_TRUE(rig.samplerenabled) << "the defaults, as for a missing file";

        bool saved = true;
        EXPECT_TRUE(test::returnsPromptly([&] { saved = rig.file.savest(); }, {fifo.toStdString()}));
        EXPECT_FALSE(saved);
        EXPECT_EQ(rig.messages.texts().last(), ini + QStringLiteral("の保存に問題が発生しました。"));
    }
    EXPECT_FALSE(QFileInfo(fifo).isFile()) << "still the FIFO";
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), fifo);
    EXPECT_EQ(settingsFilePath(dir.path(), QProcessEnvironment()), QString())
        << "nor taken for a portable file";
}

TEST_F(SettingsFileTest, LocationIsBesideTheProgramOnlyWhenAFileIsThere) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/dj"));
    EXPECT_EQ(settingsFilePath(dir.path(), env), QStringLiteral("/home/dj/.config/korvex/korvexp.ini"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("relative/cfg"));
    EXPECT_EQ(settingsFilePath(dir.path(), env), QStringLiteral("/home/dj/.config/korvex/korvexp.ini"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/cfg/"));
    EXPECT_EQ(settingsFilePath(dir.path(), env), QStringLiteral("/cfg/korvex/korvexp.ini"));
    writeFile(path(), "0\r\n");
    EXPECT_EQ(settingsFilePath(dir.path(), env), path());
    EXPECT_EQ(settingsFilePath(QString(), QProcessEnvironment()), QString());
}

}  // namespace
}  // namespace korvex::app
