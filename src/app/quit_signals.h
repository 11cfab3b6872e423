#pragma once
// SIGTERM, SIGINT and SIGHUP end the program in an orderly way: the handler only writes a byte into a pipe
// (all a signal handler may safely do); the UI thread reads it from its event loop and runs the program's
// own leaving path, so the sound output, a WAVE being written and a recording are closed as usual.

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace korvex::app {

class QuitSignals final : public QObject {
public:
    // Installs the handlers; `onSignal` runs on the UI thread with the signal's number, once per signal.
    explicit QuitSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    // Puts the default handlers back.
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    void readSignal();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace korvex::app
