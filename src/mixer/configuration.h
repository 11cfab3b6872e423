#pragma once
// The configuration dialog "Korvexの設定" as a model: fader patterns with their curve picture, the
// early-start gap, the head-play interval, the initial trim, play on Switch, the recording format, the
// sampler switch and the shortcuts to the volume mixer and the sampler slots.
//
// Why it is shaped this way: the dialog keeps no copy of the settings. Opening it reads them, every control
// writes its setting the moment it changes, and only the pattern editor holds something of its own (the
// four sliders and the switch-time text) until "記憶" stores it. So the model is the sliders, the text, the
// six curve lines and the edited pattern, plus one operation per control; the window shows the state and
// forwards the events. What lies outside the mixer (the panel layout, the sound device, the sampler dialog,
// the volume mixer) is reached through hooks that do nothing when empty.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "deck/deck_settings.h"
#include "mixer/mixer.h"
#include "base/message_boxes.h"

namespace korvex::mixer {

// One line of the curve picture, in twips inside the picture.
struct CurveLine {
    int x1, y1, x2, y2;
    bool operator==(const CurveLine&) const = default;
};

// The curve picture: line i is `Line1`(i). Deck A's lines are 3, 4, 5, deck B's 0, 1, 2.
using CurveLines = std::array<CurveLine, 6>;
// The lines as the dialog is designed (sliders 500, 500, 0, 0).
inline constexpr CurveLines kDesignCurve{{
    {267, 840, 1267, 480},   // 0: B fade-in
    {1267, 480, 2280, 480},  // 1: B full after B:End
    {240, 840, 267, 840},    // 2: B silent before B:Start
    {267, 480, 1267, 480},   // 3: A full before A:Start
    {1267, 480, 2267, 840},  // 4: A fade-out
    {2267, 840, 2300, 840},  // 5: A silent after A:End
}};
// Full level and silence in the picture.
inline constexpr int kCurveFullY = 480;
inline constexpr int kCurveSilentY = 840;
// Deck A's lines are orange, deck B's green (0xRRGGBB).
inline constexpr unsigned kCurveColourA = 0xFF8000;
inline constexpr unsigned kCurveColourB = 0x00FF00;

// The x of a Start point s and of an End point e in the picture.
constexpr int startX(int s) {
    return 2 * s + 267;
}
constexpr int endX(int e) {
    return 2 * e + 1267;
}

// The slider ranges and the design values.
inline constexpr int kGapMax = 100;
inline constexpr int kHeadIntervalMax = 10;
inline constexpr int kTrimMax = 40;
inline constexpr std::array<int, 4> kDesignSliders{500, 500, 0, 0};
// A switch time that is not a number or lies outside 1 .. 32767 is replaced by this.
inline constexpr int kInvalidSwitchTime = 100;

// What the dialog writes besides the deck and mixer settings, and what it sets off.
struct ConfigurationTargets {
    deck::DeckSettings& deck;
    MixerSettings& mixer;
    // `newtrim`: initial trim of added songs, 0 .. 40.
    int& newtrim;
    // `samplerenabled`: the sampler is switched on (saved; read at the next start).
    bool& samplerenabled;
    // `samplerview`: the sampler strip is shown.
    bool& samplerview;
    // `dsready`: the sampler's sound device exists.
    const bool& dsready;
};

struct ConfigurationHooks {
    // `layoutpanels`: lays the main window out again for the view flags.
    std::function<void()> layoutpanels;
    // `initsound`: creates the sampler's sound device (sets `dsready` when it could).
    std::function<void()> initsound;
    // Starts the desktop's volume mixer.
    std::function<void()> startVolumeMixer;
    // Opens the sampler dialog of a slot, when the slot holds a sound (the slot buttons "１" .. "８").
    std::function<void(int slot)> openSlot;
    // Sends the headphones where the dialog now says ("none", "channels", "split" or a device name).
    std::function<void(const QString& mode)> headphonesChanged;
    // Opens the MIDI dialog (ports, mapping, MIDI learn).
    std::function<void()> openMidi;
};

class Configuration {
public:
    // `messages` shows "値が不正です。". All references must outlive the model.
    Configuration(ConfigurationTargets targets, base::MessageBoxes& messages,
                  ConfigurationHooks hooks = {});

    // The "MIDI..." button.
    void midiClick() const {
        if (hooks_.openMidi) hooks_.openMidi();
    }

