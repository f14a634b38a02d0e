#include "ListViewModel.h"

#include <algorithm>

namespace vintrel {

ListViewModel::ListViewModel(std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

ListViewModel::Row ListViewModel::MakeRow(std::string_view joined, const ListedFile& file) {
    Row row;
    row.text = std::make_unique_for_overwrite<char[]>(joined.size());
    std::copy(joined.begin(), joined.end(), row.text.get());
    row.size = static_cast<uint32_t>(joined.size());
    row.file = file;
    return row;
}

ListViewModel::Row ListViewModel::MakeRow(const std::vector<std::string>& cells,
                                          std::string_view exact) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) text += '\0';
        text += cells[i];
    }
    if (!exact.empty() && exact != cells.front()) {
        text += '\0';
        text += exact;
    }
    return MakeRow(text, {});
}

std::string_view ListViewModel::cell(int rowIndex, int column) const {
    std::string_view row = rows_[static_cast<size_t>(rowIndex)].view();
    for (int i = 0; i < column; ++i) {
        const size_t end = row.find('\0');
        if (end == std::string_view::npos) return {};
        row.remove_prefix(end + 1);
    }
    return row.substr(0, row.find('\0'));
}

std::string_view ListViewModel::exactFirstCell(int rowIndex) const {
    // What follows the last cell, when anything does, is the exact first cell.
    std::string_view row = rows_[static_cast<size_t>(rowIndex)].view();
    for (size_t i = 0; i < columns_.size(); ++i) {
        const size_t end = row.find('\0');
        if (end == std::string_view::npos) return cell(rowIndex, 0);
        row.remove_prefix(end + 1);
    }
    return row;
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const std::string_view text = cell(index.row(), index.column());
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[static_cast<size_t>(index.column())].alignment);
    case Qt::DecorationRole:
        if (index.column() == 0 && !rowImage_.isNull()) return rowImage_;
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    if (role == Qt::DisplayRole) return columns_[static_cast<size_t>(section)].caption;
    const auto column = static_cast<size_t>(section);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(columns_[column].alignment);
    if (role == Qt::DecorationRole && column < headerImages_.size() &&
        !headerImages_[column].isNull()) {
        return headerImages_[column];
    }
    return {};
}

void ListViewModel::setHeaderImage(int column, const QPixmap& image) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    headerImages_.resize(columns_.size());
    headerImages_[static_cast<size_t>(column)] = image;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void ListViewModel::appendRow(const std::vector<std::string>& cells,
                              std::string_view exactFirstCell) {
    pending_.push_back(MakeRow(cells, exactFirstCell));
}

void ListViewModel::appendJoinedRow(std::string joinedCells, std::string_view exactFirstCell,
                                    const ListedFile& file) {
    if (!joinedCells.empty() && joinedCells.back() == '\0') joinedCells.pop_back();
    const std::string_view first = std::string_view(joinedCells).substr(0, joinedCells.find('\0'));
    if (!exactFirstCell.empty() && exactFirstCell != first) {
        joinedCells += '\0';
        joinedCells += exactFirstCell;
    }
    pending_.push_back(MakeRow(joinedCells, file));
}

void ListViewModel::commitRows() {
    if (pending_.empty()) return;
    const int first = static_cast<int>(rows_.size());
    ++version_;
    beginInsertRows({}, first, first + static_cast<int>(pending_.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(pending_.begin()),
                 std::make_move_iterator(pending_.end()));
    pending_.clear();
    queueKeys(static_cast<size_t>(first), rows_.size());
    endInsertRows();
}

void ListViewModel::queueKeys(size_t first, size_t end) {
    if (!firstCellKeys_ || first == end) return;
    std::vector<std::string_view> texts;
    texts.reserve(end - first);
    for (size_t row = first; row < end; ++row) texts.push_back(cell(static_cast<int>(row), 0));
    const uint32_t index = firstCellKeys_->add(texts);
    for (size_t row = first; row < end; ++row)
        rows_[row].keyIndex = index + static_cast<uint32_t>(row - first);
}

void ListViewModel::keepFirstCellKeys(const Collation& collation) {
    if (firstCellKeys_) {
        firstCellKeys_->reset(collation);
    } else {
        firstCellKeys_ = std::make_unique<BackgroundSortKeys>(collation);
    }
    queueKeys(0, rows_.size());
}

void ListViewModel::clear() {
    ++version_;
    beginResetModel();
    if (firstCellKeys_) firstCellKeys_->reset();
    rows_.clear();
    rows_.shrink_to_fit();
    pending_.clear();
    endResetModel();
}

// One layout change rather than a reset: the rows that stay keep their selection and the
// current row, and the view keeps its place. One compaction, whatever the number of runs.
void ListViewModel::removeRowsWhere(const std::function<bool(int row)>& remove) {
    std::vector<int> newPosition(rows_.size(), -1);
    std::vector<Row> kept;
    kept.reserve(rows_.size());
    std::vector<uint32_t> removedKeys;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (remove(static_cast<int>(i))) {
            removedKeys.push_back(rows_[i].keyIndex);
            continue;
        }
        newPosition[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(rows_[i]));
    }
    if (kept.size() == rows_.size()) {
        rows_ = std::move(kept);
        return;
    }
    ++version_;
    emit layoutAboutToBeChanged();
    if (firstCellKeys_) firstCellKeys_->forget(removedKeys);
    rows_ = std::move(kept);
    QModelIndexList from = persistentIndexList(), to;
    for (const QModelIndex& index : from) {
        const int row = newPosition[static_cast<size_t>(index.row())];
        to.append(row < 0 ? QModelIndex() : this->index(row, index.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged();
}

void ListViewModel::reorder(const std::vector<int>& order) {
    ++version_;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (const int old : order) sorted.push_back(std::move(rows_[static_cast<size_t>(old)]));
    rows_ = std::move(sorted);
    // Selection and current index follow the rows.
    QModelIndexList from = persistentIndexList(), to;
    std::vector<int> newPosition(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newPosition[static_cast<size_t>(order[i])] = static_cast<int>(i);
    for (const QModelIndex& index : from)
        to.append(this->index(newPosition[static_cast<size_t>(index.row())], index.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace vintrel
