#include "app/ui/title_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace korvex::app {

TitleList::TitleList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
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
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    if (onDrop) onDrop(paths, event->modifiers().testFlag(Qt::ShiftModifier));
}

void TitleList::mousePressEvent(QMouseEvent* event) {
    // Only the left button selects the title under the pointer; a right press works on the title
    // already highlighted (its menu acts on that one).
    if (event->button() == Qt::LeftButton) QListWidget::mousePressEvent(event);
    if (onPress) onPress(event->button());
}

void TitleList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && currentRow() >= 0 && onDoubleClick) onDoubleClick();
}

}  // namespace korvex::app
