// What the window tells the operator when something is wrong: a song that cannot be read (which file, why,
// what to do), a sound output that cannot be opened, and gaps in the sound as they happen.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <atomic>

#include "support/drops.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

using Messages = WindowTest;

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

TEST_F(Messages, AFileThatCannotBeReadNamesItselfSaysWhyAndWhatToDo) {
    const QString good = tone(QStringLiteral("good.wav"));
    dropFiles(window().titleList(0)->viewport(), {good});
    ASSERT_EQ(player().player(0).fileName(), good.toStdString());

    // Dropped: text that only calls itself an MP3.
    const QString text = writeFile(dir_.filePath(QStringLiteral("notes.mp3")), "not music at all\n");
    QString shown;
    answerNextBox(QMessageBox::Ok, &shown);
    dropFiles(window().titleList(0)->viewport(), {text});
    EXPECT_EQ(shown,
              QStringLiteral("ファイルが読み込めません。\n") + text +
                  QStringLiteral(
                      "\nファイルが壊れているか、対応していない形式です。\n別のファイルを選んでください。"));
    EXPECT_EQ(player().player(0).fileName(), good.toStdString()) << "the deck keeps its song";

    // Chosen in the open dialog: an empty file.
    const QString empty = writeFile(dir_.filePath(QStringLiteral("empty.mp3")), {});
    shown.clear();
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(empty);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    answerNextBox(QMessageBox::Ok, &shown, 200);
    click(window().picture("Imgadd", 1), QPoint(4, 4));
    EXPECT_EQ(
        shown,
        QStringLiteral("ファイルが読み込めません。\n") + empty +
            QStringLiteral("\nファイルが空です（0 バイト）。\nコピーやダウンロードが終わっているか確かめて、"
                           "別のファイルを選んでください。"));
    EXPECT_EQ(window().titleList(1)->count(), 0);
}

TEST_F(Messages, ARefusedSongInTheDeckSaysWhyInItsDisplay) {
    const QString folder = dir_.filePath(QStringLiteral("set.mp3"));
    ASSERT_TRUE(QDir().mkpath(folder));
    // A folder named like a song joins the list (the drop says it cannot load it); loading it shows why it
    // cannot play.
    answerNextBox(QMessageBox::Ok);
    dropFiles(window().titleList(1)->viewport(), {folder});
    ASSERT_EQ(window().titleList(1)->count(), 1);
    player().transport().loadsong(1);
    player().refresh();
    EXPECT_EQ(window().label("text2", 1)->text(),
              QStringLiteral("フォルダーです。音楽ファイルではありません。"));
    EXPECT_EQ(
        window().label("text2", 1)->toolTip(),
        QStringLiteral("ファイルが読み込めません。\n") + folder +
            QStringLiteral("\nフォルダーです。音楽ファイルではありません。\nフォルダーの中の曲を選ぶか、"
                           "フォルダーを曲リストにドロップしてください。"));
}

TEST(MessagesAtStart, AnOutputThatCannotOpenShowsTheNoDeviceStateAndSaysSoOnce) {
    const std::pair<std::string, QString> cases[] = {
        {"--audio-output=no-such-device-for-korvex",
         QStringLiteral("サウンドデバイス「no-such-device-for-korvex」を開けません。\n")},
        {"--audio-output=wav:/nonexistent-folder-for-korvex/mix.wav",
         QStringLiteral("音の出力先のファイルを作れません。\n/nonexistent-folder-for-korvex/mix.wav\n")}};
    for (const auto& [option, opening] : cases) {
        SCOPED_TRACE(option);
        app::KorvexApp korvex({option});
        ASSERT_TRUE(korvex.start());
        QString shown;
        answerNextBox(QMessageBox::Ok, &shown);
        korvex.handOver();
        EXPECT_TRUE(shown.startsWith(opening)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("起動し直してください"))) << "says what to do";
        EXPECT_TRUE(korvex.audio().engine().outputLost());
        QTest::qWait(80);  // a main-timer tick draws the decks
        for (int deck = 0; deck < 2; ++deck)
            EXPECT_EQ(korvex.window().label("lbfilename", deck)->text(),
                      QStringLiteral("サウンドデバイスがありません"));
        korvex.shutdown();
    }
    // An output that opens says nothing and shows no such state.
    app::KorvexApp korvex({"--audio-output=null"});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    EXPECT_TRUE(korvex.audio().startProblem().isEmpty());
    QTest::qWait(80);
    EXPECT_NE(korvex.window().label("lbfilename", 0)->text(), QStringLiteral("サウンドデバイスがありません"));
    korvex.shutdown();
}

// An output whose device runs dry when the test says so.
class DryingOutput final : public audio::AudioOutput {
public:
    bool start(std::string&) override { return true; }
    void stop() override {}
    std::string describe() const override { return "drying"; }
    std::uint64_t underflows() const override { return gaps.load(); }
    std::atomic<std::uint64_t> gaps{0};
};

TEST_F(Messages, GapsInTheSoundAreCountedInTheTitleBarAsTheyHappen) {
    auto output = std::make_unique<DryingOutput>();
    DryingOutput& device = *output;
    app_->audio().replaceOutput(std::move(output));
    QLabel* status = window().soundStatus();
    ASSERT_NE(status, nullptr);
    QTest::qWait(80);
    EXPECT_TRUE(status->text().isEmpty()) << "nothing to tell";
    device.gaps = 3;
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == QStringLiteral("音切れ 3 回"); }, 1000))
        << status->text().toStdString();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("--audio-latency=300"))) << "says what to do";
    device.gaps = 4;
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->text() == QStringLiteral("音切れ 4 回"); }, 1000));
}

}  // namespace
}  // namespace korvex::test
