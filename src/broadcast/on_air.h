#pragma once
// The ON AIR key's model: starts and stops the broadcast, tells the live deck's song to the stream, and
// says what the key shows (lit on air, blinking while the connection is being made again) and what its
// tooltip says (time on air, reconnects, the last fault in words).
//
// Why it is shaped this way: the window only forwards the click and a half-second tick and draws the
// picture name and tooltip it gets back, so a test drives the key without a screen.

#include <QMap>
#include <QString>
#include <memory>

#include "platform/stream/broadcaster.h"
#include "platform/stream/stream_settings.h"

namespace korvex::audio {
class AudioEngine;
}

namespace korvex::broadcast {

class OnAir {
public:
    explicit OnAir(audio::AudioEngine& engine);
    ~OnAir();

    // The server and stream to use from now on (a running broadcast keeps its own until restarted).
    void setSettings(const stream::StreamSettings& settings);
    const stream::StreamSettings& settings() const { return settings_; }
    // True once a server and mount are known.
    bool configured() const { return configured_; }
    // The key pressed: starts when off, stops when on. Returns what the DJ must be told when it cannot start
    // (Japanese), else empty.
    QString press();
    bool start(QString& problem);
    void stop();
    bool running() const { return broadcaster_.running(); }
    // The song now heard (empty: none); sent when it changes.
    void setNowPlaying(const QString& title);
    // The key's picture at this tick (`blinkOn` alternates every tick): lit on air and on the blink's lit
    // half while reconnecting, dark otherwise.
    QString bitmap(bool blinkOn) const;
    bool lit(bool blinkOn) const;
    QString toolTip() const;
    stream::BroadcastStatus status() const { return broadcaster_.status(); }

private:
    stream::Broadcaster broadcaster_;
    stream::StreamSettings settings_;
    bool configured_ = false;
};

// The live deck: of the playing decks, the one heard loudest (`volume` in hundredths of a dB, -10000 and
// below silent); -1 when none is heard.
int liveDeck(const int playState[2], const int volume[2]);

// The broadcast settings kept in Korvex's own settings file ("protocol", "server", "port", "mount", "user",
// "password", "format", "bitrate", "samplerate", "channels", "name", "genre"; without a format, the mount's
// ending gives it; Shoutcast is MP3 whatever is written). A value that is missing or not one keeps its
// default.
stream::StreamSettings settingsFromKeys(const QMap<QString, QString>& keys);
// True when the keys say the desktop's keyring holds the password ("keyring=true") and give none of their
// own (a password line, say an old file's, wins until the next save moves it).
bool passwordInKeyring(const QMap<QString, QString>& keys);

// Words for a broadcast fault in the program's Japanese.
QString faultText(stream::LinkFault fault);

}  // namespace korvex::broadcast
