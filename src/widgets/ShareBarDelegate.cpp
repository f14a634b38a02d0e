#include "ShareBarDelegate.h"

#include "ListViewModel.h"

#include <algorithm>
#include <QPainter>

namespace vintrel {

ShareBarDelegate::ShareBarDelegate(const ListViewModel& model, int column,
                                   std::function<double(std::string_view)> valueOf, QObject* parent)
    : QStyledItemDelegate(parent), model_(model), column_(column), valueOf_(std::move(valueOf)) {}

double ShareBarDelegate::shareOf(int row) const {
    if (totalVersion_ != model_.version()) {
        total_ = 0;
        for (int i = 0; i < model_.rowCount(); ++i) total_ += valueOf_(model_.cell(i, column_));
        totalVersion_ = model_.version();
    }
    if (total_ <= 0) return 0;
    return std::clamp(valueOf_(model_.cell(row, column_)) / total_, 0.0, 1.0);
}

void ShareBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (index.column() == column_ && !(option.state & QStyle::State_Selected)) {
        const double share = shareOf(index.row());
        const QRect cell = option.rect.adjusted(1, 2, -1, -2);
        const int length = static_cast<int>(share * cell.width() + 0.5);
        if (length > 0) {
            // A third of the highlight over the base: the text keeps its contrast on light
            // and dark palettes alike.
            QColor bar = option.palette.color(QPalette::Highlight);
            bar.setAlphaF(0.35);
            painter->fillRect(QRect(cell.left(), cell.top(), length, cell.height()), bar);
        }
    }
    QStyledItemDelegate::paint(painter, option, index);
}

} // namespace vintrel
