#pragma once
// The recorder window as a model (`frmrecorder`): the save dialog it opens with, its four picture buttons
// and their enabling, the 100 ms time label, `recordstart` (also run by auto record when a deck starts), and
// the main window's recorder button picture.
//
// Why it is shaped this way: the window only forwards presses, clicks and timer ticks here and draws
// view() back, so a test can open the recorder, press start, tick the timer and save without a screen.
// Every command goes through the command interface as a command string; the codes and texts of the last
// command are kept as the window's own result. What the operator reads is the recorder's own Japanese
// message for what went wrong (the code in parentheses after it), never the command interface's text.
//
// No take is thrown away unasked: the close button asks before it discards a recording that is not saved,
// and a save asks before it replaces a file the save dialog did not already agree to replace (the take
// saved before, or a name the dialog was given without ".wav").
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <functional>

#include "platform/recording_formats.h"
#include "deck/deck_settings.h"
#include "recorder/command_interface.h"
#include "base/message_boxes.h"
#include "songlist/song_adder.h"

namespace korvex::recorder {

// What the recorder window shows.
struct RecorderView {
    QString background = QStringLiteral("recorderbase.bmp");
    QString startPicture = QStringLiteral("recstart1.bmp");
    QString stopPicture = QStringLiteral("stop1.bmp");
    QString savePicture = QStringLiteral("save1.bmp");
    QString frmendPicture = QStringLiteral("formend1.bmp");
    // `Label1`.
    QString label = QStringLiteral("- Korvex -");
    bool stopEnabled = true;
    bool saveEnabled = true;
    // `Timer1` runs (every 100 ms).
    bool timerEnabled = false;
};

// The label's time text for a count of tenths: "REC mm:ss. t".
QString recordTime(int tenths);

class Recorder {
public:
    // All references must outlive the recorder. `dialog` is the save dialog's own state.
    Recorder(CommandInterface& commands, deck::DeckSettings& settings, songlist::DialogState& dialog,
             songlist::FileDialogs& dialogs, base::MessageBoxes& boxes);

    // Opening the window: pictures, `recarmed`, then the save dialog. False when the dialog was cancelled
    // (or no name was chosen): the window is to close at once.
    bool open();

    // `recordstart`: opens a new device in the set format and records; a failing record command is shown.
    void recordstart();

    void startClick();
    void stopPress();
    void stopRelease();
    void saveClick();
    void savePress();
    void saveRelease();
    // The close button: closes the device and asks for the window to close (onClose); with a take not yet
    // saved only when the operator agrees to discard it.
    void frmendClick();
    void frmendPress();
    void frmendRelease();
    // `Timer1`: one 100 ms tick.
    void timerTick();

    const RecorderView& view() const { return view_; }
    // The chosen file, with its full path.
    const QString& title() const { return title_; }
    // Tenths of a second counted since the last save.
    int counter() const { return counter_; }
    // The last command's code and text.
    int lastCode() const { return code_; }
    const QString& lastText() const { return text_; }
    // A take is recorded (or recording) and not saved.
    bool unsaved() const;

    // The main window's recorder button is to show this picture ("recorder2.bmp" / "recorder1.bmp").
    std::function<void(const QString&)> onImgrec;
    // The window is to close.
    std::function<void()> onClose;
    // Runs `work`, a conversion to be given a progress callback (the share done, 0 .. 1; false from it
    // cancels), while the operator sees its progress under `caption`; returns what `work` returned. The
    // window runs it off its own thread and stays responsive; unset, it runs here without progress.
    using ProgressWork = std::function<bool(const std::function<bool(double)>&)>;
    std::function<bool(const QString& caption, const ProgressWork& work)> withProgress;

private:
    // Sends one command, keeping its code and text.
    int send(const QString& command);
    // Shows `text` and the last code as a failure of the recorder.
    void showError(const QString& text);
    // What went wrong when a record did not start, and when a save failed; `kept` is the temporary file
    // that still holds the take.
    QString startFailure() const;
    QString saveFailure(const QString& kept) const;
    // The save dialog; the chosen name, with ".wav" added when it has no ending of a format the recorder
    // saves (.wav, .flac, .mp3, .ogg), becomes the file.
    bool chooseFile();
    // True when the save may go ahead: the file does not exist, the dialog agreed to replace it, the
    // operator agrees now, or another name was chosen instead.
    bool mayReplace();
    // Makes the chosen file in `format` from the saved take `wave` and removes that on success; says why
    // not otherwise (the take stays in `wave`).
    bool convert(const QString& wave, SaveFormat format);

    CommandInterface& commands_;
    deck::DeckSettings& settings_;
    songlist::DialogState& dialog_;
    songlist::FileDialogs& dialogs_;
    base::MessageBoxes& boxes_;
    RecorderView view_;
    QString title_;
    // The save dialog agreed to replace `title_` should it exist.
    bool replaceAgreed_ = false;
    int counter_ = 0;
    int code_ = 0;
    QString text_;
};

}  // namespace korvex::recorder
