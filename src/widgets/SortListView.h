#pragma once
// The report-style list of both tables: a view on a ListViewModel, whole rows selected,
// a blank 16 x 16 image place before each row's first column. It is a table view without
// grid or row header: rows of one height cost it nothing per row, so a million of them
// are added and laid out in constant time.

#include "ListViewModel.h"

#include <QTableView>
#include <vector>

namespace vintrel {

class TSortListView : public QTableView {
    Q_OBJECT
  public:
    TSortListView(std::vector<ListViewModel::Column> columns, QWidget* parent = nullptr);

    ListViewModel* rows() const { return model_; }
    QHeaderView* header() const { return horizontalHeader(); }

    // Selected rows from top to bottom in the table's order.
    std::vector<int> selectedRows() const;
    bool hasSelection() const;

  private:
    ListViewModel* model_;
};

} // namespace vintrel
