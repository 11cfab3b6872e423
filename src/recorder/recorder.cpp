#include "recorder/recorder.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/file_names.h"
#include "recorder/mci_errors.h"

namespace korvex::recorder {

namespace {

// The title of the recorder's failure messages and questions.
QString boxTitle() {
    return QStringLiteral("録音");
}

// The save dialog's title and filter.
QString saveTitle() {
    return QStringLiteral("Wave ファイルの保存先");
}
// WAVE first, as it always was; the others by the name's ending.
QString saveFilter() {
    return QStringLiteral(
        "Wave files(*.WAV)|*.wav|FLAC files(*.FLAC)|*.flac|MP3 files(*.MP3)|*.mp3|"
        "Ogg Vorbis files(*.OGG)|*.ogg");
}

// A name beside `path` for the take's WAVE while it is turned into another format: one that is not taken.
QString intermediateWave(const QString& path) {
    QString name = path + QStringLiteral(".take.wav");
    for (int n = 2; QFileInfo::exists(name); ++n) name = path + QStringLiteral(".take%1.wav").arg(n);
    return name;
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

void Recorder::showError(const QString& text) {
    boxes_.inform(text + QStringLiteral(" (") + QString::number(code_) + QLatin1Char(')'), boxTitle(),
                  base::MessageIcon::Critical);
}

QString Recorder::startFailure() const {
    using Cause = CommandInterface::Cause;
    const QString folder = QFileInfo(title_).absolutePath();
    switch (commands_.lastCause()) {
        case Cause::kNoFolder:
            return QStringLiteral(
                       "フォルダ「%1」が見つからないため、「%2」への録音を始められません。"
                       "フォルダを作るか、レコーダーを閉じて保存先を選び直してください。")
                .arg(folder, title_);
        case Cause::kNoPermission:
            return QStringLiteral(
                       "フォルダ「%1」に書き込めないため、「%2」への録音を始められません。"
                       "レコーダーを閉じて、書き込めるフォルダを保存先に選び直してください。")
                .arg(folder, title_);
        case Cause::kDiskFull:
            return QStringLiteral(
                       "ディスクがいっぱいのため、「%1」への録音を始められません。"
                       "空き容量を増やしてから、もう一度録音してください。")
                .arg(title_);
        case Cause::kNoInput:
            return QStringLiteral(
                "録音する音を受け取れないため、録音を始められません。"
                "入力デバイスを確かめるか、設定の「再生音を直接録音」を選んでください。");
        default:
            return QStringLiteral("「%1」への録音を始められません。レコーダーを閉じて、開き直してください。")
                .arg(title_);
    }
}

QString Recorder::saveFailure(const QString& kept) const {
    using Cause = CommandInterface::Cause;
    const QString folder = QFileInfo(title_).absolutePath();
    const QString where =
        kept.isEmpty() || !QFileInfo::exists(kept)
            ? QString()
            : QStringLiteral("録音は「%1」に残っています。このファイルを別の場所へ移してください。")
                  .arg(kept);
    if (code_ == mcierr::kInvalidDeviceName)
        return QStringLiteral("保存する録音がありません。録音を始めてから止め、保存してください。");
    switch (commands_.lastCause()) {
        case Cause::kFramesLost:
            return QStringLiteral(
                       "「%1」に保存しましたが、ディスクへの書き込みが間に合わず、録音の一部が"
                       "抜けています。次はほかのプログラムを閉じてから録音してください。")
                .arg(title_);
        case Cause::kDiskFull:
            return QStringLiteral(
                       "ディスクがいっぱいになったため、「%1」には途中までしか録音されていません。"
                       "空き容量を増やしてから録音し直してください。")
                       .arg(title_) +
                   where;
        case Cause::kNoFolder:
            return QStringLiteral("フォルダ「%1」が見つからないため、「%2」を保存できませんでした。")
                       .arg(folder, title_) +
                   where;
        case Cause::kNoPermission:
            return QStringLiteral("フォルダ「%1」に書き込めないため、「%2」を保存できませんでした。")
                       .arg(folder, title_) +
                   where;
        default:
            return QStringLiteral("「%1」を保存できませんでした。").arg(title_) + where;
    }
}

bool Recorder::unsaved() const {
    const audio::WaveRecording* recording = commands_.recording(QStringLiteral("file"));
    return recording != nullptr && !recording->saved() && !recording->tempPath().empty();
}

bool Recorder::chooseFile() {
    if (dialog_.initialFolder.isEmpty()) dialog_.initialFolder = songlist::defaultDialogFolder();
    dialog_.title = saveTitle();
    dialog_.filter = saveFilter();
    dialog_.defaultExtension.clear();
    if (!dialogs_.showSave(dialog_) || dialog_.fileName.isEmpty()) return false;
    // The full path: the dialog leaves the process's current folder alone.
    title_ = dialog_.fileName;
    // The dialog asked about replacing the name it was given; a name that gets its ending here is new to it.
    replaceAgreed_ = true;
    if (!hasSaveEnding(base::fileNameString(title_))) {
        // The ending of the format picked in the dialog's list (WAVE unless another was picked).
        static const char* const kEndings[] = {".wav", ".flac", ".mp3", ".ogg"};
        title_ += QLatin1String(kEndings[std::clamp(dialog_.filterIndex, 0, 3)]);
        replaceAgreed_ = false;
    }
    dialog_.initialFolder = QFileInfo(title_).absolutePath();
    commands_.setDestination(title_);
    return true;
}

bool Recorder::open() {
    view_ = RecorderView{};
    view_.saveEnabled = false;
    settings_.recarmed = true;
    dialog_.fileName.clear();
    if (!chooseFile()) {
        // Nobody is left to record: auto record must not wait for this window.
        settings_.recarmed = false;
        return false;
    }
    if (onImgrec) onImgrec(QStringLiteral("recorder2.bmp"));
    return true;
}

bool Recorder::convert(const QString& wave, SaveFormat format) {
    std::string error;
    auto work = [&](const std::function<bool(double)>& progress) {
        return convertRecording(base::fileNameString(wave), base::fileNameString(title_), format, progress,
                                error);
    };
    const QString caption = QStringLiteral("「%1」を書き出しています…").arg(QFileInfo(title_).fileName());
    const bool ok = withProgress ? withProgress(caption, work) : work({});
    if (ok) {
        QFile::remove(wave);
        return true;
    }
    const QString why = error == "cancelled"
                            ? QStringLiteral("中止しました")
                            : QStringLiteral("ディスクの空きや書き込みの権限を確かめてください");
    boxes_.inform(
        QStringLiteral("「%1」を書き出せませんでした（%2）。\n録音は WAVE のまま「%3」に保存してあります。")
            .arg(title_, why, wave),
        boxTitle(), base::MessageIcon::Warning);
    return false;
}

bool Recorder::mayReplace() {
    while (!replaceAgreed_ && QFileInfo::exists(title_)) {
        const auto answer = boxes_.ask(QStringLiteral("「%1」はすでにあります。この録音で置き換えますか？"
                                                      "「いいえ」を選ぶと別の名前を付けて保存できます。")
                                           .arg(title_),
                                       boxTitle(), base::MessageButtons::YesNo, base::MessageIcon::Question);
        if (answer == base::MessageAnswer::Yes) return true;
        // Another name, or nothing saved for now: the take stays and the save button with it.
        dialog_.fileName = QFileInfo(title_).fileName();
        if (!chooseFile()) return false;
    }
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
        showError(startFailure());
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
    if (unsaved() && !mayReplace()) return;
    const audio::WaveRecording* recording = commands_.recording(QStringLiteral("file"));
    const QString kept = recording != nullptr ? QString::fromStdString(recording->tempPath()) : QString();
    const double gap = recording != nullptr ? recording->gapSeconds() : 0.0;
    // Another format is made from the take's WAVE once that is saved safely beside its place.
    const SaveFormat format = saveFormatFor(base::fileNameString(title_));
    const QString wave = format == SaveFormat::Wave ? title_ : intermediateWave(title_);
    send(QStringLiteral("save file ") + wave);
    const int saveCode = code_;
    const QString saveText = text_;
    // What went wrong, worded before the close forgets why.
    const QString failure = saveCode != 0 ? saveFailure(kept) : QString();
    send(QStringLiteral("close file"));
    // A failed save is reported even when the close after it succeeds.
    if (saveCode != 0) {
        code_ = saveCode;
        text_ = saveText;
        showError(failure);
    } else if (format != SaveFormat::Wave && !convert(wave, format)) {
        // Said by convert(); the take stays in its WAVE.
    } else if (gap >= 0.05) {
        // The file's time is true, but part of it is silence: say where the set has a hole.
        boxes_.inform(QStringLiteral("「%1」を保存しました。\n録音中に入力デバイスが %2 秒間途切れました"
                                     "（サウンドサーバーが止まったなど）。その間は無音で埋めてあります。")
                          .arg(title_, QString::number(gap, 'f', 1)),
                      boxTitle(), base::MessageIcon::Warning);
    }
    // The next take's save asks before it replaces what is there now.
    replaceAgreed_ = false;
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
    if (unsaved() &&
        boxes_.ask(QStringLiteral("「%1」への録音はまだ保存されていません。破棄しますか？").arg(title_),
                   boxTitle(), base::MessageButtons::YesNo,
                   base::MessageIcon::Warning) != base::MessageAnswer::Yes)
        return;
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
    // The label says at once when the disk is full, "容量なし" (writing stopped there; the save keeps what
    // was written), and while the input is lost (the file goes on in silence until it is back).
    if (const audio::WaveRecording* recording = commands_.recording(QStringLiteral("file"))) {
        if (recording->full())
            view_.label.replace(0, 3, QStringLiteral("容量なし"));
        else if (recording->inputLost())
            view_.label.replace(0, 3, QStringLiteral("入力なし"));
    }
}

}  // namespace korvex::recorder
