#include "SortHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

namespace vintrel {

SortHeader::SortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void SortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QStyleOptionHeader option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;
    const bool leftAligned = (option.textAlignment & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
    if (option.icon.isNull() || leftAligned) { // the style puts it before the caption already
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    const QIcon image = option.icon;
    option.icon = QIcon();
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();

    const QRect label = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
    const int textWidth = std::min(fontMetrics().horizontalAdvance(option.text), label.width());
    const int textLeft = (option.textAlignment & Qt::AlignRight)
                             ? label.right() + 1 - textWidth
                             : label.left() + (label.width() - textWidth) / 2;
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const int gap = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const QRect place(std::max(rect.left() + 1, textLeft - gap - size),
                      rect.top() + (rect.height() - size) / 2, size, size);
    image.paint(painter, place, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

} // namespace vintrel
