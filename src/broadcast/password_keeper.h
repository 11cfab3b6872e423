#pragma once
// The broadcast password in the desktop's keyring (QtKeychain: the Secret Service, such as GNOME Keyring or
// KeePassXC, or KWallet), under the service "Korvex" and the key "broadcast".
//
// Why it is shaped this way: a keyring answers over D-Bus and may take its time (or ask the user to unlock
// it), so every operation is a job that reports back through the event loop, and each report comes at the
// latest after a bound: a keyring that has not answered by then counts as absent. Whether a keyring is
// there at all is asked of the bus first (a name lookup, a few milliseconds), so a desktop without one
// never starts a keyring daemon through D-Bus activation and never waits for it.

#include <QString>
#include <functional>
#include <memory>

namespace korvex::broadcast {

class PasswordKeeper {
public:
    static constexpr const char* kService = "Korvex";
    static constexpr const char* kKey = "broadcast";
    // How long a job may take before it counts as failed.
    static constexpr int kLimitMs = 5000;

    // Calls `done(ok, password or the keyring's words)` at most `limitMs` later.
    using Done = std::function<void(bool ok, const QString& text)>;

    // True when a keyring answers on the session bus now.
    static bool keyringAnswers();

    // Keeps `password`; `done`'s text is the failure's words.
    static void store(const QString& password, Done done, int limitMs = kLimitMs);
    // Reads the kept password; `done`'s text is the password, or the failure's words.
    static void read(Done done, int limitMs = kLimitMs);
    // Forgets the kept password (a missing one is forgotten too).
    static void forget(Done done, int limitMs = kLimitMs);
    // store() and waits for it, at most `limitMs`, running the event loop meanwhile (for the last save on
    // leaving, when nothing will run the loop afterwards). True when the keyring took it.
    static bool storeAndWait(const QString& password, int limitMs = 2000);
};

}  // namespace korvex::broadcast
