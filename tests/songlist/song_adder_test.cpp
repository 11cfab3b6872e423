#include "songlist/song_adder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "songlist/music_files.h"
#include "songlist/songlist_fakes.h"

namespace korvex::songlist {
namespace {

using testing::FakeDeckSide;
using testing::FakeDialogs;
using testing::FakePlayer;

// The message box of a file that cannot be added: the program's text, the file, why and what to do.
QString cannotRead(const QString& path, const QString& why) {
    return QStringLiteral("message ファイルが読み込めません。\n") + path + u'\n' + why;
}
const QString kBroken = QStringLiteral("壊れています。\n別の曲を選んでください。");
const QString kListFull =
    QStringLiteral("曲リストがいっぱいです（32767 曲）。\n曲をいくつか削除してから追加してください。");

class SongAdderTest : public ::testing::Test {
protected:
    // Creates the file or folder (a name ending in "/") `name` under the temporary folder; its full path.
    QString make(const QString& name) {
        const QString path = tmp_.path() + u'/' + name;
        if (name.endsWith(u'/')) {
            EXPECT_TRUE(QDir().mkpath(path));
            return path.chopped(1);
        }
        QDir().mkpath(dirOf(path));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }
    QStringList titles(int deck) const {
        QStringList texts;
        for (int i = 0; i < lists_[deck].count(); ++i) texts << lists_[deck].field(kTitle, i);
        return texts;
    }

