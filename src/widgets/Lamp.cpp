#include "Lamp.h"

#include <QPainter>

namespace vintrel {

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
    setFixedSize(17, 17);
    setAccessibleDescription(offText_);
}

void Lamp::setStatus(bool on) {
    status_ = on;
    setAccessibleDescription(on ? onText_ : offText_);
    update();
}

void Lamp::setStateNames(const QString& on, const QString& off) {
    onText_ = on;
    offText_ = off;
    setAccessibleDescription(status_ ? onText_ : offText_);
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = status_ ? QColor(0, 255, 0) : QColor(255, 0, 0);
    QRadialGradient shine(QPointF(6, 6), 9);
    shine.setColorAt(0, colour.lighter(170));
    shine.setColorAt(1, colour);
    painter.setPen(QPen(colour.darker(160), 1));
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(1.5, 1.5, 14, 14));
}

} // namespace vintrel
