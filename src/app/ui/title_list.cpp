#include "app/ui/title_list.h"

#include <QItemSelectionModel>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "base/file_names.h"

namespace korvex::app {

namespace {

// The same mouse event without Ctrl or Shift: one title is highlighted at a time, and a Ctrl+click must not
// take the highlight off the row the list keeps.
QMouseEvent withoutModifiers(const QMouseEvent& event) {
    return QMouseEvent(event.type(), event.position(), event.scenePosition(), event.globalPosition(),
                       event.button(), event.buttons(), Qt::NoModifier, event.pointingDevice());
}

}  // namespace

TitleList::TitleList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

int TitleList::highlightedRow() const {
    // Asked on every tick: the selection's first range, without a list of the selected items.
    const QItemSelection selection = selectionModel()->selection();
    return selection.isEmpty() ? -1 : selection.first().top();
}

void TitleList::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TitleList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TitleList::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << base::localFileOf(url);
    event->acceptProposedAction();
    if (onDrop) onDrop(paths, event->modifiers().testFlag(Qt::ShiftModifier));
}

void TitleList::mousePressEvent(QMouseEvent* event) {
    // Only the left button selects the title under the pointer; a right press works on the title
    // already highlighted (its menu acts on that one), and so does a press below the last title, which
    // leaves the highlight where it is.
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr) {
        QMouseEvent plain = withoutModifiers(*event);
        QListWidget::mousePressEvent(&plain);
    }
    if (onPress) onPress(event->button());
}

void TitleList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && currentRow() >= 0 && onDoubleClick) onDoubleClick();
}

void TitleList::mouseReleaseEvent(QMouseEvent* event) {
    // A release below the last title would clear the highlight as a press there does.
    if (itemAt(event->position().toPoint()) == nullptr) return;
    QMouseEvent plain = withoutModifiers(*event);
    QListWidget::mouseReleaseEvent(&plain);
}

void TitleList::mouseMoveEvent(QMouseEvent*) {
    // Dragging over the titles selects nothing: only a press chooses the row, and the press tells the list.
}

}  // namespace korvex::app
