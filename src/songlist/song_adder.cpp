#include "songlist/song_adder.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <algorithm>
#include <string>

#include "platform/decode/decoder.h"
#include "base/file_names.h"
#include "songlist/music_files.h"

namespace korvex::songlist {

namespace {

// The player's play state while it plays.
constexpr int kPlaying = 2;

// "ファイルが読み込めません。", then the file, then what went wrong and what to do (`why`, one or more
// lines).
QString cannotReadMessage(const QString& path, const QString& why) {
    return QStringLiteral("ファイルが読み込めません。\n") + base::readableFileName(path) + u'\n' + why;
}

QString listFullText() {
    return QStringLiteral("曲リストがいっぱいです（%1 曲）。\n曲をいくつか削除してから追加してください。")
        .arg(kMaxEntries);
}

QString folderUnreadableText() {
    return QStringLiteral(
        "フォルダーの中を読み取れません。\nフォルダーの権限を確かめてから、もう一度ドロップしてください。");
}

// Why the player refused a file, as it says it; a general reason when it cannot tell.
QString refusalText(const DeckPlayer& player) {
    const std::string why = player.problemForUser();
    if (!why.empty()) return QString::fromStdString(why);
    return QStringLiteral("ファイルが壊れているか、対応していない形式です。\n別のファイルを選んでください。");
}

bool isDeck(int deck) {
    return deck == 0 || deck == 1;
}

// The part of `path` after its last "/" (all of it when there is none), as the operator reads it.
QString titleOf(const QString& path) {
    return base::readableTitleOf(path);
}

// `folder` with exactly one "/" after it, so a dropped "/music/" and "/music" give the same song paths.
QString folderPrefix(const QString& folder) {
    qsizetype end = folder.size();
    while (end > 0 && folder[end - 1] == u'/') --end;
    return folder.left(end) + u'/';
}

// Name order of a folder's songs: case-insensitive, with names differing only in case kept apart the
// same way every time.
bool nameBefore(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

QString dirOf(const QString& path) {
    return path.left(path.lastIndexOf(u'/') + 1);
}

QString defaultDialogFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

SongAdder::SongAdder(std::array<SongList*, 2> lists, std::array<DeckPlayer*, 2> players, DialogState& dialog,
                     FileDialogs& dialogs, DeckLoadTarget& target, const int& newtrim)
    : lists_(lists),
      players_(players),
      dialog_(dialog),
      dialogs_(dialogs),
      target_(target),
      newtrim_(newtrim) {}

void SongAdder::addsongs(int deck) {
    if (!isDeck(deck)) return;
    dialog_.fileName.clear();
    dialog_.title = QStringLiteral("Open music File ");
    dialog_.defaultExtension = QStringLiteral(".*");
    dialog_.filter = musicFilter();
    if (dialog_.initialFolder.isEmpty()) dialog_.initialFolder = defaultDialogFolder();

    QStringList chosen;
    const SongChoice choice = dialogs_.showOpenSongs(dialog_, chosen);
    if (choice == SongChoice::kCancelled || chosen.isEmpty() || chosen.first().isEmpty()) return;
    if (choice == SongChoice::kFolder) {
        musicFolder_ = folderPrefix(chosen.first());
        dialog_.initialFolder = musicFolder_;
        drop(deck, {chosen.first()}, false);
        return;
    }
    musicFolder_ = dirOf(chosen.first());
    dialog_.initialFolder = musicFolder_;

    // A full list or a file the player refuses leaves the list and the deck as they were; the files after
    // a refused one are still added, and one message names the first refused file.
    SongList& list = *lists_[deck];
    QString refused;
    QString refusedWhy;
    qsizetype refusedCount = 0;
    for (const QString& path : chosen) {
        if (list.isFull()) {
            target_.showMessage(cannotReadMessage(path, listFullText()));
            return;
        }
        if (QString why; !openInPlayer(deck, path, why)) {
            if (refusedCount++ == 0) {
                refused = path;
                refusedWhy = why;
            }
            continue;
        }
        const QString title = titleOf(path);
        list.append(path, title, newtrim_);
        target_.songAdded(deck, title);
    }
    if (refusedCount == 0) return;
    QString text = cannotReadMessage(refused, refusedWhy);
    if (refusedCount > 1)
        text += QStringLiteral("\n（ほかに %1 個のファイルも読み込めませんでした。）").arg(refusedCount - 1);
    target_.showMessage(text);
}

void SongAdder::drop(int deck, const QStringList& paths, bool shift) {
    if (!isDeck(deck)) return;
    std::array<bool, 2> received{false, false};
    int lastReceiver = -1;
    // Appends to the deck in effect; false when its list is full.
    auto add = [&](const QString& path, const QString& title) {
        if (!lists_[deck]->append(path, title, newtrim_)) return false;
        received[deck] = true;
        lastReceiver = deck;
        return true;
    };
    // Ends the drop; what was added stays and nothing is loaded.
    auto fail = [&](const QString& path, const QString& why) {
        target_.showMessage(cannotReadMessage(path, why));
    };

    for (const QString& item : paths) {
        if (hasMusicEnding(item) && !add(item, titleOf(item))) return fail(item, listFullText());
        if (!base::isFolder(item)) continue;
        const std::optional<QStringList> songs = folderSongs(item);
        if (!songs) return fail(item, folderUnreadableText());
        const QString prefix = folderPrefix(item);
        for (const QString& name : *songs) {
            if (!add(prefix + name, titleOf(name))) return fail(prefix + name, listFullText());
            if (shift) deck = 1 - deck;
        }
    }

    // The deck in effect loads its current entry, which is its last one added. When the switching ended on
    // a deck this drop gave nothing, the deck that got the last song loads instead, so a drop never
    // reloads an untouched deck; a drop that added nothing loads nothing.
    if (lastReceiver < 0) return;
    const int loadDeck = received[deck] ? deck : lastReceiver;
    if (target_.keepsLiveDeck(loadDeck)) return;
    const SongList& list = *lists_[loadDeck];
    const int index = list.current();
    const QString path = list.field(kPath, index);
    if (QString why; !openInPlayer(loadDeck, path, why)) return fail(path, why);
    target_.dropLoaded(loadDeck, list.field(kTitle, index));
}

void SongAdder::openFiles(int deck, const QStringList& paths) {
    if (!isDeck(deck) || paths.isEmpty()) return;
    SongList& list = *lists_[deck];
    QStringList refused;
    // Files handed over from outside (a file manager's "open with") never cut a playing deck, whatever the
    // protection setting: they only join its list.
    const bool keepPlaying = players_[deck]->playState() == kPlaying || target_.keepsLiveDeck(deck);
    // The list's current entry stays the song the deck plays, so the list keys and continuous play go on
    // from there.
    const int playingRow = list.current();
    const auto keepCurrent = qScopeGuard([&] {
        if (keepPlaying) list.select(playingRow);
    });
    for (const QString& path : paths) {
        if (list.isFull()) {
            refused << base::readableFileName(path) + u'\n' + listFullText();
            break;
        }
        // Unopened, a file still has to be one: a folder or a pipe never joins the list.
        if (decode::Refusal problem; keepPlaying && !decode::checkOrdinaryFile(base::fileNameString(path), problem)) {
            refused << base::readableFileName(path) + u'\n' + QString::fromStdString(decode::japaneseText(problem));
            continue;
        }
        if (QString why; !keepPlaying && !openInPlayer(deck, path, why)) {
            refused << base::readableFileName(path) + u'\n' + why;
            continue;
        }
        const QString title = titleOf(path);
        list.append(path, title, newtrim_);
        if (!keepPlaying) target_.songAdded(deck, title);
    }
    if (!refused.isEmpty())
        target_.showMessage(QStringLiteral("ファイルが読み込めません。\n") + refused.join(QStringLiteral("\n\n")));
}

bool SongAdder::openInPlayer(int deck, const QString& path, QString& why) {
    DeckPlayer& player = *players_[deck];
    const std::string previous = player.fileName();
    const double position = player.currentPosition();
    const bool playing = player.playState() == kPlaying;
    player.setFileName(base::fileNameString(path));
    if (!player.hasError()) return true;
    why = refusalText(player);

    player.setFileName(previous);
    if (!previous.empty()) {
        player.setCurrentPosition(position);
        if (playing) player.play();
    }
    return false;
}

std::optional<QStringList> SongAdder::folderSongs(const QString& folder) {
    // Ordinary files only (links followed), names beginning with "." left out; listed by their bytes, so a
    // name that is not UTF-8 is found as it is.
    const std::optional<QStringList> files = base::filesInFolder(folder);
    if (!files) return std::nullopt;
    QStringList songs;
    for (const MusicKind& kind : musicKinds()) {
        // Endings match without regard to case; each kind's songs follow the kind before.
        QStringList names;
        for (const QString& name : *files)
            if (name.endsWith(QLatin1StringView(kind.ending), Qt::CaseInsensitive)) names << name;
        std::sort(names.begin(), names.end(), nameBefore);
        songs += names;
    }
    return songs;
}

}  // namespace korvex::songlist
