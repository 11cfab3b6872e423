#include "songlist/song_list_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "base/file_names.h"

#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "support/fifo.h"

namespace korvex::songlist {
namespace {

using testing::FakeDialogs;
using testing::FakeMessages;
using Row = std::array<QString, kColumnCount>;
using Rows = std::vector<Row>;

// What a list file that cannot be read says: the program's text, the file, why and what to do.
bool saysCannotRead(const QStringList& texts, const QString& file, const QString& why) {
    return texts.size() == 1 &&
           texts[0].startsWith(QStringLiteral("ファイルが読み込めません。\n") + file + u'\n' + why);
}
const Row kOne{"/music/一.mp3", "一.mp3", "100", " 2000", "-1", "-1", "-1"};
const Row kTwo{"/music/two.wav", "two.wav", " 97.5", " 1500", " 12.375", " 3.25", " 181.5"};
const Row kThree{"/music/b.mid", "b.mid", "100", "2000", "0", "-1", "-1"};

// One deck block of `rows` as a file holds it, lines ended by `end`.
QByteArray blockBytes(const Rows& rows, const char* end = "\r\n") {
    QByteArray bytes = QByteArray::number(static_cast<int>(rows.size())) + end;
    for (int c = 0; c < kColumnCount; ++c) {
        for (const Row& row : rows) bytes += row[c].toUtf8() + end;
    }
    return bytes;
}

Rows rowsOf(const SongList& list) {
    Rows rows;
    for (int i = 0; i < list.count(); ++i) rows.push_back(list.row(i));
    return rows;
}

class ListFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return tmp_.path() + u'/' + name; }
    QByteArray bytesOf(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeBytes(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Replaces the lists with `a` and `b` (the first song selected).
    void setLists(const Rows& a, const Rows& b) {
        for (int deck = 0; deck < 2; ++deck) {
            lists_[deck].clear();
            for (const Row& row : deck == 0 ? a : b) lists_[deck].appendRow(row);
            lists_[deck].select(lists_[deck].count() > 0 ? 0 : -1);
        }
    }
    void saveAs(const QString& name) {
        dialogs_.answer = path(name);
        file_.save();
    }
    void loadFrom(const QString& name) {
        dialogs_.answer = path(name);
        file_.load();
    }
    QStringList files() const { return QDir(tmp_.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir tmp_;
    std::array<SongList, 2> lists_;
    DialogState dialog_;
    FakeDialogs dialogs_;
    FakeMessages messages_;
    SongListFile file_{{&lists_[0], &lists_[1]}, dialog_, dialogs_, messages_};
};

TEST_F(ListFileTest, SavesTwoAndOneSongsAsTwentyThreeCrLfLinesAndReadsThemBackAsWritten) {
    setLists({kOne, kTwo}, {kThree});
    saveAs("set.lis");
    const QByteArray expected =
        QStringLiteral(
            "2\r\n/music/一.mp3\r\n/music/two.wav\r\n一.mp3\r\ntwo.wav\r\n100\r\n 97.5\r\n"
            " 2000\r\n 1500\r\n-1\r\n 12.375\r\n-1\r\n 3.25\r\n-1\r\n 181.5\r\n"
            "1\r\n/music/b.mid\r\nb.mid\r\n100\r\n2000\r\n0\r\n-1\r\n-1\r\n")
            .toUtf8();
    EXPECT_EQ(bytesOf("set.lis"), expected);
    EXPECT_EQ(dialogs_.shown.back().title, "Save list File");

    // Signed and plain forms come back exactly as written; only the path column is selected.
    setLists({}, {kOne});
    loadFrom("set.lis");
    EXPECT_EQ(rowsOf(lists_[0]), (Rows{kOne, kTwo}));
    EXPECT_EQ(rowsOf(lists_[1]), (Rows{kThree}));
    for (const SongList& list : lists_) {
        EXPECT_EQ(list.selected(kPath), 0);
        EXPECT_EQ(list.selected(kTitle), -1);
        EXPECT_EQ(list.selected(kEnd), -1);
    }
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ListFileTest, SavingAddsTheSuffixUnlessTheNameEndsInLowerCaseLisAndNeedsSongsOnBothDecks) {
    setLists({kOne}, {kTwo});
    for (const char* name : {"a.lis", "b.LIS", "c"}) saveAs(name);
    dialogs_.answer = QStringLiteral("relative.lis");  // only absolute paths are written
    file_.save();
    dialogs_.answer.reset();  // cancelled
    file_.save();
    EXPECT_EQ(files(), QStringList({"a.lis", "b.LIS.lis", "c.lis"}));
    EXPECT_EQ(dialogs_.shown.back().filter, "(*.lis;)|*.lis;");
    EXPECT_FALSE(QFile::exists(QStringLiteral("relative.lis")));
    EXPECT_TRUE(messages_.shown.empty());

    setLists({kOne, kTwo}, {});
    const size_t dialogs = dialogs_.shown.size();
    saveAs("d.lis");
    EXPECT_EQ(messages_.texts(), QStringList{"曲が読み込まれていません。"});
    EXPECT_EQ(dialogs_.shown.size(), dialogs);
    EXPECT_FALSE(QFile::exists(path("d.lis")));
}

TEST_F(ListFileTest, ASaveThatFailsLeavesThePreviousFileWholeAndSaysSo) {
    setLists({kOne}, {kTwo});
    saveAs("keep.lis");
    const QByteArray before = bytesOf("keep.lis");
    const QString longPath = QStringLiteral("/music/") + QString(200, u'x');
    for (int i = 0; i < 200; ++i) lists_[0].append(longPath, QStringLiteral("x.mp3"), 20);
    {
        const testing::FileSizeLimit limit(16 * 1024);  // the new file would be about 50 kB
        saveAs("keep.lis");
    }
    EXPECT_EQ(bytesOf("keep.lis"), before);
    EXPECT_EQ(files(), QStringList{"keep.lis"});  // nothing half-written left beside it
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, path("keep.lis") + "の保存に問題が発生しました。");

    saveAs("gone/new.lis");  // a folder that does not exist
    EXPECT_FALSE(QFile::exists(path("gone")));
    EXPECT_EQ(messages_.shown.size(), 2u);
}

TEST_F(ListFileTest, TheLoadDialogStartsInTheLastListFolderAndAnUnreadableFileChangesNothing) {
    setLists({kOne}, {kTwo, kThree});
    dialog_.fileName = QStringLiteral("/music/song.mp3");
    loadFrom("missing.lis");
    const DialogState& shown = dialogs_.shown[0];
    EXPECT_EQ(shown.fileName, "");
    EXPECT_EQ(shown.filter, "(*.lis;)|*.lis;");
    EXPECT_EQ(shown.initialFolder, defaultDialogFolder());
    EXPECT_EQ(rowsOf(lists_[0]), (Rows{kOne}));
    EXPECT_EQ(rowsOf(lists_[1]), (Rows{kTwo, kThree}));
    EXPECT_TRUE(saysCannotRead(messages_.texts(), path("missing.lis"), QStringLiteral("ファイルを開けない")))
        << messages_.texts().join('|').toStdString();

    dialogs_.answer.reset();
    file_.load();
    EXPECT_EQ(dialogs_.shown.back().initialFolder, tmp_.path() + u'/');
    EXPECT_EQ(lists_[1].count(), 2);
}

// A FIFO chosen as a list is a file that cannot be read: said at once, the lists kept; a save to it
// neither waits on it nor swaps it for a file.
TEST_F(ListFileTest, AFifoIsRefusedAtOnceForLoadingAndForSaving) {
    setLists({kOne}, {kTwo, kThree});
    const std::string fifo = path("pipe.lis").toStdString();
    ASSERT_TRUE(test::makeFifo(fifo));
    EXPECT_TRUE(test::returnsPromptly([&] { loadFrom("pipe.lis"); }, {fifo}));
    EXPECT_TRUE(saysCannotRead(messages_.texts(), path("pipe.lis"), QStringLiteral("ファイルを開けない")))
        << messages_.texts().join('|').toStdString();
    EXPECT_EQ(rowsOf(lists_[0]), (Rows{kOne}));
    EXPECT_EQ(rowsOf(lists_[1]), (Rows{kTwo, kThree}));

    EXPECT_TRUE(test::returnsPromptly([&] { saveAs("pipe.lis"); }, {fifo}));
    EXPECT_EQ(messages_.texts().last(), path("pipe.lis") + "の保存に問題が発生しました。");
    EXPECT_FALSE(QFileInfo(path("pipe.lis")).isFile()) << "still the FIFO";
}

// A file as read: what each list holds afterwards and whether the operator is told of a fault.
struct FileCase {
    const char* name;
    QByteArray bytes;
    Rows a;
    Rows b;
    bool broken;
};

TEST_F(ListFileTest, ReadsCountsFromZeroUpAndKeepsOnlyWholeSongsFromABrokenFile) {
    const QByteArray twoAndOne = blockBytes({kOne, kTwo}) + blockBytes({kThree});
    const QByteArray rest = twoAndOne.mid(3);  // after the first count line
    const std::vector<FileCase> cases = {
        {"0 and 1", blockBytes({}) + blockBytes({kThree}) + "ignored\r\n", {}, {kThree}, false},
        {"LF ends", blockBytes({}, "\n") + blockBytes({kThree}, "\n"), {}, {kThree}, false},
        {"blanks and a negative count", "-3\r\n 1 \r\n" + blockBytes({kTwo}).mid(3), {}, {kTwo}, false},
        {"count not a number", "x\r\n" + rest, {}, {}, true},
        {"empty count", "\r\n" + rest, {}, {}, true},
        {"fractional count", "1.5\r\n" + rest, {}, {}, true},
        {"count past 16 bits", "40000\r\n" + rest, {}, {}, true},
        {"deck B's count broken", blockBytes({kOne, kTwo}) + "two\r\n", {kOne, kTwo}, {}, true},
        {"ends in deck A's last column", twoAndOne.left(twoAndOne.indexOf(" 181.5")), {kOne}, {}, true},
        {"ends after deck A", blockBytes({kOne, kTwo}), {kOne, kTwo}, {}, true},
        {"huge count, few lines", "32767\r\na\r\nb\r\n", {}, {}, true},
        {"empty file", "", {}, {}, true},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.shown.clear();
        setLists({kThree}, {kThree});
        writeBytes("case.lis", c.bytes);
        loadFrom("case.lis");
        EXPECT_EQ(rowsOf(lists_[0]), c.a);
        EXPECT_EQ(rowsOf(lists_[1]), c.b);
        EXPECT_EQ(lists_[1].current(), c.broken || c.b.empty() ? -1 : 0);
        if (c.broken)
            EXPECT_TRUE(saysCannotRead(messages_.texts(), path("case.lis"),
                                       QStringLiteral("曲リストの形式が途中で崩れています。")))
                << messages_.texts().join('|').toStdString();
        else
            EXPECT_TRUE(messages_.texts().isEmpty());
    }
}

TEST_F(ListFileTest, ReadsShiftJisListsFromOlderSystemsAndSkipsAUtf8ByteOrderMark) {
    // "/m/曲.mp3" and "ﾌｧｲﾙ～①.mp3" in CP932: a kanji, half-width katakana and two characters that only
    // the Windows variant of Shift-JIS maps this way.
    const QByteArray path932 = "/m/\x8B\xC8.mp3";
    const QByteArray title932 = "\xCC\xA7\xB2\xD9\x81\x60\x87\x40.mp3";
    const Row song{"/m/曲.mp3", "ﾌｧｲﾙ\uFF5E①.mp3", "100", " 2000", "-1", "-1", "-1"};
    const QByteArray tail = "\r\n100\r\n 2000\r\n-1\r\n-1\r\n-1\r\n0\r\n";
    writeBytes("old.lis", "1\r\n" + path932 + "\r\n" + title932 + tail);
    loadFrom("old.lis");
    EXPECT_EQ(rowsOf(lists_[0]), Rows{song});
    // The fallback for Qt builds without CP932 reads it the same way.
    EXPECT_EQ(base::decodeCp932WithIconv(title932), song[kTitle]);

    writeBytes("bom.lis",
               "\xEF\xBB\xBF"
               "1\r\n" +
                   song[kPath].toUtf8() + "\r\n" + song[kTitle].toUtf8() + tail);
    setLists({}, {});
    loadFrom("bom.lis");
    EXPECT_EQ(rowsOf(lists_[0]), Rows{song});
    EXPECT_TRUE(messages_.shown.empty());
}

// A name whose bytes are Shift-JIS ("青い空.wav" and a folder "曲") is kept as those bytes: the list file
// holds it as a file URL, so the file stays UTF-8 and an older system's list still reads as before; names
// that are UTF-8 are written exactly as they always were.
TEST_F(ListFileTest, ANameThatIsNotUtf8ComesBackAsItsOwnBytes) {
    const QByteArray sjis = "/m/\x8B\xC8/\x90\xC2\x82\xA2\x8B\xF3.wav";
    const QString name = base::fileNameFromBytes(sjis);
    ASSERT_EQ(base::fileNameBytes(name), sjis);
    EXPECT_EQ(base::readableFileName(name), QStringLiteral("/m/曲/青い空.wav"));
    const Row song{name, base::readableTitleOf(name), "100", " 2000", "-1", "-1", "-1"};
    setLists({kOne, song}, {kTwo});
    saveAs("sjis.lis");
    const QByteArray bytes = bytesOf("sjis.lis");
    EXPECT_TRUE(bytes.startsWith("2\r\n" + kOne[kPath].toUtf8() +
                                 "\r\nfile:///m/%8B%C8/%90%C2%82%A2%8B%F3.wav\r\n" + kOne[kTitle].toUtf8() +
                                 "\r\n" + QStringLiteral("青い空.wav").toUtf8() + "\r\n"))
        << bytes.toStdString();
    setLists({}, {});
    loadFrom("sjis.lis");
    ASSERT_EQ(rowsOf(lists_[0]), (Rows{kOne, song}));
    EXPECT_EQ(base::fileNameBytes(lists_[0].field(kPath, 1)), sjis);

    // Any bytes at all come back as they were; UTF-8 reads as its characters.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int round = 0; round < 2000; ++round) {
        QByteArray raw(round % 40, Qt::Uninitialized);
        for (char& c : raw) c = static_cast<char>(byte(random));
        ASSERT_EQ(base::fileNameBytes(base::fileNameFromBytes(raw)), raw) << raw.toHex().toStdString();
        ASSERT_EQ(base::fileNameOfLine(base::fileNameLine(base::fileNameFromBytes(raw))), base::fileNameFromBytes(raw));
        if (const QString text = QString::fromUtf8(raw); text.toUtf8() == raw) {
            ASSERT_EQ(base::fileNameFromBytes(raw), text);
        }
    }
    EXPECT_EQ(base::fileNameOfLine(base::fileNameLine(QStringLiteral("file://a%41"))), QStringLiteral("file://a%41"));
    EXPECT_EQ(base::fileNameFromBytes("\xF0\x9F\x8E\xB5 x.mp3"), QStringLiteral("🎵 x.mp3"));
    EXPECT_EQ(base::fileNameBytes(QStringLiteral("🎵 x.mp3")), QStringLiteral("🎵 x.mp3").toUtf8());
}

TEST_F(ListFileTest, ALineBreakInsideATextCannotShiftTheLinesAfterIt) {
    setLists({Row{"/m/a\nb.mp3", "a\r\nb.mp3", "100", " 2000", "-1", "-1", "-1"}, kTwo}, {kThree});
    saveAs("breaks.lis");
    EXPECT_EQ(bytesOf("breaks.lis").count("\n"), 23);
    loadFrom("breaks.lis");
    EXPECT_EQ(lists_[0].field(kTitle, 0), QStringLiteral("a\uFFFD\uFFFDb.mp3"));
    EXPECT_EQ(lists_[0].row(1), kTwo);
    EXPECT_EQ(rowsOf(lists_[1]), Rows{kThree});
}

TEST_F(ListFileTest, ClearingAsksFirstAndEmptiesBothListsOnlyOnYes) {
    setLists({kOne}, {kTwo});
    messages_.answer = base::MessageAnswer::No;
    file_.clear();
    EXPECT_EQ(lists_[0].count() + lists_[1].count(), 2);
    messages_.answer = base::MessageAnswer::Yes;
    file_.clear();
    EXPECT_EQ(lists_[0].count() + lists_[1].count(), 0);
    EXPECT_EQ(messages_.shown[0].text, "ソングリストをクリアしますか？");
    EXPECT_EQ(messages_.shown[0].buttons, base::MessageButtons::YesNo);
    EXPECT_EQ(messages_.shown[0].icon, base::MessageIcon::Question);
}

}  // namespace
}  // namespace korvex::songlist
