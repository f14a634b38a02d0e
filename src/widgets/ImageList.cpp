#include "ImageList.h"

#include <QBitmap>

namespace vintrel {

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(width), height_(height) {}

int TImageList::addMasked(const QImage& cell, const QColor& mask) {
    QPixmap pixmap = QPixmap::fromImage(cell.convertToFormat(QImage::Format_RGB32));
    pixmap.setMask(QBitmap::fromImage(cell.createMaskFromColor(mask.rgb(), Qt::MaskInColor)));
    images_.push_back(pixmap);
    return count() - 1;
}

} // namespace vintrel
