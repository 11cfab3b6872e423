// The title lists show "Artist - Title" from the songs' tags (ID3v2, ASF; Shift-JIS ones too), a song
// without readable tags its file name, and "曲名をファイル名で表示" brings the file names back; the lists
// keep (and save) file names throughout.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <cstdlib>

#include "mixer/ui/configuration_window.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// An ID3v2.3 tag of text frames, each written with encoding byte 0 ("Latin-1") whatever the bytes are, as
// older Japanese taggers wrote Shift-JIS.
QByteArray id3v23(const std::vector<std::pair<QByteArray, QByteArray>>& frames) {
    QByteArray body;
    for (const auto& [id, text] : frames) {
        const QByteArray content = QByteArray(1, '\0') + text;
        const auto size = static_cast<quint32>(content.size());
        body += id + QByteArray(1, char(size >> 24)) + char(size >> 16) + char(size >> 8) + char(size) +
                QByteArray(2, '\0') + content;
    }
    const auto size = static_cast<quint32>(body.size());
    QByteArray header("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0}) header += char((size >> shift) & 0x7F);
    return header + body;
}

class TagTitlesWindow : public WindowTest {
protected:
    // A second of tone made by the ffmpeg command, with `options` before the output name.
    QString encode(const QString& name, const QString& options) {
        const QString path = dir_.filePath(name);
        const QString command =
            QStringLiteral("ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=d=1 ") + options +
            QStringLiteral(" '") + path + u'\'';
        EXPECT_EQ(std::system(command.toUtf8().constData()), 0) << command.toStdString();
        return path;
    }
    // An MP3 without tags with `tag` put in front.
    QString withTag(const QString& name, const QByteArray& tag) {
        const QString path = encode(name, QStringLiteral("-id3v2_version 0"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray audio = file.readAll();
        file.seek(0);
        file.write(tag + audio);
        return path;
    }
    QStringList shown(int deck) {
        QStringList titles;
        for (int i = 0; i < window().titleList(deck)->count(); ++i)
            titles << window().titleList(deck)->item(i)->text();
        return titles;
    }
};

TEST_F(TagTitlesWindow, TheListShowsTagTitlesAndTheSettingBringsBackFileNames) {
    const QStringList files{
        encode(QStringLiteral("tagged.mp3"), QStringLiteral("-metadata artist=Aoi -metadata title=青い空")),
        withTag(QStringLiteral("sjis.mp3"), id3v23({{"TPE1", "\x93\xfa\x96\x7b\x82\xcc\x89\xcc\x8e\xe8"},
                                                    {"TIT2", "\x93\xfa\x96\x7b\x82\xcc\x89\xcc"}})),
        encode(QStringLiteral("asf.wma"),
               QStringLiteral("-c:a wmav2 -metadata artist=DJ -metadata title=Night")),
        withTag(QStringLiteral("garbage.mp3"), id3v23({{"TIT2", "\x81\x82\x83\x9f"}})),
        tone(QStringLiteral("untagged.wav")),
    };
    const QStringList names{QStringLiteral("tagged.mp3"), QStringLiteral("sjis.mp3"),
                            QStringLiteral("asf.wma"), QStringLiteral("garbage.mp3"),
                            QStringLiteral("untagged.wav")};
    const QStringList tagged{QStringLiteral("Aoi - 青い空"), QStringLiteral("日本の歌手 - 日本の歌"),
                             QStringLiteral("DJ - Night"), QStringLiteral("garbage.mp3"),
                             QStringLiteral("untagged.wav")};
    dropFiles(window().titleList(0)->viewport(), files);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0) == tagged; }, 10000))
        << shown(0).join(u'|').toStdString();
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(player().list(0).field(songlist::kTitle, i), names[i])
            << "the list keeps (and saves) the name";

    mixer::ConfigurationWindow* config = app_->showConfiguration();
    QCheckBox* fileNames = config->fileNameTitles();
    ASSERT_NE(fileNames, nullptr);
    EXPECT_EQ(fileNames->text(), QStringLiteral("曲名をファイル名で表示"));
    EXPECT_FALSE(fileNames->isChecked());
    QTest::mouseClick(fileNames, Qt::LeftButton, {}, QPoint(6, fileNames->height() / 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0) == names; }, 2000))
        << shown(0).join(u'|').toStdString();
    QTest::mouseClick(fileNames, Qt::LeftButton, {}, QPoint(6, fileNames->height() / 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0) == tagged; }, 2000))
        << shown(0).join(u'|').toStdString();
    config->close();
}

}  // namespace
}  // namespace korvex::test
