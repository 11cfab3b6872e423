#include "library/library_table_model.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "base/file_names.h"

namespace korvex::library {

QString lengthText(double seconds) {
    const auto whole = static_cast<long long>(std::lround(seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

LibraryTableModel::LibraryTableModel(LibraryDatabase* db, QObject* parent)
    : QAbstractTableModel(parent), db_(db) {}

void LibraryTableModel::setDatabase(LibraryDatabase* db) {
    db_ = db;
    refresh();
}

void LibraryTableModel::setSearch(const QString& words) {
    words_ = words;
    beginResetModel();
    pages_.clear();
    pageOrder_.clear();
    applySearch();
    endResetModel();
}

void LibraryTableModel::refresh() {
    beginResetModel();
    pages_.clear();
    pageOrder_.clear();
    order_ =
        db_ != nullptr && db_->isOpen() ? db_->search({}, sort_, descending_) : std::vector<std::int64_t>();
    const std::int64_t top = order_.empty() ? -1 : *std::max_element(order_.begin(), order_.end());
    place_.assign(static_cast<std::size_t>(top + 1), -1);
    for (std::size_t i = 0; i < order_.size(); ++i)
        place_[static_cast<std::size_t>(order_[i])] = static_cast<std::int32_t>(i);
    applySearch();
    endResetModel();
}

void LibraryTableModel::applySearch() {
    if (db_ == nullptr || !db_->isOpen() || LibraryDatabase::matchQuery(words_).isEmpty()) {
        ids_ = order_;
        return;
    }
    // The matching songs that are shown, marked at their place in the order and read back in that order:
    // a pass over the order instead of a sort of the matches, which for a one-letter search are nearly all.
    std::vector<bool> shown(order_.size(), false);
    std::size_t count = 0;
    for (std::int64_t id : db_->matches(words_)) {
        if (id < 0 || static_cast<std::size_t>(id) >= place_.size()) continue;
        if (const std::int32_t place = place_[static_cast<std::size_t>(id)]; place >= 0) {
            count += shown[static_cast<std::size_t>(place)] ? 0 : 1;
            shown[static_cast<std::size_t>(place)] = true;
        }
    }
    ids_.clear();
    ids_.reserve(count);
    for (std::size_t i = 0; i < order_.size(); ++i)
        if (shown[i]) ids_.push_back(order_[i]);
}

const TrackRow* LibraryTableModel::rowAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= ids_.size() || db_ == nullptr) return nullptr;
    const int page = row / kPageRows;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        const auto first = ids_.begin() + static_cast<std::ptrdiff_t>(page) * kPageRows;
        const auto last =
            ids_.begin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(ids_.size()),
                                                    static_cast<std::ptrdiff_t>(page + 1) * kPageRows);
        std::vector<TrackRow> read = db_->rows(std::vector<std::int64_t>(first, last));
        // Rows come back in id order of the query; put them in the table's order.
        std::unordered_map<std::int64_t, TrackRow> byId;
        for (TrackRow& r : read) byId.emplace(r.id, std::move(r));
        std::vector<TrackRow> ordered;
        ordered.reserve(static_cast<std::size_t>(last - first));
        for (auto it = first; it != last; ++it) {
            auto hit = byId.find(*it);
            ordered.push_back(hit != byId.end() ? std::move(hit->second) : TrackRow{});
        }
        if (pages_.size() >= kPagesKept) {
            pages_.erase(pageOrder_.back());
            pageOrder_.pop_back();
        }
        found = pages_.emplace(page, std::move(ordered)).first;
        pageOrder_.push_front(page);
    } else if (pageOrder_.front() != page) {
        pageOrder_.remove(page);
        pageOrder_.push_front(page);
    }
    return &found->second[static_cast<std::size_t>(row % kPageRows)];
}

std::string LibraryTableModel::pathAt(int row) const {
    const TrackRow* r = rowAt(row);
    return r != nullptr ? r->path : std::string();
}

QString LibraryTableModel::fileNameAt(int row) const {
    const TrackRow* r = rowAt(row);
    return r != nullptr ? base::fileNameFromBytes(QByteArray::fromStdString(r->path)) : QString();
}

int LibraryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

int LibraryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant LibraryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() >= kBpm ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TrackRow* r = rowAt(index.row());
    if (r == nullptr) return {};
    if (role == Qt::ToolTipRole) {
        QString tip = base::readableFileName(base::fileNameFromBytes(QByteArray::fromStdString(r->path)));
        if (!r->album.isEmpty()) tip = r->album + u'\n' + tip;
        return tip;
    }
    switch (index.column()) {
        case kTitle:
            return r->title;
        case kArtist:
            return r->artist;
        case kBpm:
            return r->bpm ? QString::number(*r->bpm, 'f', 1) : QString();
        case kLength:
            return r->seconds ? lengthText(*r->seconds) : QString();
        case kLoudness:
            return r->loudness ? QString::number(*r->loudness, 'f', 1) : QString();
        case kPlayCount:
            return r->playCount;
        default:
            return {};
    }
}

QVariant LibraryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kCaptions[] = {"タイトル", "アーティスト", "BPM",
                                            "長さ",     "ラウドネス",   "再生回数"};
    if (section < 0 || section >= kColumns) return {};
    return QString::fromUtf8(kCaptions[section]);
}

Qt::ItemFlags LibraryTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

void LibraryTableModel::sort(int column, Qt::SortOrder order) {
    static constexpr SortColumn kSorts[] = {SortColumn::kTitle,    SortColumn::kArtist,
                                            SortColumn::kBpm,      SortColumn::kLength,
                                            SortColumn::kLoudness, SortColumn::kPlayCount};
    if (column < 0 || column >= kColumns) return;
    sort_ = kSorts[column];
    descending_ = order == Qt::DescendingOrder;
    refresh();
}

QStringList LibraryTableModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* LibraryTableModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<QUrl> urls;
    for (int row : rows) {
        // The name's bytes, percent-encoded: a name that is not UTF-8 arrives as it is.
        const std::string path = pathAt(row);
        if (!path.empty())
            urls << QUrl::fromEncoded(QByteArrayLiteral("file://") +
                                      QByteArray::fromStdString(path).toPercentEncoding("/"));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

}  // namespace korvex::library
