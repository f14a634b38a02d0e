#include "CollapsibleSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace vintrel {

namespace {

const QColor kArrowColour(0, 128, 255);
const QColor kTextureColour(40, 70, 170);

class CollapseHandle : public QSplitterHandle {
  public:
    CollapseHandle(Qt::Orientation orientation, CollapsibleSplitter* parent)
        : QSplitterHandle(orientation, parent), splitter_(parent) {
        setMouseTracking(true);
    }

  protected:
    // The button: 60 pixels along the handle, in its middle.
    QRect buttonRect() const {
        const int length = 60;
        if (orientation() == Qt::Horizontal)
            return QRect(0, (height() - length) / 2, width(), length);
        return QRect((width() - length) / 2, 0, length, height());
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().button());
        const QRect button = buttonRect().adjusted(1, 1, -1, -1);
        painter.fillRect(button, kTextureColour);
        painter.setPen(kTextureColour.lighter(150));
        // The texture: fine lines across the button.
        for (int i = 3; i < (orientation() == Qt::Horizontal ? button.height() : button.width());
             i += 3) {
            if (orientation() == Qt::Horizontal) {
                painter.drawLine(button.left() + 2, button.top() + i, button.right() - 2,
                                 button.top() + i);
            } else {
                painter.drawLine(button.left() + i, button.top() + 2, button.left() + i,
                                 button.bottom() - 2);
            }
        }
        // Two arrows near the button's ends point the way a click moves the handle.
        const bool towardsStart = !splitter_->isCollapsed();
        painter.setPen(Qt::NoPen);
        painter.setBrush(kArrowColour);
        const bool across = orientation() == Qt::Horizontal; // a handle between left and right
        for (const int along : {6, (across ? button.height() : button.width()) - 6}) {
            const QPoint centre = across ? QPoint(button.center().x(), button.top() + along)
                                         : QPoint(button.left() + along, button.center().y());
            const int sign = towardsStart ? -1 : 1;
            QPolygon arrow;
            if (across) {
                arrow << centre + QPoint(3 * sign, 0) << centre + QPoint(-2 * sign, -4)
                      << centre + QPoint(-2 * sign, 4);
            } else {
                arrow << centre + QPoint(0, 3 * sign) << centre + QPoint(-4, -2 * sign)
                      << centre + QPoint(4, -2 * sign);
            }
            painter.drawPolygon(arrow);
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton &&
            buttonRect().contains(event->position().toPoint())) {
            splitter_->toggleCollapsed();
            update();
            return;
        }
        QSplitterHandle::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        setCursor(buttonRect().contains(event->position().toPoint())
                      ? Qt::PointingHandCursor
                      : (orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor));
        QSplitterHandle::mouseMoveEvent(event);
    }

  private:
    CollapsibleSplitter* splitter_;
};

} // namespace

CollapsibleSplitter::CollapsibleSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent) {
    setOpaqueResize(true);
    setHandleWidth(12);
    setChildrenCollapsible(true);
}

QSplitterHandle* CollapsibleSplitter::createHandle() {
    return new CollapseHandle(orientation(), this);
}

bool CollapsibleSplitter::isCollapsed() const {
    return count() > 0 && sizes().value(0) == 0;
}

void CollapsibleSplitter::toggleCollapsed() {
    QList<int> current = sizes();
    if (current.size() < 2) return;
    if (current[0] > 0) {
        restoreSize_ = current[0];
        current[1] += current[0];
        current[0] = 0;
    } else {
        current[0] = restoreSize_;
        current[1] = std::max(0, current[1] - restoreSize_);
    }
    setSizes(current);
    if (QSplitterHandle* h = handle(1)) h->update();
}

} // namespace vintrel
