#pragma once
// The library window's table: the songs matching the search, in the chosen order, read from the database
// as they are drawn.
//
// Why it is shaped this way: a library of 100 000 songs must open and filter in a blink and take little
// memory. The model holds the shown songs' ids in the chosen order (read from the sort column's index) and
// each id's place in it; a search asks the full-text index which ids match and puts them in that order
// itself, so no search sorts rows in SQL. Rows are read in pages of 128 when the view draws them, and the
// last few pages kept; nothing is made per row until it is seen. About 12 bytes a song in all.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "library/library_database.h"

namespace korvex::library {

class LibraryTableModel : public QAbstractTableModel {
public:
    enum Column { kTitle, kArtist, kBpm, kLength, kLoudness, kPlayCount, kColumns };

    // `db` must outlive the model (or be handed over again with setDatabase()).
    explicit LibraryTableModel(LibraryDatabase* db, QObject* parent = nullptr);
    void setDatabase(LibraryDatabase* db);

    // Shows the songs matching every word of `words` (all songs when blank).
    void setSearch(const QString& words);
    const QString& searchWords() const { return words_; }
    // Reads the songs and the matches again (after a scan or a play).
    void refresh();
    // The file (as bytes) of `row`; "" outside the table.
    std::string pathAt(int row) const;
    // The readable name of the file of `row`, as the song lists hold it.
    QString fileNameAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    static constexpr int kPageRows = 128;
    static constexpr std::size_t kPagesKept = 16;

private:
    const TrackRow* rowAt(int row) const;
    // ids_ from order_ and the search words.
    void applySearch();

    LibraryDatabase* db_;
    QString words_;
    SortColumn sort_ = SortColumn::kTitle;
    bool descending_ = false;
    // Every shown song in the sort order, and each id's place in it (-1: not shown).
    std::vector<std::int64_t> order_;
    std::vector<std::int32_t> place_;
    // What the table shows: the songs matching the search, in the sort order.
    std::vector<std::int64_t> ids_;
    // Pages read, the most recently used first.
    mutable std::unordered_map<int, std::vector<TrackRow>> pages_;
    mutable std::list<int> pageOrder_;
};

// "3:07" for a length in seconds.
QString lengthText(double seconds);

}  // namespace korvex::library
