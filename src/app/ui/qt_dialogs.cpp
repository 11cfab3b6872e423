#include "app/ui/qt_dialogs.h"

#include <algorithm>

#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QMenu>
#include <QMessageBox>

namespace korvex::app {

namespace {

// The filter line shows the program's own description ("(*.lis;)") once; the patterns Qt needs after it
// stay out of sight.
constexpr QFileDialog::Options kFilterOptions = QFileDialog::HideNameFilterDetails;

}  // namespace

QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2) return filter;
    // Pairs of a description and its patterns, one line of the dialog's list each.
    QStringList lines;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QString list = patterns.join(QLatin1Char(' '));
        // A description that already ends in its patterns ("Wave files(*.WAV)") is shown as it is: the
        // dialog reads the patterns from there (file names match regardless of case).
        const QString& description = parts[i];
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && description.endsWith(QLatin1Char(')')) &&
            description.mid(open + 1, description.size() - open - 2).compare(list, Qt::CaseInsensitive) == 0)
            lines << description;
        else
            lines << description + QStringLiteral(" (") + list + QLatin1Char(')');
    }
    return lines.join(QStringLiteral(";;"));
}

namespace {

// Where a dialog opens: the proposed name inside the initial folder (an absolute name stands alone).
QString startPath(const songlist::DialogState& state) {
    if (state.fileName.isEmpty()) return state.initialFolder;
    return QDir(state.initialFolder).filePath(state.fileName);
}

QMessageBox::Icon iconOf(base::MessageIcon icon) {
    switch (icon) {
        case base::MessageIcon::Information:
            return QMessageBox::Information;
        case base::MessageIcon::Question:
            return QMessageBox::Question;
        case base::MessageIcon::Warning:
            return QMessageBox::Warning;
        case base::MessageIcon::Critical:
            return QMessageBox::Critical;
        case base::MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString titleOr(const QString& title) { return title.isEmpty() ? QStringLiteral("Korvex") : title; }

}  // namespace

bool QtDialogs::showOpen(songlist::DialogState& state) {
    const QString chosen = QFileDialog::getOpenFileName(parent_, state.title, startPath(state),
                                                        qtFilter(state.filter), nullptr, kFilterOptions);
    if (chosen.isEmpty()) return false;
    state.fileName = chosen;
    return true;
}

songlist::SongChoice QtDialogs::showOpenSongs(songlist::DialogState& state, QStringList& chosen) {
    using songlist::SongChoice;
    QFileDialog dialog(parent_, state.title, startPath(state), qtFilter(state.filter));
    dialog.setOptions(kFilterOptions | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The folder button adds the folder picked in the list, or else the folder the dialog shows.
    bool folder = false;
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        QPushButton* add = buttons->addButton(QStringLiteral("フォルダーを追加"), QDialogButtonBox::ActionRole);
        add->setObjectName(QStringLiteral("addFolderButton"));
        add->setToolTip(QStringLiteral("選んだフォルダー（選んでいなければ表示中のフォルダー）の曲をすべて追加します"));
        QObject::connect(add, &QPushButton::clicked, &dialog, [&dialog, &folder] {
            folder = true;
            static_cast<QDialog&>(dialog).done(QDialog::Accepted);
        });
    }
    if (dialog.exec() != QDialog::Accepted) return SongChoice::kCancelled;
    QStringList files = dialog.selectedFiles();
    if (folder) {
        QString picked = dialog.directory().absolutePath();
        for (const QString& file : files) {
            if (QFileInfo(file).isDir()) {
                picked = file;
                break;
            }
        }
        chosen = QStringList{picked};
        state.fileName = picked;
        return SongChoice::kFolder;
    }
    files.removeIf([](const QString& file) { return file.isEmpty() || QFileInfo(file).isDir(); });
    if (files.isEmpty()) return SongChoice::kCancelled;
    chosen = files;
    state.fileName = files.first();
    return SongChoice::kFiles;
}

bool QtDialogs::showSave(songlist::DialogState& state) {
    const QString filters = qtFilter(state.filter);
    QString selected;
    const QString chosen = QFileDialog::getSaveFileName(parent_, state.title, startPath(state), filters,
                                                        &selected, kFilterOptions);
    if (chosen.isEmpty()) return false;
    state.fileName = chosen;
    state.filterIndex = std::max<qsizetype>(0, filters.split(QStringLiteral(";;")).indexOf(selected));
    return true;
}

base::MessageAnswer QtDialogs::ask(const QString& text, const QString& title, base::MessageButtons buttons,
                                       base::MessageIcon icon) {
    using base::MessageAnswer;
    using base::MessageButtons;
    QMessageBox::StandardButtons shown = QMessageBox::Ok;
    if (buttons == MessageButtons::OkCancel) shown = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == MessageButtons::YesNo) shown = QMessageBox::Yes | QMessageBox::No;
    if (buttons == MessageButtons::YesNoCancel) shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QMessageBox box(iconOf(icon), titleOr(title), text, shown, parent_);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        default:
            // Closed without a button: Cancel where there is one, else No, else Ok.
            if (buttons == MessageButtons::OkCancel || buttons == MessageButtons::YesNoCancel)
                return MessageAnswer::Cancel;
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
}

void QtDialogs::inform(const QString& text, const QString& title, base::MessageIcon icon) {
    QMessageBox box(iconOf(icon), titleOr(title), text, QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<control::ListCommand> QtDialogs::showPopup(int, const control::PopupMenu& menu) {
    // The menu's items pop up directly at the pointer.
    QMenu popup(parent_);
    popup.setTitle(menu.caption);
    std::optional<control::ListCommand> chosen;
    for (const control::PopupItem& item : menu.items) {
        const control::ListCommand command = item.command;
        popup.addAction(item.caption, [&chosen, command] { chosen = command; });
    }
    popup.exec(QCursor::pos());
    return chosen;
}

}  // namespace korvex::app
