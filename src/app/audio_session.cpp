#include "app/audio_session.h"

#include "platform/capture.h"

#include <cstdio>
#include <cstdlib>

namespace korvex::app {

namespace {
// How often engine events are delivered; well inside one main-timer tick.
constexpr int kPumpMs = 10;
}  // namespace

AudioSession::AudioSession(const std::vector<std::string>& args, QObject* parent)
    : QObject(parent), engine_(audio::kOutputRate) {
    const std::string mode = audio::chooseOutputMode(args, std::getenv("KORVEX_AUDIO_OUTPUT"));
    std::string notice;
    output_ = audio::openOutput(mode, engine_, notice);
    if (!notice.empty()) std::fprintf(stderr, "korvex: %s\n", notice.c_str());
    recordSource_ = audio::chooseRecordSource(args, std::getenv("KORVEX_RECORD_SOURCE"));
    if (!audio::isRecordSource(recordSource_)) {
        std::fprintf(stderr, "korvex: unknown record source \"%s\" (input or mix); recording the input\n",
                     recordSource_.c_str());
        recordSource_ = "input";
    }
    connect(&pump_, &QTimer::timeout, this, [this] { engine_.dispatchEvents(); });
    pump_.start(kPumpMs);
}

AudioSession::~AudioSession() { shutdown(); }

void AudioSession::shutdown() {
    pump_.stop();
    if (output_) output_->stop();
}

}  // namespace korvex::app
