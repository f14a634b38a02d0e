#pragma once
// A splitter whose handle carries a button that collapses the first (anchored) side and
// restores its earlier size on the next click. It redraws the layout live while dragged.

#include <QSplitter>

namespace vintrel {

class CollapsibleSplitter : public QSplitter {
    Q_OBJECT
  public:
    CollapsibleSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    bool isCollapsed() const;
    void toggleCollapsed();
    // The size the anchored side gets back when it was collapsed before it had a size.
    void setRestoreSize(int size) { restoreSize_ = size; }

  protected:
    QSplitterHandle* createHandle() override;

  private:
    int restoreSize_ = 0;
};

} // namespace vintrel
