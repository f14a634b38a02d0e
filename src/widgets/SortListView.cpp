#include "SortListView.h"

#include "ByteKeySort.h"

#include "SortHeader.h"

#include <algorithm>
#include <numeric>
#include <QDrag>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>

// The arrows live in this static library's resources: register them before first use.
static void RegisterArrowResources() {
    Q_INIT_RESOURCE(arrows);
}

namespace vintrel {

namespace {

const QColor kMagenta(255, 0, 255);

// Orders the row indexes by their keys, in either direction.
template <typename Key>
void SortByKeys(std::vector<int>& order, const std::vector<Key>& keys, bool ascending) {
    const auto key = [&](int row) -> const Key& { return keys[static_cast<size_t>(row)]; };
    if (ascending) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(b) < key(a); });
    }
}

const Collation& FallbackCollation() {
    static const Collation collation = Collation::FromEnvironment();
    return collation;
}

} // namespace

TSortListView::TSortListView(std::vector<ListViewModel::Column> columns, QWidget* parent)
    : QTableView(parent), model_(new ListViewModel(std::move(columns), this)) {
    RegisterArrowResources();
    setHorizontalHeader(new SortHeader(this));
    setModel(model_);
    model_->keepFirstCellKeys(FallbackCollation());
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false); // the arrow is our own image
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // captions are read-only
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        try {
            HeaderClick(column);
        } catch (const std::exception& error) {
            if (OnSortError) OnSortError(error);
        }
    });
}

TSortListView::~TSortListView() {
    ImagesBusy = true; // freeing the own list must not adopt anything
    delete OwnImages;
    OwnImages = nullptr;
}

void TSortListView::Loaded() {
    if (smallImages_) {
        AdoptImages();
    } else {
        CreateOwnImages();
    }
}

void TSortListView::setSmallImages(TImageList* images) {
    if (smallImages_ && smallImages_ != OwnImages) disconnect(smallImages_, nullptr, this, nullptr);
    smallImages_ = images;
    model_->setRowImage(images && images->count() > 0 ? images->image(0) : QPixmap());
    if (images && images != OwnImages) {
        // A list from outside that goes away leaves the table to make its own again.
        connect(images, &QObject::destroyed, this, [this] {
            smallImages_ = nullptr;
            UpArrowIndex = DownArrowIndex = -1;
            if (!ImagesBusy) CreateOwnImages();
        });
        AdoptImages();
    }
}

void TSortListView::BuildArrowImages(TImageList* images) {
    if (!images) return;
    QImage cell(images->width(), images->height(), QImage::Format_RGB32);
    cell.fill(kMagenta);
    images->addMasked(cell, kMagenta); // the blank image
    const auto addArrow = [&](const char* resource) {
        QImage arrow(QString::fromLatin1(resource));
        cell.fill(kMagenta);
        QImage shape = arrow.convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = arrow.pixel(0, arrow.height() - 1); // the bottom-left colour
        for (int y = 0; y < shape.height(); ++y) {
            for (int x = 0; x < shape.width(); ++x) {
                if (shape.pixel(x, y) == transparent) shape.setPixel(x, y, qRgba(0, 0, 0, 0));
            }
        }
        QPainter painter(&cell);
        painter.drawImage((images->width() - arrow.width()) / 2,
                          (images->height() - arrow.height()) / 2, shape);
        painter.end();
        return images->addMasked(cell, kMagenta);
    };
    UpArrowIndex = addArrow(":/vintrel/SORT_UP");
    DownArrowIndex = addArrow(":/vintrel/SORT_DOWN");
}

void TSortListView::CreateOwnImages() {
    ImagesBusy = true;
    OwnImages = new TImageList(16, 16);
    BuildArrowImages(OwnImages);
    setSmallImages(OwnImages);
    ImagesBusy = false;
}

void TSortListView::AdoptImages() {
    if (ImagesBusy) return;
    delete OwnImages;
    OwnImages = nullptr;
    if (!smallImages_) return;
    BuildArrowImages(smallImages_);
    model_->setRowImage(smallImages_->image(0)); // rows show image 0 of whatever list they have
}

