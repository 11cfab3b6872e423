#pragma once
// A desktop keyring of the test's own: a private D-Bus session bus (dbus-daemon on a socket in a temporary
// folder) with GNOME Keyring's Secret Service on it (its login keyring made and unlocked with a password on
// stdin, in private HOME and XDG folders), named to this process by DBUS_SESSION_BUS_ADDRESS; both stopped,
// and the variable put back, however the test ends.

#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "broadcast/password_keeper.h"

namespace korvex::test {

class KeyringSession {
public:
    static bool available() {
        return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty();
    }
    KeyringSession() : oldAddress_(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
        // Each in a session of its own, apart from the test's process group: only the destructor stops them.
        for (QProcess* p : {&bus_, &keyring_}) p->setChildProcessModifier([] { ::setsid(); });
        const QString address = QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("bus"));
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--address=") + address});
        if (!bus_.waitForStarted(5000) ||
            !QTest::qWaitFor([&] { return QFile::exists(dir_.filePath(QStringLiteral("bus"))); }, 5000))
            return;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = dir_.filePath(QLatin1String(name));
            QDir().mkpath(folder);
            QFile::setPermissions(folder,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            env.insert(QLatin1String(name), folder);
        }
        keyring_.setProcessEnvironment(env);
        keyring_.setProcessChannelMode(QProcess::MergedChannels);
        keyring_.start(QStringLiteral("gnome-keyring-daemon"),
                       {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                        QStringLiteral("--components=secrets")});
        if (!keyring_.waitForStarted(5000)) return;
        keyring_.write("korvex-keyring");
        keyring_.closeWriteChannel();
        up_ = QTest::qWaitFor([] { return broadcast::PasswordKeeper::keyringAnswers(); }, 10000);
    }
    ~KeyringSession() {
        for (QProcess* p : {&keyring_, &bus_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(2000);
            }
        }
        if (oldAddress_.isEmpty())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", oldAddress_);
    }
    KeyringSession(const KeyringSession&) = delete;
    KeyringSession& operator=(const KeyringSession&) = delete;

    bool up() const { return up_; }
    QString log() { return QString::fromLocal8Bit(keyring_.readAll()); }

private:
    QByteArray oldAddress_;
    QTemporaryDir dir_;
    QProcess bus_;
    QProcess keyring_;
    bool up_ = false;
};

}  // namespace korvex::test
