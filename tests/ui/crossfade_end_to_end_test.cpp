// A two-song set left to run by itself: continuous play with automatic crossfade hands deck A's song over
// to deck B over the switch time, with no gap and no click, heard in the wav output.

#include <gtest/gtest.h>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

TEST(EndToEnd, AutomaticCrossfadeHandsDeckAOverToDeckB) {
    QTemporaryDir dir;
    const QString a = toneFile(dir.path(), QStringLiteral("a440.wav"), 440.0, 4.0);
    const QString b = toneFile(dir.path(), QStringLiteral("b660.wav"), 660.0, 10.0);
    const QString wav = dir.path() + QStringLiteral("/mix.wav");

    app::KorvexApp korvex({"--audio-output=wav:" + wav.toStdString()});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();
    dropFiles(window.titleList(0)->viewport(), {a});
    dropFiles(window.titleList(1)->viewport(), {b});
    for (const QString& caption : {QStringLiteral("連続再生"), QStringLiteral("ｵｰﾄｸﾛｽﾌｪｰﾄﾞ")}) {
        QAction* item = menuItem(window.menuBar(), QStringLiteral("再生"), caption);
        ASSERT_NE(item, nullptr);
        item->trigger();
    }
    // The crossfader on deck A's side, then deck A plays.
    click(window.picture("Lvol"), QPoint(5, 5));
    const std::size_t started = framesIn(wav);
    pressPlay(window, 0);

    // Deck A's 4 s song; the crossfade opens 2.5 s before its end and slides for about 2.2 s.
    ASSERT_TRUE(QTest::qWaitFor([&] { return framesIn(wav) >= started + static_cast<std::size_t>(5.5 * kRate); },
                                30000));
    EXPECT_EQ(korvex.player().player(1).playState(), 2) << "deck B took over";
    EXPECT_NE(korvex.player().player(0).playState(), 2) << "deck A ended";
    korvex.shutdown();

    const auto mix = readSound(wav.toStdString());
    const auto left = channel(mix, 0, started);
    // Deck A alone before the crossfade, deck B alone after it.
    const auto before = channel(mix, 0, started + kRate / 2, kRate / 2);
    EXPECT_GT(goertzel(before, 440.0, kRate), 0.3);
    EXPECT_LT(goertzel(before, 660.0, kRate), 0.01);
    const auto after = channel(mix, 0, started + static_cast<std::size_t>(4.8 * kRate), kRate / 2);
    EXPECT_GT(goertzel(after, 660.0, kRate), 0.3);
    EXPECT_LT(goertzel(after, 440.0, kRate), 0.01);
    // In the middle of the slide both are heard.
    const auto middle = channel(mix, 0, started + static_cast<std::size_t>(2.6 * kRate), kRate / 5);
    EXPECT_GT(goertzel(middle, 440.0, kRate), 0.03);
    EXPECT_GT(goertzel(middle, 660.0, kRate), 0.03);

    // No silence longer than one audio block, no click, from the start to well after the hand-over.
    const std::size_t span = static_cast<std::size_t>(5.2 * kRate);
    for (std::size_t at = 512; at + 256 <= span; at += 128)
        ASSERT_GT(rms(channel(mix, 0, started + at, 256)), 0.02) << "a gap at " << at / double(kRate) << " s";
    EXPECT_LT(maxStep(std::vector<float>(left.begin() + 512, left.begin() + static_cast<long>(span))), 0.1);
}

}  // namespace
}  // namespace korvex::test