void TSortListView::setHeaderImage(int column, int imageIndex) {
    const bool valid = smallImages_ && imageIndex >= 0 && imageIndex < smallImages_->count();
    model_->setHeaderImage(column, valid ? smallImages_->image(imageIndex) : QPixmap());
}

void TSortListView::HeaderClick(int column) {
    model_->commitRows(); // a click during a fill sorts the rows present
    if (SortColumn != -1 && SortColumn != column) setHeaderImage(SortColumn, -1);
    SortAscending = column == SortColumn ? !SortAscending : true;
    SortColumn = column;
    if (UseArrows) setHeaderImage(column, SortAscending ? UpArrowIndex : DownArrowIndex);
    sortRows();
}

void TSortListView::setCollation(const Collation* collation) {
    collation_ = collation;
    model_->keepFirstCellKeys(this->collation());
}

const Collation& TSortListView::collation() const {
    return collation_ ? *collation_ : FallbackCollation();
}

std::string_view TSortListView::cellText(int row) const {
    return model_->cell(row, SortColumn);
}

int TSortListView::TextOrder(std::string_view a, std::string_view b) const {
    return collation().compare(a, b);
}

int TSortListView::CustomCompare(int row1, int row2) {
    int Res = 0;
    bool Handled = false;
    OnCustomSort(this, SortColumn, std::string(cellText(row1)), std::string(cellText(row2)), Res,
                 Handled);
    if (!Handled) return DefaultCompare(row1, row2);
    return SortAscending ? Res : -Res;
}

int TSortListView::DefaultCompare(int row1, int row2) {
    const int Res = TextOrder(cellText(row1), cellText(row2));
    return SortAscending ? Res : -Res;
}

void TSortListView::sortRows() {
    const int count = model_->rowCount();
    if (count == 0) return;
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);

    if (sortedColumn_ == SortColumn && sortedVersion_ == model_->version()) {
        // The rows stand sorted by this column already: the other direction is the reverse.
        std::reverse(order.begin(), order.end());
    } else if (OnSortKey || !OnCustomSort) {
        // One key per row: the number the owner reads from the text, or the collation key,
        // which orders as DefaultCompare does.
        const std::optional<double> first =
            OnSortKey ? OnSortKey(SortColumn, cellText(0)) : std::nullopt;
        if (first) {
            std::vector<double> keys(static_cast<size_t>(count));
            keys[0] = *first;
            for (int row = 1; row < count; ++row)
                keys[static_cast<size_t>(row)] = OnSortKey(SortColumn, cellText(row)).value_or(0);
            SortByKeys(order, keys, SortAscending);
        } else {
            std::vector<std::string_view> keys(static_cast<size_t>(count));
            SortKeyTable table;
            if (SortColumn == 0) {
                table = model_->firstCellKeys(); // mostly made while the rows came in
                for (int row = 0; row < count; ++row)
                    keys[static_cast<size_t>(row)] = table[model_->firstCellKeyIndex(row)];
            } else {
                std::vector<std::string_view> texts(static_cast<size_t>(count));
                for (int row = 0; row < count; ++row)
                    texts[static_cast<size_t>(row)] = cellText(row);
                table = MakeSortKeys(texts.data(), texts.size(), collation());
                for (int row = 0; row < count; ++row)
                    keys[static_cast<size_t>(row)] = table[static_cast<uint32_t>(row)];
            }
            SortRowsByByteKeys(order, keys, SortAscending);
        }
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return CustomCompare(a, b) < 0; });
    }
    model_->reorder(order);
    sortedColumn_ = SortColumn;
    sortedVersion_ = model_->version();
}

void TSortListView::startDrag(Qt::DropActions) {
    if (!OnDragData || !hasSelection()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(OnDragData());
    // Copy or link only: a file manager that moved the files would leave stale rows behind.
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

std::vector<int> TSortListView::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool TSortListView::hasSelection() const {
    return selectionModel()->hasSelection();
}

} // namespace vintrel
