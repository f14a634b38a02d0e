#pragma once
// A status bar with one text panel across its width that also hosts child controls at
// fixed places from its left edge.

#include <QStatusBar>

namespace vintrel {

class TStatusBarGr : public QStatusBar {
    Q_OBJECT
  public:
    explicit TStatusBarGr(QWidget* parent = nullptr);

    // The text panel; repaints at once, since a busy fill may follow.
    void setSimpleText(const QString& text);
    // Places a child at a fixed position; the status bar's own layout leaves it alone.
    void host(QWidget* child, const QRect& geometry);
};

} // namespace vintrel
