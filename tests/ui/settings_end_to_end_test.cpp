// A set prepared in one run is there in the next: the player starts from a settings file in the user's config
// folder, restores both lists and each deck's current song, and leaving with "save" writes the same state back.

#include <gtest/gtest.h>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

TEST(EndToEnd, SettingsFileRestoresTheSetAndLeavingWithSaveWritesItBack) {
    QTemporaryDir songs;
    const QString a1 = toneFile(songs.path(), QStringLiteral("one.wav"));
    const QString a2 = toneFile(songs.path(), QStringLiteral("two.wav"));
    const QString b1 = toneFile(songs.path(), QStringLiteral("three.wav"));

    // Deck A: two songs, the second current, with memories; deck B: one song.
    QStringList lines{"2",       a1,      a2,     "one.wav", "two.wav", "100", " 104.5", " 2000", " 1500",
                      "-1",      " 0.75", "-1",   " 0.25",   "-1",      "-1",  "1",      b1,       "three.wav",
                      "100",     " 2000", "-1",   "-1",      "-1",      "1",   "0"};
    lines << settingsTail();
    const QString ini = settingsPath();
    writeLines(ini, lines);

    app::KorvexApp korvex({"--audio-output=null"});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();
    ASSERT_EQ(window.titleList(0)->count(), 2);
    ASSERT_EQ(window.titleList(1)->count(), 1);
    EXPECT_EQ(window.titleList(0)->item(1)->text(), QStringLiteral("two.wav"));
    EXPECT_EQ(korvex.player().player(0).fileName(), a2.toStdString());
    EXPECT_EQ(korvex.player().player(1).fileName(), b1.toStdString());
    // Tempo memory 104.5 places the pitch knob 135 twips down: rate 1.03.
    EXPECT_EQ(window.label("Pitchper", 0)->text(), QStringLiteral("+03.0%")) << "the tempo memory is applied";

    // Leave through the close button, answering "save".
    answerNextBox(QMessageBox::Yes);
    click(window.picture("Formend"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 3000));
    korvex.shutdown();

    QFile written(ini);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_EQ(QString::fromUtf8(bytes).split(QStringLiteral("\r\n")),
              QString::fromUtf8(crlf(lines)).split(QStringLiteral("\r\n")));
    // The next test in this process starts afresh.
    written.close();
    QFile::remove(ini);
}

}  // namespace
}  // namespace korvex::test
