#include "app/audio_session.h"

#include "platform/capture.h"

#include <cstdio>
#include <cstdlib>

namespace korvex::app {

namespace {
// How often engine events are delivered: with the main timer's tick, so that both wake the program at once
// (Qt lines up coarse timers of one interval) and an end of song reaches the tick that follows it.
constexpr int kPumpMs = 30;
// What --audio-latency accepts, in milliseconds.
constexpr double kMinLatencyMs = 2.0;
constexpr double kMaxLatencyMs = 1000.0;

// What the operator is told when the output `mode` cannot be opened at start.
QString outputProblemText(const std::string& mode) {
    const QString name = QString::fromStdString(mode);
    if (mode.rfind("wav:", 0) == 0)
        return QStringLiteral(
                   "音の出力先のファイルを作れません。\n%1\n"
                   "音は出ないまま再生が進みます。フォルダーがあって書き込めるか確かめてから、Korvex を起動し直して"
                   "ください。")
            .arg(name.mid(4));
    const QString device = mode == "default" || mode.empty()
                               ? QStringLiteral("既定のサウンドデバイス")
                               : QStringLiteral("サウンドデバイス「%1」").arg(name);
    return QStringLiteral(
               "%1を開けません。\n音は出ないまま再生が進みます。サウンドデバイスがつながっていて、ほかの"
               "アプリケーションが使っていないか確かめてから、Korvex を起動し直してください。")
        .arg(device);
}

}  // namespace

double chooseLatencyMs(const std::vector<std::string>& args) {
    static const std::string kOption = "--audio-latency=";
    for (const std::string& arg : args) {
        if (arg.rfind(kOption, 0) != 0) continue;
        const std::string value = arg.substr(kOption.size());
        char* end = nullptr;
        const double ms = std::strtod(value.c_str(), &end);
        if (value.empty() || end == nullptr || *end != '\0' || !(ms >= kMinLatencyMs && ms <= kMaxLatencyMs)) {
            std::fprintf(stderr, "korvex: --audio-latency wants milliseconds from 2 to 1000, not \"%s\"; using "
                                 "the default\n", value.c_str());
            return 0.0;
        }
        return ms;
    }
    return 0.0;
}

AudioSession::AudioSession(const std::vector<std::string>& args, const std::string& storedPhones, QObject* parent)
    : QObject(parent), engine_(audio::kOutputRate) {
    const std::string mode = audio::chooseOutputMode(args, std::getenv("KORVEX_AUDIO_OUTPUT"));
    outputMode_ = mode;
    std::string notice;
    options_.latencyMs = chooseLatencyMs(args);
    options_.notice = [](const std::string& text) { std::fprintf(stderr, "korvex: %s\n", text.c_str()); };
    phonesMode_ = audio::choosePhonesMode(args, std::getenv("KORVEX_HEADPHONES"), storedPhones);
    engine_.setPhonesRoute(audio::phonesRouteFor(phonesMode_));
    output_ = audio::openOutput(mode, engine_, notice, options_);
    openPhones();
    if (!notice.empty()) {
        std::fprintf(stderr, "korvex: %s\n", notice.c_str());
        startProblem_ = outputProblemText(mode);
    }
    recordSource_ = audio::chooseRecordSource(args, std::getenv("KORVEX_RECORD_SOURCE"));
    if (!audio::isRecordSource(recordSource_)) {
        std::fprintf(stderr, "korvex: unknown record source \"%s\" (input or mix); recording the mix\n",
                     recordSource_.c_str());
        recordSource_ = "mix";
    }
    connect(&pump_, &QTimer::timeout, this, [this] { engine_.dispatchEvents(); });
    pump_.start(kPumpMs);
}

AudioSession::~AudioSession() { shutdown(); }

void AudioSession::replaceOutput(std::unique_ptr<audio::AudioOutput> output) {
    if (output_) output_->stop();
    output_ = std::move(output);
}

void AudioSession::openPhones() {
    if (audio::phonesRouteFor(phonesMode_) != audio::PhonesRoute::kDevice) return;
    feed_ = std::make_unique<audio::PhonesFeed>(engine_.sampleRate());
    engine_.setPhonesTap(feed_.get());
    phonesOutput_ = audio::makePhonesDeviceOutput(engine_, *feed_, phonesMode_, options_);
    std::string error;
    if (!phonesOutput_->start(error))
        std::fprintf(stderr, "korvex: the headphone device \"%s\" could not be opened (%s); trying it again every "
                             "second\n", phonesMode_.c_str(), error.c_str());
}

void AudioSession::closePhones() {
    if (phonesOutput_) phonesOutput_->stop();
    phonesOutput_.reset();
    engine_.setPhonesTap(nullptr);
    feed_.reset();
}

void AudioSession::setPhonesMode(const std::string& mode) {
    const std::string wanted = mode.empty() ? std::string("none") : mode;
    if (wanted == phonesMode_) return;
    closePhones();
    const int channelsBefore = engine_.outputChannels();
    phonesMode_ = wanted;
    const audio::PhonesRoute route = audio::phonesRouteFor(phonesMode_);
    if ((route == audio::PhonesRoute::kChannels ? 4 : 2) != channelsBefore && output_) {
        // Four channels or two: the output is opened again for its new shape.
        output_->stop();
        output_.reset();
        engine_.setPhonesRoute(route);
        std::string notice;
        output_ = audio::openOutput(outputMode_, engine_, notice, options_);
        if (!notice.empty()) std::fprintf(stderr, "korvex: %s\n", notice.c_str());
    } else {
        engine_.setPhonesRoute(route);
    }
    openPhones();
}

double AudioSession::phonesDriftPpm() const { return feed_ ? feed_->driftPpm() : 0.0; }

void AudioSession::shutdown() {
    pump_.stop();
    closePhones();
    if (!output_) return;
    output_->stop();
    // Told once, on leaving, when the sound had gaps.
    if (const std::uint64_t gaps = output_->underflows(); gaps != 0 && !underflowsTold_) {
        underflowsTold_ = true;
        std::fprintf(stderr, "korvex: the sound device ran dry %llu times (gaps in the sound); a larger "
                             "--audio-latency may help\n", static_cast<unsigned long long>(gaps));
    }
}

}  // namespace korvex::app
