// A two-song set left to run by itself: continuous play with automatic crossfade hands deck A's song over
// to deck B over the switch time, with no gap and no click, heard in the wav output.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>

#include "app/ui/korvex_app.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

constexpr int kRate = 44100;

std::size_t framesIn(const QString& wav) {
    const qint64 bytes = QFileInfo(wav).size();
    return bytes > 58 ? static_cast<std::size_t>(bytes - 58) / 8 : 0;
}

void drop(QWidget* list, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &event);
}

// Ticks the menu item `caption` of the top-level menu `menu`, as a user would.
void check(QMenuBar* bar, const QString& menu, const QString& caption) {
    for (QAction* top : bar->actions()) {
        if (top->text() != menu || top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions())
            if (item->text() == caption) item->trigger();
    }
}

TEST(EndToEnd, AutomaticCrossfadeHandsDeckAOverToDeckB) {
    QTemporaryDir dir;
    const QString a = dir.path() + QStringLiteral("/a440.wav");
    const QString b = dir.path() + QStringLiteral("/b660.wav");
    writeWav16(a.toStdString(), sine(440.0, 4.0));
    writeWav16(b.toStdString(), sine(660.0, 10.0));
    const QString wav = dir.path() + QStringLiteral("/mix.wav");

    app::KorvexApp korvex({"--audio-output=wav:" + wav.toStdString()});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();
    drop(window.titleList(0)->viewport(), a);
    drop(window.titleList(1)->viewport(), b);
    check(window.menuBar(), QStringLiteral("再生"), QStringLiteral("連続再生"));
    check(window.menuBar(), QStringLiteral("再生"), QStringLiteral("ｵｰﾄｸﾛｽﾌｪｰﾄﾞ"));
    // The crossfader on deck A's side, then deck A plays.
    QTest::mouseClick(window.picture("Lvol"), Qt::LeftButton, {}, QPoint(5, 5));
    const std::size_t started = framesIn(wav);
    auto* play = window.picture("Pause", 0);
    QTest::mousePress(play, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(5, 5));

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
