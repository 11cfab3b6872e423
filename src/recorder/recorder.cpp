#include "recorder/recorder.h"

#include <QFileInfo>

namespace korvex::recorder {

namespace {

// The save dialog's title and filter.
QString saveTitle() {
    return QStringLiteral("Wave ファイルの保存先");
}
QString saveFilter() {
    return QStringLiteral("Wave files(*.WAV)|*.wav");
}

}  // namespace

QString recordTime(int tenths) {
    const int s = tenths / 10;
    return QStringLiteral("REC %1:%2. %3")
        .arg(s / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        .arg(tenths - 10 * s);
}

Recorder::Recorder(CommandInterface& commands, deck::DeckSettings& settings, songlist::DialogState& dialog,
                   songlist::FileDialogs& dialogs, base::MessageBoxes& boxes)
    : commands_(commands), settings_(settings), dialog_(dialog), dialogs_(dialogs), boxes_(boxes) {}

int Recorder::send(const QString& command) {
    code_ = commands_.mci(command, text_);
    return code_;
}

void Recorder::showError() {
    boxes_.inform(text_ + QStringLiteral(" (") + QString::number(code_) + QLatin1Char(')'),
                  QStringLiteral("Error"), base::MessageIcon::Critical);
}

bool Recorder::open() {
    view_ = RecorderView{};
    view_.saveEnabled = false;
    settings_.recarmed = true;
    if (dialog_.initialFolder.isEmpty()) dialog_.initialFolder = songlist::defaultDialogFolder();
    dialog_.fileName.clear();
    dialog_.title = saveTitle();
    dialog_.filter = saveFilter();
    dialog_.defaultExtension.clear();
    if (!dialogs_.showSave(dialog_) || dialog_.fileName.isEmpty()) {
        // Nobody is left to record: auto record must not wait for this window.
        settings_.recarmed = false;
        return false;
    }
    // The full path: the dialog leaves the process's current folder alone.
    title_ = dialog_.fileName;
    dialog_.initialFolder = QFileInfo(title_).absolutePath();
    commands_.setDestination(title_);
    if (onImgrec) onImgrec(QStringLiteral("recorder2.bmp"));
    return true;
}

void Recorder::recordstart() {
    send(QStringLiteral("open new type waveaudio alias file"));
    if (!settings_.rec8bit) send(QStringLiteral("set file bitspersample 16"));
    if (settings_.recrate == 1) send(QStringLiteral("set file samplespersec 22050"));
    if (settings_.recrate == 0) send(QStringLiteral("set file samplespersec 44100"));
    if (!settings_.recmono) send(QStringLiteral("set file channels 2"));
    send(QStringLiteral("record file"));
    settings_.recarmed = false;
    if (code_ != 0) {
        // Nothing records, so the time does not run either.
        showError();
        return;
    }
    view_.timerEnabled = true;
    view_.stopEnabled = true;
    view_.saveEnabled = false;
}

void Recorder::startClick() {
    recordstart();
    view_.startPicture = QStringLiteral("recstart2.bmp");
}

void Recorder::stopPress() {
    view_.timerEnabled = false;
    send(QStringLiteral("stop file"));
    view_.saveEnabled = true;
    view_.stopEnabled = false;
    view_.stopPicture = QStringLiteral("stop2.bmp");
    view_.startPicture = QStringLiteral("recstart1.bmp");
}

void Recorder::stopRelease() {
    view_.stopPicture = QStringLiteral("stop1.bmp");
}

void Recorder::saveClick() {
    send(QStringLiteral("save file ") + title_);
    const int saveCode = code_;
    const QString saveText = text_;
    send(QStringLiteral("close file"));
    // A failed save is reported even when the close after it succeeds.
    if (saveCode != 0) {
        code_ = saveCode;
        text_ = saveText;
    }
    if (code_ != 0) showError();
    counter_ = 0;
    view_.label = recordTime(0).mid(4);
    // The device is closed: there is nothing left to save until the next recording.
    view_.saveEnabled = false;
}

void Recorder::savePress() {
    view_.savePicture = QStringLiteral("save2.bmp");
}

void Recorder::saveRelease() {
    view_.savePicture = QStringLiteral("save1.bmp");
}

void Recorder::frmendClick() {
    send(QStringLiteral("close file"));
    settings_.recarmed = false;
    view_.timerEnabled = false;
    if (onImgrec) onImgrec(QStringLiteral("recorder1.bmp"));
    if (onClose) onClose();
}

void Recorder::frmendPress() {
    view_.frmendPicture = QStringLiteral("formend2.bmp");
}

void Recorder::frmendRelease() {
    view_.frmendPicture = QStringLiteral("formend1.bmp");
}

void Recorder::timerTick() {
    ++counter_;
    view_.label = recordTime(counter_);
}

}  // namespace korvex::recorder