    // --- what the dialog shows ----------------------------------------------------------------------------
    // The pattern being edited (0 .. 2): 0 when the dialog opens.
    int pattern() const { return pattern_; }
    // `fdSlider0` .. `fdSlider3`: A:Start, A:End, B:Start, B:End of the edited pattern.
    const std::array<int, 4>& sliders() const { return sliders_; }
    // `Text1`: the switch time as typed.
    const QString& switchText() const { return switchText_; }
    const CurveLines& curve() const { return curve_; }
    int gap() const { return targets_.deck.gapticks; }
    int headInterval() const { return targets_.deck.headinterval; }
    int trim() const { return targets_.newtrim; }
    bool playOnSwitch() const { return targets_.mixer.playonswitch; }
    // "演奏中のデッキを保護": a load onto a playing deck does nothing but flash its title.
    bool protectLiveDeck() const { return targets_.deck.protectLiveDeck; }
    // "曲名をファイル名で表示": the title lists show file names instead of the songs' tags.
    bool fileNameTitles() const { return targets_.deck.fileNameTitles; }
    bool autoTrim() const { return targets_.deck.autoTrim; }
    // "ヘッドホン": "none", "channels", "split" or a sound device's name.
    const QString& headphones() const { return targets_.deck.headphones; }
    bool autorec() const { return targets_.deck.autorec; }
    bool rec8bit() const { return targets_.deck.rec8bit; }
    bool recmono() const { return targets_.deck.recmono; }
    int recrate() const { return targets_.deck.recrate; }
    bool recordMix() const { return targets_.deck.recsource == deck::DeckSettings::RecordSource::Mix; }
    // `sampoff` "サンプラーＯＦＦ": checked while the sampler is switched off.
    bool samplerOff() const { return !targets_.samplerenabled; }
    // The slot buttons work only with a sound device.
    bool slotsEnabled() const { return targets_.dsready; }
    // Option indexes as the dialog numbers them: `bit`(1) "16bit" / (0) "8bit", `stereo`(1) "ｽﾃﾚｵ" / (0)
    // "ﾓﾉﾗﾙ", `bitrate`(2) "44,100kHz" / (1) "22,050kHz" / (0) "11,025kHz".
    int bitOption() const { return rec8bit() ? 0 : 1; }
    int stereoOption() const { return recmono() ? 0 : 1; }
    int bitrateOption() const { return 2 - recrate(); }

    // --- events -------------------------------------------------------------------------------------------
    // The dialog opens: pattern A, its switch time, the sliders at their design values and the curve with
    // them (an unstored edit of the last dialog is dropped).
    void load();
    // `patern`(i): edit pattern i; the sliders and the switch time from the settings, the curve redrawn.
    void paternClick(int pattern);
    // `fdSlider`k moved to `value` (0 .. 500): two line ends follow.
    void sliderChange(int slider, int value);
    // `Text1` edited.
    void switchTextChange(const QString& text) { switchText_ = text; }
    // `fdrec` "記憶": stores the sliders and the switch time into the edited pattern.
    void fdrecClick();
    void gapChange(int value);
    void headIntervalChange(int value);
    void trimChange(int value);
    void playOnSwitchClick(bool checked);
    void protectLiveDeckClick(bool checked) { targets_.deck.protectLiveDeck = checked; }
    void fileNameTitlesClick(bool checked) { targets_.deck.fileNameTitles = checked; }
    void autoTrimClick(bool checked) { targets_.deck.autoTrim = checked; }
    // The headphone output chosen or typed: an empty text is "none"; the sound follows at once.
    void headphonesChange(const QString& mode);
    void autorecClick(bool checked);
    void bitClick(int option);
    void stereoClick(int option);
    void bitrateClick(int option);
    // "再生音を直接録音": record the player's own mix instead of the input device.
    void recordMixClick(bool checked);
    void sampoffClick(bool checked);
    void startvolconClick();
    void slotClick(int slot);

    // The switch time "記憶" stores for a text: its number rounded to an integer (halves to even), or
    // nothing when the text is not a number or the result lies outside 1 .. 32767.
    static std::optional<int> switchTimeOf(const QString& text);
    // The text box's text for a switch time: decimal with a leading blank for values not below 0.
    static QString switchTimeText(int value);

private:
    // `linedraw`: all six lines from the four sliders.
    void linedraw();

    ConfigurationTargets targets_;
    base::MessageBoxes& messages_;
    ConfigurationHooks hooks_;
    int pattern_ = 0;
    std::array<int, 4> sliders_ = kDesignSliders;
    QString switchText_;
    CurveLines curve_ = kDesignCurve;
};

}  // namespace korvex::mixer
