#pragma once
// The report-style list of both tables: a view on a ListViewModel, whole rows selected,
// a blank 16 x 16 image place before each row's first column.

#include "ListViewModel.h"

#include <QTreeView>
#include <vector>

namespace vintrel {

class TSortListView : public QTreeView {
    Q_OBJECT
  public:
    TSortListView(std::vector<ListViewModel::Column> columns, QWidget* parent = nullptr);

    ListViewModel* rows() const { return model_; }

    // Selected rows from top to bottom in the table's order.
    std::vector<int> selectedRows() const;
    bool hasSelection() const;

  private:
    ListViewModel* model_;
};

} // namespace vintrel
