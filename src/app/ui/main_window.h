#pragma once
// The main window: a frameless, skinned surface built from the layout table. It creates one child per
// table entry (pictures for buttons, knobs and panels, labels for the displays, lists for the titles),
// places the panels for the current view, and is dragged by its title bar. Behaviour stays in the
// models; the composition root connects the children's events to them and writes their state back.

#include <QLabel>
#include <QListWidget>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "appearance/font_settings.h"
#include "app/ui/title_list.h"
#include "app/ui/trim_needle.h"
#include "app/ui/waveform_strip.h"
#include "appearance/ui/picture_widget.h"

namespace korvex::app {

class MainWindow : public QWidget {
public:
    // Turns a child's name and index and a bitmap file name ("cue1.bmp") into the path of the file it shows
    // (from the skin the child's pictures come from).
    using PicturePath = std::function<QString(const std::string& name, int index, const QString& bitmap)>;
    explicit MainWindow(PicturePath picturePath, QWidget* parent = nullptr);

    // Shows a picture child's bitmap from the current skin; false when it cannot be loaded.
    bool showBitmap(const std::string& name, int index, const QString& bitmap);
    // The same for a child already looked up (`name`(index) is `widget`).
    bool showBitmap(appearance::PictureWidget* widget, const std::string& name, int index, const QString& bitmap);
    // An equaliser kill switch (`eqkill`(index)): its bitmap, or where the skin has none, a painted key that
    // is lit while `killed`.
    void showKillSwitch(int index, const QString& bitmap, bool killed);
    void showKillSwitch(appearance::PictureWidget* widget, int index, const QString& bitmap, bool killed);
    // A lit button of Korvex's own (`name`(index)): its bitmap, or where the skin has none, a painted key
    // with `text`, lit while `lit`.
    void showPaintedButton(const std::string& name, int index, const QString& bitmap, const QString& text, bool lit);
    void showPaintedButton(appearance::PictureWidget* widget, const std::string& name, int index,
                           const QString& bitmap, const QString& text, bool lit);
    // Forgets which bitmaps the children show (after a skin change every picture is looked up again).
    void forgetBitmaps();
    appearance::PictureWidget* picture(const std::string& name, int index = -1) const;
    QLabel* label(const std::string& name, int index = -1) const;
    // A short flash behind the deck display (`text2`): a load was refused to keep the deck's song playing.
    void flashTitle(int deck);
    static constexpr int kFlashMs = 400;
    // The title bar's sound status (gaps in the sound); empty while there is nothing to tell.
    QLabel* soundStatus() const { return soundStatus_; }
    TitleList* titleList(int deck) const;
    TrimNeedle* trimNeedle(int deck) const;
    // The deck's waveform overview (`wave`(deck)).
    WaveformStrip* waveformStrip(int deck) const { return strips_[deck == 0 ? 0 : 1]; }
    // `lstUse(slot)`: the sampler slot's effect entries (slots 0..7), and redrawing it from the entries.
    QListWidget* effectList(int slot) const;
    void showEffectList(int slot, const QStringList& entries);
    // Moves a child to a position in twips on its panel (knob indicators, pressed buttons).
    void moveTo(const std::string& name, int index, int leftTwips, int topTwips);
    static void moveTo(QWidget* widget, int leftTwips, int topTwips);

    // Places the panels and sizes the window for the view (sampler strip, song list, menu bar).
    void applyLayout(bool samplerView, bool listView, bool menuView);
    // Shrinks the window to the mini bar (`widthTwips` × `heightTwips`, no menu bar); applyLayout() brings
    // the panels back.
    void applyMiniBar(int widthTwips, int heightTwips);
    void applyFonts(const appearance::DisplayFonts& fonts);
    // The menu bar above the panels; shown only while `menuview` is set.
    QMenuBar* menuBar() const { return menuBar_; }

    // Called with every key press and release the window receives (auto-repeat included, flagged). A
    // release that is really half of an auto-repeat pair is not passed on (see keyReleaseEvent()).
    std::function<void(QKeyEvent*, bool pressed)> onKey;
    // How long a key release waits for a press of the same key at the same time, which makes the pair
    // auto-repeat, in milliseconds.
    static constexpr int kRepeatPairMs = 30;
    // A double-click on the title bar.
    std::function<void()> onTitleBarDoubleClick;
    // The window system asks the window to close; return false to keep it open.
    std::function<bool()> onCloseRequest;
    // The window came back from being minimised.
    std::function<void()> onRestored;
    // The window lost the keyboard (another window or a dialog took it): held keys will not be released.
    std::function<void()> onFocusLost;
    // The window was painted (shown) for the first time.
    std::function<void()> onFirstShow;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    using Key = std::pair<std::string, int>;
    // The redraw looks up some forty children by name every 30 ms: hashed, not a tree of string compares.
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept {
            return std::hash<std::string>{}(key.first) * 31u + static_cast<std::size_t>(key.second);
        }
    };
    // Passes on the key release that waits for its pair, if one does.
    void deliverHeldRelease();
    QWidget* panelWidget(int panel) const;

    PicturePath picturePath_;
    std::unordered_map<Key, appearance::PictureWidget*, KeyHash> pictures_;
    std::unordered_map<Key, QLabel*, KeyHash> labels_;
    TitleList* lists_[2] = {nullptr, nullptr};
    TrimNeedle* needles_[2] = {nullptr, nullptr};
    WaveformStrip* strips_[2] = {nullptr, nullptr};
    QListWidget* effectLists_[8] = {};
    appearance::PictureWidget* panels_[3] = {nullptr, nullptr, nullptr};
    QPoint dragOffset_;
    bool shownOnce_ = false;
    QWidget* content_ = nullptr;
    QLabel* soundStatus_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    // The last key release, until it is known not to be half of an auto-repeat pair.
    std::unique_ptr<QKeyEvent> heldRelease_;
    QTimer releaseTimer_;
};

}  // namespace korvex::app
