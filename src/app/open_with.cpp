#include "app/open_with.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <cstdio>
#include <optional>

#include "base/file_names.h"
#include "base/text_lines.h"

namespace korvex::app {
namespace {

constexpr char kFolderName[] = "korvex";
constexpr char kSocketName[] = "open-with";
constexpr char kHeader[] = "KORVEX-OPEN 1\n";
constexpr char kAnswer[] = "OK\n";
constexpr quint32 kEnd = 0xFFFFFFFFu;
// No path is longer than this, no second start names more songs than a list holds, and no message is
// larger than this: anything beyond is not a second start's.
constexpr quint32 kMaxPathBytes = 16 * 1024;
constexpr qsizetype kMaxPaths = 32767;
constexpr qsizetype kMaxMessageBytes = 16 * 1024 * 1024;
// A second start that connects and then says nothing is let go after this.
constexpr int kReadLimitMs = 5000;
// Between two tries to reach a player that is still starting.
constexpr int kRetryMs = 50;

// True when `path` is a folder (not a link to one) of this user that no one else may enter; a folder of
// ours with looser rights is tightened first when `tighten` is set.
bool ownFolder(const QByteArray& path, bool tighten) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 077) == 0) return true;
    return tighten && ::chmod(path.constData(), 0700) == 0;
}

// True when something (a broken link included) is at `path`.
bool exists(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

// True when `path` is a socket of this user.
bool ownSocket(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid();
}

QByteArray folderOf(const QString& socketPath) {
    return QFile::encodeName(QFileInfo(socketPath).path());
}

// True when the process at the other end of `socket` runs as this user.
bool sameUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::geteuid();
}

void say(const QString& text) {
    std::fprintf(stderr, "korvex: %s\n", text.toLocal8Bit().constData());
}

QByteArray message(const QList<QByteArray>& paths) {
    QByteArray bytes(kHeader);
    auto length = [&bytes](quint32 n) {
        const quint32 big = qToBigEndian(n);
        bytes.append(reinterpret_cast<const char*>(&big), sizeof big);
    };
    for (const QByteArray& path : paths) {
        length(static_cast<quint32>(path.size()));
        bytes += path;
    }
    length(kEnd);
    return bytes;
}

enum class Parse { More, Bad, Done };

// Reads a whole message from `data` into `paths`.
Parse parse(const QByteArray& data, QList<QByteArray>& paths) {
    paths.clear();
    const QByteArray header(kHeader);
    if (data.size() < header.size()) return header.startsWith(data) ? Parse::More : Parse::Bad;
    if (!data.startsWith(header)) return Parse::Bad;
    qsizetype at = header.size();
    for (;;) {
        if (at + 4 > data.size()) return Parse::More;
        const quint32 size = qFromBigEndian<quint32>(data.constData() + at);
        at += 4;
        if (size == kEnd) return at == data.size() ? Parse::Done : Parse::Bad;
        if (size == 0 || size > kMaxPathBytes || paths.size() >= kMaxPaths) return Parse::Bad;
        if (at + static_cast<qsizetype>(size) > data.size()) return Parse::More;
        paths << data.mid(at, size);
        at += size;
    }
}

}  // namespace

QString openWithSocketPath(const QString& runtimeFolder) {
    const QString folder = runtimeFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                               : runtimeFolder;
    if (folder.isEmpty()) return {};
    return folder + u'/' + QLatin1String(kFolderName) + u'/' + QLatin1String(kSocketName);
}

QList<QByteArray> absoluteFileArguments(const std::vector<std::string>& files,
                                        const QByteArray& workingFolder) {
    QList<QByteArray> paths;
    for (const std::string& file : files) {
        if (file.empty()) continue;
        const QByteArray path = QByteArray::fromStdString(file);
        paths << (path.startsWith('/') ? path : workingFolder + '/' + path);
    }
    return paths;
}

QByteArray workingFolderBytes() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return QByteArray(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20)) return QFile::encodeName(QDir::currentPath());
        buffer.resize(buffer.size() * 2);
    }
}

