#pragma once
// The recorder window (`frmrecorder`): a small frameless skinned window with its background, four picture
// buttons, the time label and the 100 ms timer. It forwards every press, click and tick to its Recorder
// model and draws the model's view back; it is created when the main window's recorder button is clicked
// and destroyed when it closes.

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "appearance/skin.h"
#include "appearance/ui/picture_widget.h"
#include "recorder/recorder.h"

namespace korvex::recorder {

class RecorderWindow : public QWidget {
public:
    // `picturePath` turns a bitmap name into the current skin's file; `pictures` are the skin's recorder
    // pictures that can be loaded (SkinPictures::recorderPictures). The other references must outlive the
    // window.
    RecorderWindow(CommandInterface& commands, deck::DeckSettings& settings, songlist::DialogState& dialog,
                   songlist::FileDialogs& dialogs, base::MessageBoxes& boxes,
                   std::function<QString(const QString&)> picturePath,
                   const std::vector<appearance::ImagePicture>& pictures, QWidget* parent = nullptr);

    // Runs the opening (the save dialog first). False when the dialog was cancelled: the window is then not
    // to be shown.
    bool open();
    // `recordstart`, as auto record runs it when a deck starts.
    void recordstart();
    // What the 100 ms timer does on each tick.
    void tick();
    Recorder& model() { return model_; }
    appearance::PictureWidget* picture(const std::string& name) const;
    QLabel* label() const { return label_; }
    const QTimer& timer() const { return timer_; }

    // The main window's recorder button is to show this picture.
    std::function<void(const QString&)> onImgrec;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs a save's conversion on a thread of its own under a progress dialog with a cancel button.
    bool runWithProgress(const QString& caption, const Recorder::ProgressWork& work);
    void connectButton(const std::string& name, void (Recorder::*press)(), void (Recorder::*release)(),
                       void (Recorder::*click)(), const bool RecorderView::*enabled);
    void refresh();
    void showBitmap(const std::string& name, const QString& bitmap);

    Recorder model_;
    std::function<QString(const QString&)> picturePath_;
    std::map<std::string, appearance::PictureWidget*> pictures_;
    std::map<std::string, QString> shown_;
    QLabel* label_ = nullptr;
    QTimer timer_;
    QPoint grab_;
    bool closing_ = false;
};

}  // namespace korvex::recorder
