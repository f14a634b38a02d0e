#pragma once
// A list of small images of one size, for the rows and the headers of a list view.

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <vector>

namespace vintrel {

class TImageList : public QObject {
    Q_OBJECT
  public:
    TImageList(int width, int height, QObject* parent = nullptr);

    int width() const { return width_; }
    int height() const { return height_; }
    int count() const { return static_cast<int>(images_.size()); }
    // Adds the cell with every pixel of the mask colour transparent; returns its position.
    int addMasked(const QImage& cell, const QColor& mask);
    const QPixmap& image(int index) const { return images_[static_cast<size_t>(index)]; }

  private:
    int width_, height_;
    std::vector<QPixmap> images_;
};

} // namespace vintrel