QString pathFromBytes(const QByteArray& bytes) {
    // Byte for byte: a name from an older system (Shift-JIS) still opens, and shows readably.
    return QDir::cleanPath(base::fileNameFromBytes(bytes));
}

bool sendToRunningPlayer(const QString& socketPath, const QList<QByteArray>& paths, int timeoutMs) {
    if (socketPath.isEmpty()) return false;
    const QByteArray socketBytes = QFile::encodeName(socketPath);
    const QByteArray bytes = message(paths);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        // Another user's folder or socket is never used, however it came to be there. A folder or socket
        // that is not there yet may be a starting player's.
        const QByteArray folder = folderOf(socketPath);
        if (exists(folder) && !ownFolder(folder, false)) return false;
        if (ownSocket(socketBytes)) {
            QLocalSocket socket;
            socket.connectToServer(socketPath);
            if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
                socket.write(bytes);
                while (socket.bytesToWrite() > 0 &&
                       socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
                }
                QByteArray answer;
                while (answer.size() < qsizetype(sizeof kAnswer - 1) &&
                       socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                    answer += socket.readAll();
                return answer == kAnswer;
            }
        } else if (exists(socketBytes)) {
            return false;
        }
        // A player that is still starting may not listen yet.
        if (deadline.hasExpired() || deadline.remainingTime() < kRetryMs) return false;
        QThread::msleep(kRetryMs);
    }
}

OpenWithServer::OpenWithServer(QString socketPath) : path_(std::move(socketPath)) {}

OpenWithServer::~OpenWithServer() = default;

bool OpenWithServer::listening() const {
    return server_ != nullptr && server_->isListening();
}

bool OpenWithServer::listen() {
    if (path_.isEmpty() || listening()) return listening();
    const QByteArray folder = folderOf(path_);
    const QByteArray socket = QFile::encodeName(path_);
    ::mkdir(folder.constData(), 0700);
    if (!ownFolder(folder, true)) {
        say(QStringLiteral("%1 があなたのフォルダーではないため、ほかから開いた曲を受け取れません。"
                           "このフォルダーを削除してから Korvex を起動し直してください。")
                .arg(QFile::decodeName(folder)));
        return false;
    }
    struct stat info {};
    if (::lstat(socket.constData(), &info) == 0) {
        if (!ownSocket(socket)) {
            say(QStringLiteral("%1 があなたのソケットではないため、ほかから開いた曲を受け取れません。"
                               "このファイルを削除してから Korvex を起動し直してください。")
                    .arg(path_));
            return false;
        }
        // A socket that answers belongs to a player running without the single-instance guard: it stays.
        QLocalSocket probe;
        probe.connectToServer(path_);
        if (probe.waitForConnected(200)) return false;
        // Nobody listens: a player that crashed left it.
        ::unlink(socket.constData());
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        say(QStringLiteral("ほかから開いた曲を受け取るソケット %1 を作れません（%2）。")
                .arg(path_, server_->errorString()));
        server_.reset();
        return false;
    }
    ::chmod(socket.constData(), 0600);
    QObject::connect(server_.get(), &QLocalServer::newConnection, [this] { accept(); });
    return true;
}

void OpenWithServer::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QTimer::singleShot(kReadLimitMs, socket, [socket] { socket->abort(); });
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, received] {
            *received += socket->readAll();
            QList<QByteArray> paths;
            const Parse result = received->size() > kMaxMessageBytes ? Parse::Bad : parse(*received, paths);
            if (result == Parse::More) return;
            if (result == Parse::Bad) {
                socket->abort();
                return;
            }
            received->clear();
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            QStringList files;
            for (const QByteArray& path : paths) files << pathFromBytes(path);
            // After the answer is on its way: adding the songs may ask the operator something.
            QTimer::singleShot(0, server_.get(), [this, files] {
                if (onFiles) onFiles(files);
            });
        });
    }
}

}  // namespace korvex::app
