#pragma once
// The settings and program-wide flags the transport and the main timer read.
//
// A plain struct, created once by the application and passed by reference: the settings file fills it, the
// configuration dialog and the menus write it, the decks read it at the moment they need a value. Nothing
// here is copied into the deck objects, so a change is seen on the next button press or timer tick.

#include <QString>
#include <array>

namespace korvex::deck {

struct DeckSettings {
    // Pause-loop interval of deck A in timer ticks (deck B always uses 5).
    int headinterval = 2;
    // Early-start lead of continuous play, in hundredths of a second.
    int gapticks = 10;
    // Switch time of each fader pattern; the automatic crossfade opens switchtime / 20 s before the end.
    std::array<int, 3> switchtime{50, 50, 50};

    // "連続再生": continuous play (hand-over near the end, next song at the end).
    bool autoplay2 = false;
    // "ﾗﾝﾀﾞﾑ再生": the finished deck's next song is chosen at random.
    bool random = false;
    // "ｵｰﾄｸﾛｽﾌｪｰﾄﾞ": the hand-over is an automatic crossfade instead of an early start.
    bool autocrossfadeplay = false;
    // "カウントダウン": the deck display shows the time left instead of the time played.
    bool countdown = false;

    // Recording format (configuration dialog; not kept in the settings file): 8-bit instead of 16-bit, mono
    // instead of stereo, rate 0 = 44100, 1 = 22050, 2 = 11025 samples per second.
    bool rec8bit = false;
    bool recmono = false;
    int recrate = 0;
    // What the recorder records: the player's own master mix (the set), or the default capture device.
    enum class RecordSource { Input, Mix };
    RecordSource recsource = RecordSource::Mix;
    // Record when a deck starts (configuration dialog).
    bool autorec = false;
    // The recorder window waits for a deck to start (set by the recorder).
    bool recarmed = false;

    // "演奏中のデッキを保護" (Korvex's own settings file): loading a song onto a playing deck (the list
    // keys and buttons, a double-click, a drop) does nothing but flash the deck's title.
    bool protectLiveDeck = false;
    // "曲名をファイル名で表示" (Korvex's own settings file): the title lists show file names, not the
    // "Artist - Title" of the songs' tags.
    bool fileNameTitles = false;
    // "音量を自動で揃える" (Korvex's own settings file): a song whose trim was never moved by hand gets the
    // trim that brings its measured loudness to -14 LUFS, as far as the trim reaches.
    bool autoTrim = false;
    // "ヘッドホン" (Korvex's own settings file): where the headphones go: "none", "channels" (outputs 3-4),
    // "split" (master left, headphones right) or a sound device's name.
    QString headphones = QStringLiteral("none");

    // Pitch throttle: the pitch knob applies nothing while this is above 0; the main timer counts it down.
    int pitchwait = 0;
};

}  // namespace korvex::deck
