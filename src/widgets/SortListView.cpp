#include "SortListView.h"

#include <algorithm>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace vintrel {

TSortListView::TSortListView(std::vector<ListViewModel::Column> columns, QWidget* parent)
    : QTableView(parent), model_(new ListViewModel(std::move(columns), this)) {
    setModel(model_);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    model_->setRowImage(blank);
}

std::vector<int> TSortListView::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool TSortListView::hasSelection() const {
    return selectionModel()->hasSelection();
}

} // namespace vintrel
