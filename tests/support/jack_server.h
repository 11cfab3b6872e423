#pragma once
// A JACK server of the test's own: `jackd` with the dummy back end under a private server name (so it
// meets no other server on the machine), made the default server of this process, stopped however the test
// ends.

#include <jack/jack.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>
#include <QtGlobal>
#include <chrono>
#include <random>
#include <thread>

namespace korvex::test {

class JackServer {
public:
    JackServer() {
        // Its own probes below would complain while the server is not up yet.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        std::random_device random;
        name_ = QStringLiteral("korvex-test-%1-%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(random() % 1000000);
        qputenv("JACK_DEFAULT_SERVER", name_.toUtf8());
        // The server must not start itself behind a client's back (under some other name).
        qputenv("JACK_NO_START_SERVER", "1");
        start();
    }
    ~JackServer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
        qunsetenv("JACK_DEFAULT_SERVER");
        // A server killed under its clients leaves their semaphores (and maybe its socket) behind.
        QDir shm(QStringLiteral("/dev/shm"));
        const QStringList left = shm.entryList(
            {QStringLiteral("jack_sem.*_%1_*").arg(name_), QStringLiteral("jack_%1_*").arg(name_)},
            QDir::Files | QDir::System | QDir::Hidden);
        for (const QString& file : left) shm.remove(file);
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Starts the server (again, under the same name); true once a client can join it.
    bool start() {
        up_ = false;
        const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
        if (jackd.isEmpty()) return false;
        process_.setProgram(jackd);
        process_.setArguments({QStringLiteral("--no-realtime"), QStringLiteral("-n"), name_,
                               QStringLiteral("-d"), QStringLiteral("dummy"), QStringLiteral("-r"),
                               QStringLiteral("44100"), QStringLiteral("-p"), QStringLiteral("256")});
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start();
        if (!process_.waitForStarted(5000)) return false;
        // Up once a client can join it.
        for (int i = 0; i < 100 && !up_; ++i) {
            jack_status_t status{};
            if (jack_client_t* probe =
                    jack_client_open("korvex-probe", JackNoStartServer, &status, nullptr)) {
                jack_client_close(probe);
                up_ = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        return up_;
    }
    // Kills the server as a crash would (SIGKILL), its clients left behind.
    void kill() {
        process_.kill();
        process_.waitForFinished(5000);
        up_ = false;
    }

    bool up() const { return up_; }
    const QString& name() const { return name_; }
    QString log() { return QString::fromLocal8Bit(process_.readAll()); }

private:
    QString name_;
    QProcess process_;
    bool up_ = false;
};

}  // namespace korvex::test
