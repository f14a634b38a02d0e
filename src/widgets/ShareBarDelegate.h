#pragma once
// Draws, behind the text of one column's cells, a bar whose length is the row's share of the
// column's total, in the palette's highlight colour made light enough for the text to stay
// readable. Only the drawing changes: texts, sorting and exports stay as they are.

#include <cstdint>
#include <functional>
#include <QStyledItemDelegate>
#include <string_view>

namespace vintrel {

class ListViewModel;

class ShareBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // `valueOf` reads a cell's text as a non-negative amount (0 when it cannot).
    ShareBarDelegate(const ListViewModel& model, int column,
                     std::function<double(std::string_view)> valueOf, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The share of row `row` in the column's total, 0 to 1.
    double shareOf(int row) const;

  private:
    const ListViewModel& model_;
    int column_;
    std::function<double(std::string_view)> valueOf_;
    // The total, worked out again when the rows change.
    mutable double total_ = 0;
    mutable uint64_t totalVersion_ = UINT64_MAX; // none yet: versions start at 0
};

} // namespace vintrel
