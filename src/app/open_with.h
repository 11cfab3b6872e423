#pragma once
// Hands the music files of a second start ("korvex SONG...", a file manager's "open with") to the player
// that already runs, through a local socket in the user's runtime folder.
//
// Why it is shaped this way: the single-instance lock says whether a player runs, not how to reach it. The
// running player listens on `<runtime folder>/korvex/open-with`; a second start that is refused by the lock
// connects there, sends its files and ends. The folder is the user's own (mode 0700, checked to belong to
// the user before anything in it is used), the socket 0600, and the listening side also asks the kernel who
// connected: another user's socket is never connected to, another user's connection never read. A socket
// left by a player that crashed is removed by the next one that listens (it holds the lock, so no player
// listens there any more).
//
// Paths travel as bytes, each made absolute by the sender (a relative one against its own working folder),
// so names that are not UTF-8 arrive as they were given. The message is "KORVEX-OPEN 1\n", then each path
// as a 32-bit big-endian length and its bytes, then the length 0xFFFFFFFF; the player answers "OK\n" once
// it has taken them.
//
// Everything here runs on the user-interface thread.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;

namespace korvex::app {

// The socket in the runtime folder `runtimeFolder` (the user's runtime folder when empty).
QString openWithSocketPath(const QString& runtimeFolder = {});

// The music file arguments of a command line as absolute paths, in bytes: a relative one is resolved against
// `workingFolder` (bytes, no trailing "/").
QList<QByteArray> absoluteFileArguments(const std::vector<std::string>& files,
                                        const QByteArray& workingFolder);
// The current working folder as bytes.
QByteArray workingFolderBytes();

// A path's bytes as the player names files: UTF-8, or, for names from older systems that are not, CP932;
// "." and ".." steps and doubled "/" are taken out.
QString pathFromBytes(const QByteArray& bytes);

// Sends `paths` to the player listening at `socketPath` and waits up to `timeoutMs` for it to take them
// (retrying while a player that is starting has not begun to listen). True once it has them. False when
// nothing listens there in that time, or the folder or socket is not the user's own.
bool sendToRunningPlayer(const QString& socketPath, const QList<QByteArray>& paths, int timeoutMs);

// The running player's side.
class OpenWithServer {
public:
    explicit OpenWithServer(QString socketPath);
    ~OpenWithServer();
    OpenWithServer(const OpenWithServer&) = delete;
    OpenWithServer& operator=(const OpenWithServer&) = delete;

    // Makes the folder (0700) and listens, after removing a socket a crashed player left. False, said once
    // on stderr, when the folder is not the user's own or the socket cannot be made; the player then runs
    // without it.
    bool listen();
    bool listening() const;

    // Called with the paths of each second start, in the order given.
    std::function<void(const QStringList& paths)> onFiles;

private:
    void accept();

    QString path_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace korvex::app
