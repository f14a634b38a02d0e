#include "StatusBarGr.h"

namespace vintrel {

TStatusBarGr::TStatusBarGr(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    setFixedHeight(27);
}

void TStatusBarGr::setSimpleText(const QString& text) {
    if (text.isEmpty()) {
        clearMessage();
    } else {
        showMessage(text);
    }
    repaint();
}

void TStatusBarGr::host(QWidget* child, const QRect& geometry) {
    child->setParent(this);
    child->setGeometry(geometry);
    child->show();
}

} // namespace vintrel
