#pragma once
// A table header whose section image (the sort arrow) stands directly before the caption in
// every alignment; Qt's styles put it at the section's left edge, which on a right-aligned
// column is next to the previous column's caption.

#include <QHeaderView>

namespace vintrel {

class SortHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit SortHeader(QWidget* parent = nullptr);

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace vintrel
