#include "broadcast/password_keeper.h"

#include <gio/gio.h>
#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>
#include <memory>
#include <optional>

namespace korvex::broadcast {

namespace {

// How long the keyring's presence may be asked about on the user-interface thread.
constexpr int kAskLimitMs = 500;

// libsecret talks over GLib's shared session-bus connection, which by default ends the program (SIGTERM)
// when the bus goes away: a player on air must not stop because a desktop service did. The shared
// connection is made here first (or found) and told to stay quiet instead.
void keepRunningWithoutTheBus() {
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        g_object_unref(bus);
    }
}

// Starts `job` and answers once: `onResult` with the finished job, or `done(false, ...)` when `limitMs`
// passes first (the job's late answer is then let go).
void run(QKeychain::Job* job, int limitMs, const PasswordKeeper::Done& done,
         std::function<void(QKeychain::Job&)> onResult) {
    if (!PasswordKeeper::keyringAnswers()) {
        // Not a job that would have D-Bus start a keyring: the answer comes at once (on the event loop).
        delete job;
        QTimer::singleShot(0, [done] { done(false, QStringLiteral("no keyring answers on the session bus")); });
        return;
    }
    keepRunningWithoutTheBus();
    auto answered = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [answered, done, timer] {
        timer->deleteLater();
        if (*answered) return;
        *answered = true;
        done(false, QStringLiteral("the keyring did not answer within %1 s").arg(timer->interval() / 1000.0));
    });
    QObject::connect(job, &QKeychain::Job::finished, job, [answered, timer, onResult](QKeychain::Job* j) {
        if (*answered) return;
        *answered = true;
        timer->stop();
        timer->deleteLater();
        onResult(*j);
    });
    job->setAutoDelete(true);
    job->setKey(QLatin1String(PasswordKeeper::kKey));
    timer->start(limitMs);
    job->start();
}

}  // namespace

bool PasswordKeeper::keyringAnswers() {
    // The bus the environment names now (libdbus would keep the first address it saw), and never one
    // started for the asking.
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))) return false;
        address = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    }
    const QString name = QStringLiteral("korvex-keyring-probe-") + QUuid::createUuid().toString(QUuid::Id128);
    bool answers = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (bus.isConnected()) {
            for (const char* service : {"org.freedesktop.secrets", "org.kde.kwalletd5"}) {
                // Asked with a short limit: a bus daemon that hangs must not hold the window up for D-Bus's
                // usual 25 s.
                QDBusMessage ask = QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
                ask << QLatin1String(service);
                const QDBusReply<bool> there = bus.call(ask, QDBus::Block, kAskLimitMs);
                if (there.isValid() && there.value()) answers = true;
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return answers;
}

void PasswordKeeper::store(const QString& password, Done done, int limitMs) {
    auto* job = new QKeychain::WritePasswordJob(QLatin1String(kService));
    job->setTextData(password);
    run(job, limitMs, done,
        [done](QKeychain::Job& j) { done(j.error() == QKeychain::NoError, j.errorString()); });
}

void PasswordKeeper::read(Done done, int limitMs) {
    auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kService));
    run(job, limitMs, done, [done](QKeychain::Job& j) {
        const bool ok = j.error() == QKeychain::NoError;
        done(ok, ok ? static_cast<QKeychain::ReadPasswordJob&>(j).textData() : j.errorString());
    });
}

void PasswordKeeper::forget(Done done, int limitMs) {
    auto* job = new QKeychain::DeletePasswordJob(QLatin1String(kService));
    run(job, limitMs, done, [done](QKeychain::Job& j) {
        done(j.error() == QKeychain::NoError || j.error() == QKeychain::EntryNotFound, j.errorString());
    });
}

bool PasswordKeeper::storeAndWait(const QString& password, int limitMs) {
    QEventLoop loop;
    auto result = std::make_shared<std::optional<bool>>();
    store(
        password,
        [result, &loop](bool ok, const QString&) {
            *result = ok;
            loop.quit();
        },
        limitMs);
    if (!result->has_value()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return result->value_or(false);
}

}  // namespace korvex::broadcast
