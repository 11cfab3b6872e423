#pragma once
// The library window: a search box that filters as you type, the matching songs in a sortable table, and
// the ways to send a song to a deck (Enter or a double-click: the deck with the keyboard; the right-click
// menu: deck A or B; a drag onto either title list). "フォルダー" names the music folders; a bar shows a
// running scan. The window only shows: the library, the decks and the scan live elsewhere.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "library/library.h"
#include "library/library_table_model.h"

namespace korvex::library {

class LibraryWindow : public QWidget {
public:
    LibraryWindow(Library& library, QWidget* parent = nullptr);

    // A song goes to deck `deck`'s list: its file name as the song lists hold it.
    std::function<void(int deck, const QString& fileName)> onAdd;
    // The deck that has the keyboard (Enter and a double-click send songs there).
    std::function<int()> focusDeck;
    // Asks for a music folder to add; "" when none is chosen. By default Qt's folder dialog.
    std::function<QString()> chooseFolder;

    QLineEdit* searchBox() const { return search_; }
    QTableView* table() const { return table_; }
    LibraryTableModel* model() const { return model_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusLabel() const { return status_; }
    // Reads the matches again when the library changed (after a scan, a counted play).
    void refreshIfChanged();
    // Sends the selected songs (or the first match when none is selected) to `deck`.
    void sendSelected(int deck);
    // The folders dialog.
    void showFolders();
    // A key press that reached another window while this one is active goes to the search box.
    void typeKey(const QKeyEvent* event);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showStatus();
    void pollScan();
    void showContextMenu(const QPoint& at);

    Library& library_;
    LibraryTableModel* model_;
    QLineEdit* search_;
    QTableView* table_;
    QPushButton* foldersButton_;
    QPushButton* scanButton_;
    QProgressBar* progress_;
    QLabel* status_;
    QTimer poll_;
    int shownRevision_ = -1;
};

}  // namespace korvex::library
