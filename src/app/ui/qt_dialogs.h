#pragma once
// The window system's side of the models' questions: Qt's file dialogs with the one shared dialog state,
// message boxes with the program's texts and icons, and the title lists' popup menus.

#include <QWidget>

#include "control/list_editor.h"
#include "base/message_boxes.h"
#include "songlist/song_adder.h"

namespace korvex::app {

// A model's filter ("(*.mp3;*.wav;)|*.mp3;*.wav;": description "|" patterns) as the dialog's filter line
// ("(*.mp3;*.wav;) (*.mp3 *.wav)"); a description that already lists its patterns stands alone.
QString qtFilter(const QString& filter);

class QtDialogs final : public songlist::FileDialogs, public base::MessageBoxes, public control::PopupMenuHost {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    bool showOpen(songlist::DialogState& state) override;
    bool showSave(songlist::DialogState& state) override;
    // Qt's own dialog (not the desktop's), which can carry the folder button "フォルダーを追加".
    songlist::SongChoice showOpenSongs(songlist::DialogState& state, QStringList& chosen) override;
    base::MessageAnswer ask(const QString& text, const QString& title, base::MessageButtons buttons,
                                base::MessageIcon icon) override;
    void inform(const QString& text, const QString& title, base::MessageIcon icon) override;
    std::optional<control::ListCommand> showPopup(int deck, const control::PopupMenu& menu) override;

private:
    QWidget* parent_;
};

}  // namespace korvex::app
