#pragma once
// A deck's title list: shows the song list's titles, accepts dropped files and folders, and reports
// presses (which select) and double-clicks (which load).

#include <QListWidget>
#include <QStringList>
#include <functional>

namespace korvex::app {

class TitleList : public QListWidget {
public:
    explicit TitleList(QWidget* parent = nullptr);
    // The highlighted row, -1 when none is.
    int highlightedRow() const;

    // Local paths dropped on the list, in the order delivered, and whether Shift was held.
    std::function<void(const QStringList& paths, bool shift)> onDrop;
    // A mouse press; the list's current row is already the pressed one.
    std::function<void(Qt::MouseButton)> onPress;
    std::function<void()> onDoubleClick;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace korvex::app
