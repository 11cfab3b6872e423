// What the window tells the operator when something is wrong: a song that cannot be read (which file, why,
// what to do).

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

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

}  // namespace
}  // namespace korvex::test
