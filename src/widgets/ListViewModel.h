#pragma once
// The rows of a report-style list: a few text cells per row, stored compactly as UTF-8 so
// that a table holds millions of rows, plus the exact bytes of the first cell where they
// differ from its text (a file name that is not UTF-8).

#include "BackgroundSortKeys.h"
#include "FolderReader.h"

#include <functional>
#include <memory>
#include <QAbstractTableModel>
#include <QPixmap>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// The file a row stands for: which file a walk met, or what a saved scan recorded of it.
struct ListedFile {
    FileIdentity identity; // from a walk; unknown for a saved scan's rows
    int64_t size = 0;      // a saved scan's rows: the size and modification time recorded
    FileTime modified = kUnknownFileTime;
};

class ListViewModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    struct Column {
        QString caption;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };

    ListViewModel(std::vector<Column> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows may be dragged; the view decides whether a drag starts (dragEnabled).
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows are appended to a pending batch that the view sees only at commitRows(): a fill
    // of many rows is shown in a few steps instead of one per row.
    void appendRow(const std::vector<std::string>& cells, std::string_view exactFirstCell = {});
    // A row whose cells are already joined, each followed by '\0'; `file`: the file the row
    // stands for, where it is one.
    void appendJoinedRow(std::string joinedCells, std::string_view exactFirstCell = {},
                         const ListedFile& file = {});
    void commitRows();
    // Room for this many rows in all: a fill of known length grows the table without copies.
    void reserve(size_t rows) { rows_.reserve(rows); }

    void clear();
    void removeRowsWhere(const std::function<bool(int row)>& remove);

    std::string_view cell(int row, int column) const;
    // The exact bytes behind the first cell (a path or a type text).
    std::string_view exactFirstCell(int row) const;
    const ListedFile& listedFile(int row) const { return rows_[static_cast<size_t>(row)].file; }
    const Column& column(int index) const { return columns_[static_cast<size_t>(index)]; }

    // The image place before each row's first column.
    void setRowImage(const QPixmap& image) { rowImage_ = image; }
    // The image before a column's caption; a null pixmap for none.
    void setHeaderImage(int column, const QPixmap& image);
    // Rises with every change of the rows.
    uint64_t version() const { return version_; }
    // Reorders the rows: order[i] is the old index of the row that goes to position i.
    void reorder(const std::vector<int>& order);

    // Collation keys of the first cells, made in the background as rows are committed; the
    // keys are made again from the start with a new collation.
    void keepFirstCellKeys(const Collation& collation);
    // The keys of every committed row, by firstCellKeyIndex(); once keepFirstCellKeys() ran.
    SortKeyTable firstCellKeys() { return firstCellKeys_->all(); }
    uint32_t firstCellKeyIndex(int row) const { return rows_[static_cast<size_t>(row)].keyIndex; }

  private:
    struct Row {
        // The cells joined by '\0' (no text holds one), then, after one more '\0', the exact
        // first cell when it differs from the first cell's text. The bytes never move while
        // the row lives: the key helper reads them.
        std::unique_ptr<char[]> text;
        uint32_t size = 0;
        uint32_t keyIndex = 0; // of the first cell's key, where keys are kept
        ListedFile file;

        std::string_view view() const { return {text.get(), size}; }
    };
    static Row MakeRow(std::string_view joined, const ListedFile& file);
    static Row MakeRow(const std::vector<std::string>& cells, std::string_view exact);
    // Hands the first cells of rows [first, end) to the key helper.
    void queueKeys(size_t first, size_t end);

    std::vector<Column> columns_;
    std::vector<Row> rows_;
    std::vector<Row> pending_;
    QPixmap rowImage_;
    std::vector<QPixmap> headerImages_;
    uint64_t version_ = 0;
    // Last: the helper stops before the rows it reads go.
    std::unique_ptr<BackgroundSortKeys> firstCellKeys_;
};

} // namespace vintrel
