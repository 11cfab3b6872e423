#include "library/ui/library_window.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QLocale>
#include <QMenu>

#include "base/file_names.h"

namespace korvex::library {

LibraryWindow::LibraryWindow(Library& library, QWidget* parent)
    : QWidget(parent, Qt::Window),
      library_(library),
      model_(new LibraryTableModel(&library.database(), this)) {
    setWindowTitle(QStringLiteral("ライブラリ"));
    resize(760, 480);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("曲名・アーティスト・アルバム・ジャンル・ファイル名で検索"));
    search_->setClearButtonEnabled(true);
    search_->installEventFilter(this);
    foldersButton_ = new QPushButton(QStringLiteral("フォルダー"), this);
    foldersButton_->setToolTip(QStringLiteral("ライブラリに入れる音楽フォルダーを指定します"));
    scanButton_ = new QPushButton(QStringLiteral("スキャン"), this);
    scanButton_->setToolTip(QStringLiteral("音楽フォルダーを読み直します（変わったファイルだけ）"));

    table_ = new QTableView(this);
    table_->setModel(model_);
    // The indicator first: turning sorting on then reads the table once, by title.
    table_->horizontalHeader()->setSortIndicator(LibraryTableModel::kTitle, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setDragEnabled(true);
    table_->setDragDropMode(QAbstractItemView::DragOnly);
    table_->setDefaultDropAction(Qt::CopyAction);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->installEventFilter(this);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(LibraryTableModel::kTitle, 260);
    header->resizeSection(LibraryTableModel::kArtist, 180);
    for (int column : {LibraryTableModel::kBpm, LibraryTableModel::kLength, LibraryTableModel::kLoudness,
                       LibraryTableModel::kPlayCount})
        header->resizeSection(column, 70);
    header->setStretchLastSection(true);

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(true);
    progress_->hide();
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(search_, 1);
    top->addWidget(foldersButton_);
    top->addWidget(scanButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addWidget(progress_);
    layout->addWidget(status_);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& words) {
        model_->setSearch(words);
        showStatus();
    });
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex&) { sendSelected(focusDeck ? focusDeck() : 0); });
    connect(table_, &QWidget::customContextMenuRequested, this, &LibraryWindow::showContextMenu);
    connect(foldersButton_, &QPushButton::clicked, this, &LibraryWindow::showFolders);
    connect(scanButton_, &QPushButton::clicked, this, [this] {
        library_.startScan();
        pollScan();
    });
    chooseFolder = [this] {
        return QFileDialog::getExistingDirectory(
            this, QStringLiteral("音楽フォルダーを選択"), QString(),
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    };
    // The table was read by the header's sort above: the first showing need not read it again.
    shownRevision_ = library_.revision();
    poll_.setInterval(200);
    connect(&poll_, &QTimer::timeout, this, &LibraryWindow::pollScan);
}

void LibraryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshIfChanged();
    pollScan();
    search_->setFocus();
}

void LibraryWindow::refreshIfChanged() {
    if (shownRevision_ == library_.revision()) return;
    shownRevision_ = library_.revision();
    model_->refresh();
    showStatus();
}

void LibraryWindow::showStatus() {
    QString text = QStringLiteral("%1 曲").arg(QLocale(QLocale::Japanese).toString(model_->rowCount()));
    if (!library_.message().isEmpty()) text += QStringLiteral("　") + library_.message();
    if (library_.folders().isEmpty())
        text += QStringLiteral("　「フォルダー」で音楽フォルダーを指定してください。");
    status_->setText(text);
    status_->setStyleSheet(library_.messageIsProblem() ? QStringLiteral("color: #c00000;") : QString());
}

void LibraryWindow::pollScan() {
    const bool ended = library_.poll();
    if (const ScanProgress* p = library_.progress()) {
        if (!poll_.isActive()) poll_.start();
        progress_->show();
        scanButton_->setEnabled(false);
        if (p->walking.load()) {
            progress_->setRange(0, 0);
            progress_->setFormat(QStringLiteral("フォルダーを調べています… %1 曲").arg(p->found.load()));
        } else {
            const auto total = static_cast<int>(std::max<std::int64_t>(1, p->toRead.load()));
            progress_->setRange(0, total);
            progress_->setValue(static_cast<int>(p->read.load()));
            progress_->setFormat(QStringLiteral("タグを読んでいます… %v ／ %m"));
        }
        return;
    }
    poll_.stop();
    progress_->hide();
    scanButton_->setEnabled(true);
    if (ended || isVisible()) refreshIfChanged();
}

void LibraryWindow::sendSelected(int deck) {
    if (!onAdd) return;
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    if (rows.isEmpty() && model_->rowCount() > 0) rows << model_->index(0, 0);
    for (const QModelIndex& index : rows) {
        const QString name = model_->fileNameAt(index.row());
        if (!name.isEmpty()) onAdd(deck, name);
    }
}

void LibraryWindow::showContextMenu(const QPoint& at) {
    const QModelIndex index = table_->indexAt(at);
    if (!index.isValid()) return;
    if (!table_->selectionModel()->isRowSelected(index.row(), {})) table_->selectRow(index.row());
    QMenu menu(this);
    menu.addAction(QStringLiteral("デッキ A"), this, [this] { sendSelected(0); });
    menu.addAction(QStringLiteral("デッキ B"), this, [this] { sendSelected(1); });
    menu.exec(table_->viewport()->mapToGlobal(at));
}

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter) {
            sendSelected(focusDeck ? focusDeck() : 0);
            return true;
        }
        // From the search box the arrows walk the table, so a song is found and sent without the mouse.
        if (watched == search_ && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
            model_->rowCount() > 0) {
            const int current = table_->currentIndex().isValid() ? table_->currentIndex().row() : -1;
            const int next =
                std::clamp(current + (key->key() == Qt::Key_Down ? 1 : -1), 0, model_->rowCount() - 1);
            table_->selectRow(next);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LibraryWindow::typeKey(const QKeyEvent* event) {
    search_->setFocus();
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                   static_cast<quint16>(event->count()));
    QCoreApplication::sendEvent(search_, &copy);
}

void LibraryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LibraryWindow::showFolders() {
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("音楽フォルダー"));
    auto* list = new QListWidget(dialog);
    auto fill = [this, list] {
        list->clear();
        for (const QString& folder : library_.folders()) {
            auto* item = new QListWidgetItem(base::readableFileName(folder), list);
            item->setData(Qt::UserRole, folder);
        }
    };
    fill();
    auto* add = new QPushButton(QStringLiteral("追加..."), dialog);
    auto* remove = new QPushButton(QStringLiteral("削除"), dialog);
    auto* done = new QPushButton(QStringLiteral("閉じる"), dialog);
    connect(add, &QPushButton::clicked, dialog, [this, fill] {
        const QString folder = chooseFolder ? chooseFolder() : QString();
        if (folder.isEmpty()) return;
        library_.addFolder(folder);
        fill();
        pollScan();
    });
    connect(remove, &QPushButton::clicked, dialog, [this, list, fill] {
        if (QListWidgetItem* item = list->currentItem())
            library_.removeFolder(item->data(Qt::UserRole).toString());
        fill();
        refreshIfChanged();
    });
    connect(done, &QPushButton::clicked, dialog, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(done);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(
        new QLabel(QStringLiteral("ライブラリに入れる音楽フォルダー（サブフォルダーも含みます）"), dialog));
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    dialog->resize(480, 260);
    dialog->show();
}

}  // namespace korvex::library