    QTemporaryDir tmp_;
    std::array<SongList, 2> lists_;
    std::array<FakePlayer, 2> players_;
    DialogState dialog_;
    FakeDialogs dialogs_;
    FakeDeckSide deckSide_;
    int newtrim_ = 20;
    SongAdder adder_{
        {&lists_[0], &lists_[1]}, {&players_[0], &players_[1]}, dialog_, dialogs_, deckSide_, newtrim_};
};

TEST_F(SongAdderTest, DropTakesTheEndingsOfEveryKindInAnyCase) {
    QStringList items;
    for (const char* name : {"A.MP3", "b.wma", "c.mp3", "d.wav", "e.mid", "f.wmd", "g.txt", "h.mpg", "i.FLAC",
                             "j.Opus", "k.ogg.txt", "l.m4a", "m.AIFF", "n.wv", "o.flac.bak"})
        items << make(name);
    adder_.drop(0, items, false);
    EXPECT_EQ(titles(0), QStringList({"A.MP3", "b.wma", "c.mp3", "d.wav", "e.mid", "f.wmd", "h.mpg", "i.FLAC",
                                      "j.Opus", "l.m4a", "m.AIFF", "n.wv"}));
    EXPECT_EQ(lists_[0].field(kPath, 2), items[2]);
    EXPECT_EQ(lists_[0].row(4)[kVolume], " 2000");
    EXPECT_EQ(players_[0].opened, std::vector<std::string>{items[13].toStdString()});
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 0 n.wv"});
    EXPECT_TRUE(players_[1].opened.empty());
}

// The endings the drops take are what the open dialog offers and what the desktop entry names.
TEST_F(SongAdderTest, TheDialogFilterAndTheDesktopEntryNameTheSameKinds) {
    QStringList patterns;
    for (const MusicKind& kind : musicKinds()) patterns << u'*' + QLatin1StringView(kind.ending);
    const QString list = patterns.join(u';') + u';';
    EXPECT_EQ(musicFilter(), u'(' + list + QStringLiteral(")|") + list);
    for (const QString& pattern : patterns) EXPECT_TRUE(hasMusicEnding(QStringLiteral("x") + pattern.mid(1).toUpper()));

    QFile desktop(QStringLiteral(KORVEX_TEST_DATA "/../../dist/org.korvex.Korvex.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    QStringList types;
    for (const QByteArray& line : desktop.readAll().split('\n'))
        if (line.startsWith("MimeType=")) types = QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    EXPECT_EQ(types, musicMimeTypes());
    for (const char* type : {"audio/flac", "audio/ogg", "audio/x-opus+ogg", "audio/mp4", "audio/aac", "audio/x-aiff",
                             "audio/x-wavpack", "audio/mpeg", "audio/x-ms-wma", "audio/midi", "video/mpeg"})
        EXPECT_TRUE(types.contains(QLatin1StringView(type))) << type;
}

// Several files from the open dialog: each the player opens is added in order and the last stays loaded;
// one message names the first that it refused. The dialog's folder button adds a folder as a drop does.
TEST_F(SongAdderTest, TheOpenDialogAddsSeveralFilesOrAFolder) {
    const QStringList files{make("one.flac"), make("broken.ogg"), make("two.m4a"), make("broken2.wv"),
                            make("three.OPUS")};
    dialogs_.many = files;
    adder_.addsongs(1);
    EXPECT_EQ(titles(1), QStringList({"one.flac", "two.m4a", "three.OPUS"}));
    ASSERT_EQ(deckSide_.calls.size(), 4);
    EXPECT_EQ(deckSide_.calls.mid(0, 3), QStringList({"added 1 one.flac", "added 1 two.m4a", "added 1 three.OPUS"}));
    EXPECT_TRUE(deckSide_.calls[3].startsWith(cannotRead(files[1], kBroken)));
    EXPECT_TRUE(deckSide_.calls[3].endsWith(QStringLiteral("（ほかに 1 個のファイルも読み込めませんでした。）")));
    EXPECT_EQ(players_[1].fileName(), files[4].toStdString());
    EXPECT_EQ(adder_.musicFolder(), tmp_.path() + u'/');

    make("box/b.mp3");
    make("box/a.WV");
    deckSide_.calls.clear();
    dialogs_.many = QStringList{tmp_.path() + "/box"};
    dialogs_.folder = true;
    adder_.addsongs(0);
    EXPECT_EQ(titles(0), QStringList({"b.mp3", "a.WV"}));
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 0 a.WV"});
    EXPECT_EQ(dialog_.initialFolder, tmp_.path() + "/box/");
}

TEST_F(SongAdderTest, DroppedFolderGivesItsOrdinarySongsByPatternThenName) {
    for (const char* name : {"b.MP3", "A.mp3", "c.Wav", "a.mid", "z.wmd", "y.mpg", "x.wma", ".hidden.mp3",
                             "notes.txt", "inner/s.mp3", "dir.mp3/", "w.WV", "q.aif", "k.M4A", "j.flac", "o.OGG"})
        make(QStringLiteral("box/") + name);
    adder_.drop(1, {make("box/") + u'/'}, false);
    EXPECT_EQ(titles(1), QStringList({"A.mp3", "b.MP3", "c.Wav", "a.mid", "z.wmd", "x.wma", "y.mpg", "j.flac",
                                      "o.OGG", "k.M4A", "q.aif", "w.WV"}));
    EXPECT_EQ(lists_[1].field(kPath, 0), tmp_.path() + "/box/A.mp3");
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 1 w.WV"});
    EXPECT_EQ(lists_[0].count(), 0);
}

TEST_F(SongAdderTest, FolderNamedLikeASongIsAddedAndScanned) {
    make("set.mp3/one.wav");
    adder_.drop(0, {tmp_.path() + "/set.mp3"}, false);
    EXPECT_EQ(titles(0), QStringList({"set.mp3", "one.wav"}));
    EXPECT_EQ(lists_[0].field(kPath, 1), tmp_.path() + "/set.mp3/one.wav");
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 0 one.wav"});
}

TEST_F(SongAdderTest, ShiftSendsFolderSongsToTheDecksInTurn) {
    QStringList items;
    for (const char* name :
         {"f1.mp3", "f2.mp3", "f3.mp3", "box/s1.mp3", "box/s2.mp3", "box/s3.mp3", "box/s4.mp3"})
        items << make(name);
    adder_.drop(0, {items[0], items[1], items[2], tmp_.path() + "/box"}, true);
    EXPECT_EQ(titles(0), QStringList({"f1.mp3", "f2.mp3", "f3.mp3", "s1.mp3", "s3.mp3"}));
    EXPECT_EQ(titles(1), QStringList({"s2.mp3", "s4.mp3"}));
    // Four switches end on deck A, which loads its last entry; B keeps what it plays.
    EXPECT_EQ(players_[0].opened, std::vector<std::string>{items[5].toStdString()});
    EXPECT_TRUE(players_[1].opened.empty());
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 0 s3.mp3"});
}

TEST_F(SongAdderTest, DropLoadsOnlyADeckItGaveSongsTo) {
    make("one/only.mp3");
    lists_[1].append("/m/playing.mp3", "playing.mp3", 20);
    adder_.drop(0, {tmp_.path() + "/one"}, true);  // the switch ends on B, which got nothing
    EXPECT_EQ(deckSide_.calls, QStringList{"loaded 0 only.mp3"});
    EXPECT_TRUE(players_[1].opened.empty());

    deckSide_.calls.clear();
    adder_.drop(1, {make("x.WMA.txt"), make("y.MP4A")}, false);  // adds nothing
    adder_.drop(1, {}, false);
    EXPECT_TRUE(deckSide_.calls.isEmpty());
    EXPECT_TRUE(players_[1].opened.empty());
}

TEST_F(SongAdderTest, FailedDropKeepsWhatItAddedAndLoadsNothing) {
    players_[0].setFileName("/m/live.mp3");
    players_[0].position = 42.0;
    players_[0].play();
    const QString broken = make("broken.mp3");
    adder_.drop(0, {make("ok.mp3"), broken}, false);
    EXPECT_EQ(titles(0), QStringList({"ok.mp3", "broken.mp3"}));
    EXPECT_EQ(deckSide_.calls, QStringList{cannotRead(broken, kBroken)}) << "names the file and says why";
    // The deck goes on with what it played.
    EXPECT_EQ(players_[0].file, "/m/live.mp3");
    EXPECT_EQ(players_[0].position, 42.0);
    EXPECT_EQ(players_[0].state, 2);

    // A full list ends the drop at the first song it cannot take.
    for (int i = lists_[1].count(); i < kMaxEntries - 1; ++i) lists_[1].appendRow({});
    deckSide_.calls.clear();
    adder_.drop(1, {make("p.mp3"), make("q.mp3"), make("r.mp3")}, false);
    EXPECT_EQ(lists_[1].count(), kMaxEntries);
    EXPECT_EQ(lists_[1].field(kTitle, kMaxEntries - 1), "p.mp3");
    EXPECT_EQ(deckSide_.calls, QStringList{cannotRead(tmp_.path() + "/q.mp3", kListFull)});
    EXPECT_TRUE(players_[1].opened.empty());
}

TEST_F(SongAdderTest, FolderThatCannotBeListedEndsTheDrop) {
    const QString locked = make("locked/");
    make("locked/in.mp3");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (QDir(locked).isReadable()) GTEST_SKIP() << "permissions do not bind this user";
    adder_.drop(0, {make("a.mp3"), locked, make("b.mp3")}, false);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(titles(0), QStringList{"a.mp3"});
    EXPECT_EQ(deckSide_.calls,
              QStringList{cannotRead(
                  locked, QStringLiteral("フォルダーの中を読み取れません。\nフォルダーの権限を確かめてから、"
                                         "もう一度ドロップしてください。"))});
    EXPECT_TRUE(players_[0].opened.empty());
}

TEST_F(SongAdderTest, CancelledDialogChangesNothing) {
    adder_.addsongs(0);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].filter, musicFilter());
    EXPECT_EQ(dialogs_.shown[0].initialFolder, defaultDialogFolder());
    EXPECT_FALSE(dialogs_.shown[0].initialFolder.isEmpty());
    EXPECT_EQ(adder_.musicFolder(), "");
    EXPECT_EQ(lists_[0].count(), 0);
    EXPECT_TRUE(players_[0].opened.empty());
    EXPECT_TRUE(deckSide_.calls.isEmpty());
}

TEST_F(SongAdderTest, ChosenSongIsAddedLoadedAndItsFolderOpensNext) {
    const QString song = make("music/song.mp3");
    dialog_.fileName = "left over";
    dialogs_.answer = song;
    newtrim_ = 0;
    adder_.addsongs(1);
    EXPECT_EQ(dialogs_.shown[0].fileName, "");
    EXPECT_EQ(lists_[1].row(0),
              (std::array<QString, kColumnCount>{song, "song.mp3", "100", " 4000", "-1", "-1", "-1"}));
    EXPECT_EQ(lists_[1].selected(kEnd), 0);
    EXPECT_EQ(players_[1].file, song.toStdString());
    EXPECT_EQ(deckSide_.calls, QStringList{"added 1 song.mp3"});
    EXPECT_EQ(adder_.musicFolder(), tmp_.path() + "/music/");

    dialogs_.answer.reset();
    adder_.addsongs(0);
    EXPECT_EQ(dialogs_.shown[1].initialFolder, tmp_.path() + "/music/");
    EXPECT_EQ(adder_.musicFolder(), tmp_.path() + "/music/");
}

TEST_F(SongAdderTest, SongThePlayerRefusesIsNotAdded) {
    players_[0].setFileName("/m/live.mp3");
    players_[0].position = 7.5;
    const QString broken = make("other/broken.mp3");
    dialogs_.answer = broken;
    adder_.addsongs(0);
    EXPECT_EQ(lists_[0].count(), 0);
    EXPECT_EQ(deckSide_.calls, QStringList{cannotRead(broken, kBroken)});
    EXPECT_EQ(players_[0].file, "/m/live.mp3");
    EXPECT_EQ(players_[0].position, 7.5);
    EXPECT_EQ(players_[0].state, 0);
    EXPECT_EQ(adder_.musicFolder(), tmp_.path() + "/other/");

    // Nor is any song added to a full list, and the deck is not touched.
    for (int i = 0; i < kMaxEntries; ++i) lists_[0].appendRow({});
    players_[0].opened.clear();
    deckSide_.calls.clear();
    const QString fine = make("fine.mp3");
    dialogs_.answer = fine;
    adder_.addsongs(0);
    EXPECT_EQ(lists_[0].count(), kMaxEntries);
    EXPECT_TRUE(players_[0].opened.empty());
    EXPECT_EQ(deckSide_.calls, QStringList{cannotRead(fine, kListFull)});
}

}  // namespace
}  // namespace korvex::songlist
