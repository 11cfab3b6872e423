#include "app/korvex_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

namespace korvex::app {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The file beside the settings file keeps what it knows, what a newer version wrote, and gives the defaults
// for anything missing or broken.
TEST(KorvexSettingsFile, KeepsWhatItDoesNotKnowAndDefaultsWhatIsBroken) {
    QTemporaryDir dir;
    const QString path = korvexSettingsBeside(dir.filePath(QStringLiteral("korvex/korvexp.ini")));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("korvex/korvex.ini")));

    KorvexSettings settings;
    settings.protectLiveDeck = true;
    EXPECT_FALSE(readKorvexSettings(path, settings)) << "no file yet";
    EXPECT_FALSE(settings.protectLiveDeck) << "the default";

    settings.protectLiveDeck = true;
    settings.fileNameTitles = true;
    settings.autoTrim = true;
    settings.keylock = {false, true};
    settings.headphones = QStringLiteral("USB Audio=2");
    settings.midiMapping = QStringLiteral("/home/dj/my controller.midimap");
    settings.midiPorts = {QStringLiteral("DJ Control:DJ Control MIDI 1 20:0"), QStringLiteral("a2j:Pads [24]")};
    ASSERT_TRUE(writeKorvexSettings(path, settings));
    write(path, readAll(path) + "crossfader-curve=smooth\r\n");
    KorvexSettings read;
    ASSERT_TRUE(readKorvexSettings(path, read));
    EXPECT_TRUE(read.protectLiveDeck);
    EXPECT_TRUE(read.fileNameTitles);
    EXPECT_TRUE(read.autoTrim);
    EXPECT_EQ(read.keylock, (std::array<bool, 2>{false, true}));
    EXPECT_EQ(read.headphones, QStringLiteral("USB Audio=2")) << "a device name may hold anything";
    EXPECT_EQ(read.midiMapping, settings.midiMapping);
    EXPECT_EQ(read.midiPorts, settings.midiPorts);
    EXPECT_EQ(read.otherLines, QStringList{QStringLiteral("crossfader-curve=smooth")});
    ASSERT_TRUE(writeKorvexSettings(path, read));
    EXPECT_TRUE(readAll(path).contains("crossfader-curve=smooth\r\n")) << "a newer version's line survives a save";

    write(path,
          "protect-live-deck=perhaps\nfile-name-titles=1\nauto-trim=yes\nkeylock-b=on\nheadphones=\n\xff\xfe "
          "garbage\n");
    ASSERT_TRUE(readKorvexSettings(path, read));
    EXPECT_FALSE(read.protectLiveDeck);
    EXPECT_FALSE(read.fileNameTitles);
    EXPECT_FALSE(read.autoTrim);
    EXPECT_EQ(read.keylock, (std::array<bool, 2>{false, false}));
    EXPECT_EQ(read.headphones, QStringLiteral("none"));

    // A pipe in its place is neither waited on when read nor replaced when saved.
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(readKorvexSettings(fifo, read));
    EXPECT_FALSE(writeKorvexSettings(fifo, read));
    struct stat info {};
    ASSERT_EQ(::stat(fifo.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
}  // namespace korvex::app
