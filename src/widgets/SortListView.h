#pragma once
// The report-style list of both tables: a view on a ListViewModel, whole rows selected,
// a blank 16 x 16 image place before each row's first column. A click on a column header
// sorts the rows by that column, a second click reverses the direction, and the sorted
// column's header shows an up or a down arrow. The owner can take over the comparison of
// any column; the others compare as text in the user's collation, letter case ignored.
//
// It is a table view without grid or row header: rows of one height cost it nothing per
// row, so a million of them are added and laid out in constant time.

#include "Collation.h"
#include "ImageList.h"
#include "ListViewModel.h"

#include <functional>
#include <optional>
#include <QTableView>
#include <string>
#include <vector>

namespace vintrel {

class TSortListView;

// The owner's comparison: Res negative when the first text belongs before the second,
// Handled set when Res holds the answer; otherwise the texts are compared as text.
using TSLVOnCustomSort = std::function<void(TSortListView* Sender, int ColIndex, std::string Str1,
                                            std::string Str2, int& Res, bool& Handled)>;

// The same order in a form that is computed once per row: the number a cell's text ranks
// by, or nullopt for a column left to the text order. Raises what OnCustomSort raises.
using TSLVSortKey = std::function<std::optional<double>(int ColIndex, std::string_view text)>;

class TSortListView : public QTableView {
    Q_OBJECT
  public:
    TSortListView(std::vector<ListViewModel::Column> columns, QWidget* parent = nullptr);
    ~TSortListView() override;

    ListViewModel* rows() const { return model_; }
    QHeaderView* header() const { return horizontalHeader(); }

    // Selected rows from top to bottom in the table's order.
    std::vector<int> selectedRows() const;
    bool hasSelection() const;

    // The sort state.
    bool ImagesBusy = false;
    int UpArrowIndex = -1;
    int DownArrowIndex = -1;
    int SortColumn = -1;
    bool SortAscending = true;
    TImageList* OwnImages = nullptr;
    TSLVOnCustomSort OnCustomSort;
    TSLVSortKey OnSortKey;
    bool UseArrows = false;
    // Receives an error that ends a sort started by a header click (a text that cannot
    // be read back); the table stays usable.
    std::function<void(const std::exception& error)> OnSortError;
    // What a drag of the selected rows out of the table carries (the owner's data, as its
    // clipboard copy makes it); without it, or without a selection, nothing is dragged.
    std::function<QMimeData*()> OnDragData;

    // Null for the collation of the environment.
    void setCollation(const Collation* collation);
    // The small-image list of rows and headers; one assigned from outside is adopted.
    TImageList* smallImages() const { return smallImages_; }
    void setSmallImages(TImageList* images);

    void HeaderClick(int column);
    int CustomCompare(int row1, int row2);
    int DefaultCompare(int row1, int row2);
    // Appends the blank cell, the up and the down arrow; sets the arrows' positions.
    void BuildArrowImages(TImageList* images);
    void CreateOwnImages();
    void AdoptImages();
    // Runs once the table is set up: builds the arrows.
    void Loaded();

  protected:
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    std::string_view cellText(int row) const;
    int TextOrder(std::string_view a, std::string_view b) const;
    void setHeaderImage(int column, int imageIndex);
    void sortRows();

    ListViewModel* model_;
    TImageList* smallImages_ = nullptr;
    const Collation& collation() const; // the one set, or that of the environment
    const Collation* collation_ = nullptr;
    // What the last sort left, so that a second click on its column only reverses.
    int sortedColumn_ = -1;
    uint64_t sortedVersion_ = 0;
};

} // namespace vintrel
