#include "broadcast/on_air.h"

#include "platform/audio/audio_engine.h"

namespace korvex::broadcast {

namespace {

QString clock(double seconds) {
    const auto total = static_cast<long long>(seconds);
    const long long h = total / 3600;
    const long long m = total / 60 % 60;
    const long long s = total % 60;
    return h > 0 ? QStringLiteral("%1:%2:%3")
                       .arg(h)
                       .arg(m, 2, 10, QLatin1Char('0'))
                       .arg(s, 2, 10, QLatin1Char('0'))
                 : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString faultText(stream::LinkFault fault) {
    switch (fault) {
        case stream::LinkFault::kNone:
            return QString();
        case stream::LinkFault::kNetwork:
            return QStringLiteral("サーバーにつながりません");
        case stream::LinkFault::kWrongPassword:
            return QStringLiteral("ユーザー名かパスワードが違います");
        case stream::LinkFault::kMountInUse:
            return QStringLiteral("このマウントポイントには別の配信が送られています");
        case stream::LinkFault::kRejected:
            return QStringLiteral("サーバーが配信を受け付けません");
    }
    return QString();
}

int liveDeck(const int playState[2], const int volume[2]) {
    int live = -1;
    for (int deck = 0; deck < 2; ++deck) {
        if (playState[deck] != 2 || volume[deck] <= -10000) continue;
        if (live < 0 || volume[deck] > volume[live]) live = deck;
    }
    return live;
}

stream::StreamSettings settingsFromKeys(const QMap<QString, QString>& keys) {
    const stream::StreamSettings defaults;
    stream::StreamSettings s;
    s.host.clear();
    auto text = [&](const char* key, std::string& field) {
        if (const QString v = keys.value(QLatin1String(key)); !v.isEmpty()) field = v.toStdString();
    };
    auto number = [&](const char* key, int& field) {
        bool ok = false;
        const int v = keys.value(QLatin1String(key)).toInt(&ok);
        if (ok) field = v;
    };
    text("server", s.host);
    text("mount", s.mount);
    if (!s.mount.empty() && s.mount[0] != '/') s.mount.insert(0, 1, '/');
    text("user", s.user);
    text("password", s.password);
    text("name", s.name);
    text("genre", s.genre);
    number("port", s.port);
    number("bitrate", s.bitrateKbps);
    number("samplerate", s.sampleRate);
    number("channels", s.channels);
    s.format = stream::formatForMount(s.mount);
    // The dialog stores the format it shows; it wins over the mount's ending.
    stream::StreamFormat chosen{};
    if (stream::parseFormatName(keys.value(QStringLiteral("format")).toStdString(), chosen))
        s.format = chosen;
    stream::parseProtocolName(keys.value(QStringLiteral("protocol")).toStdString(), s.protocol);
    if (s.protocol == stream::StreamProtocol::Shoutcast) {
        s.format = stream::StreamFormat::Mp3;
        if (s.port >= 65535) s.port = defaults.port;
    }
    // Numbers out of range fall back to the defaults, one by one.
    stream::StreamSettings probe = s;
    probe.host = "x";
    if (probe.port < 1 || probe.port > 65535) s.port = defaults.port;
    if (s.bitrateKbps < 8 || s.bitrateKbps > 320) s.bitrateKbps = defaults.bitrateKbps;
    if (s.channels != 1 && s.channels != 2) s.channels = defaults.channels;
    probe = s;
    probe.host = "x";
    if (!stream::checkSettings(probe).empty()) s.sampleRate = defaults.sampleRate;
    return s;
}

bool passwordInKeyring(const QMap<QString, QString>& keys) {
    return keys.value(QStringLiteral("keyring")) == QLatin1String("true") &&
           keys.value(QStringLiteral("password")).isEmpty();
}

OnAir::OnAir(audio::AudioEngine& engine) : broadcaster_(engine) {}

OnAir::~OnAir() = default;

void OnAir::setSettings(const stream::StreamSettings& settings) {
    settings_ = settings;
    configured_ = !settings.host.empty() && settings.mount.size() > 1;
}

QString OnAir::press() {
    if (running()) {
        stop();
        return QString();
    }
    QString problem;
    start(problem);
    return problem;
}

bool OnAir::start(QString& problem) {
    if (!configured_) {
        problem = QStringLiteral(
            "配信先のサーバーが設定されていません。設定ダイアログの「配信」で設定してください。");
        return false;
    }
    std::string error;
    if (!broadcaster_.start(settings_, error)) {
        problem = QStringLiteral("配信を始められません。\n%1").arg(QString::fromStdString(error));
        return false;
    }
    return true;
}

void OnAir::stop() {
    broadcaster_.stop();
}

void OnAir::setNowPlaying(const QString& title) {
    broadcaster_.setTitle(title.toStdString());
}

bool OnAir::lit(bool blinkOn) const {
    if (!running()) return false;
    const stream::LinkState state = broadcaster_.status().state;
    if (state == stream::LinkState::kOnAir) return true;
    return blinkOn && (state == stream::LinkState::kReconnecting || state == stream::LinkState::kConnecting);
}

QString OnAir::bitmap(bool blinkOn) const {
    return lit(blinkOn) ? QStringLiteral("onair2.bmp") : QStringLiteral("onair1.bmp");
}

QString OnAir::toolTip() const {
    const stream::BroadcastStatus s = broadcaster_.status();
    const QString place = QStringLiteral("%1:%2%3")
                              .arg(QString::fromStdString(settings_.host))
                              .arg(settings_.port)
                              .arg(QString::fromStdString(settings_.mount));
    switch (s.state) {
        case stream::LinkState::kOff:
            return configured_ ? QStringLiteral("配信 (ON AIR)：クリックで %1 へ配信を始めます").arg(place)
                               : QStringLiteral("配信 (ON AIR)：配信先が設定されていません");
        case stream::LinkState::kConnecting:
            return QStringLiteral("%1 に接続しています…").arg(place);
        case stream::LinkState::kOnAir:
            return QStringLiteral("オンエア中 %1（%2）\n再接続 %3 回")
                .arg(clock(s.secondsOnAir), place)
                .arg(s.reconnects);
        case stream::LinkState::kReconnecting:
            return QStringLiteral("再接続を待っています：%1（あと %2 秒）\nオンエア %3、再接続 %4 回")
                .arg(faultText(s.fault))
                .arg(static_cast<int>(s.secondsToRetry + 0.999))
                .arg(clock(s.secondsOnAir))
                .arg(s.reconnects);
        case stream::LinkState::kGaveUp:
            return QStringLiteral("配信を止めました：%1").arg(faultText(s.fault));
    }
    return QString();
}

}  // namespace korvex::broadcast
