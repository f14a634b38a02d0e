// The column comparisons of both tables: counts, size texts and date texts read back.

#include "try1.h"

#include "Dialogs.h"
#include "SortListView.h"
#include "TextReaders.h"

namespace vintrel {

namespace {
enum TypeColumn { kTypeCount = 2, kTypeSize = 3 };
enum FileColumn { kFileCreated = 1, kFileModified = 2, kFileSize = 3 };
} // namespace

void TForm1::setUpSorting() {
    using namespace std::placeholders;
    for (TSortListView* table : {ListView1, ListView2}) {
        table->UseArrows = true;
        table->setCollation(&collation_);
        table->OnSortError = [](const std::exception& error) {
            Dialogs::showError(QString::fromUtf8(error.what()));
        };
        table->Loaded();
    }
    ListView1->OnCustomSort = std::bind(&TForm1::ListView1CustomSort, this, _1, _2, _3, _4, _5, _6);
    ListView2->OnCustomSort = std::bind(&TForm1::ListView2CustomSort, this, _1, _2, _3, _4, _5, _6);
    // The same orders, read once per row instead of once per comparison.
    ListView1->OnSortKey = [this](int column, std::string_view text) {
        return ListView1SortKey(column, text);
    };
    ListView2->OnSortKey = [this](int column, std::string_view text) {
        return ListView2SortKey(column, text);
    };
}

std::optional<double> TForm1::ListView1SortKey(int ColIndex, std::string_view text) const {
    if (ColIndex == kTypeCount) return static_cast<double>(ReadCountText(text));
    if (ColIndex == kTypeSize) return SizeTextValue(text, locale_);
    return std::nullopt;
}

std::optional<double> TForm1::ListView2SortKey(int ColIndex, std::string_view text) const {
    if (ColIndex == kFileCreated || ColIndex == kFileModified) {
        return ReadDateText(text, locale_, CurrentLocalYear());
    }
    if (ColIndex == kFileSize) return SizeTextValue(text, locale_);
    return std::nullopt;
}

void TForm1::ListView1CustomSort(TSortListView*, int ColIndex, std::string Str1, std::string Str2,
                                 int& Res, bool& Handled) {
    if (ColIndex == kTypeCount) {
        Res = CompareCounts(ReadCountText(Str1), ReadCountText(Str2));
        Handled = true;
    } else if (ColIndex == kTypeSize) {
        Res = CompareSizeValues(SizeTextValue(Str1, locale_), SizeTextValue(Str2, locale_));
        Handled = true;
    }
}

void TForm1::ListView2CustomSort(TSortListView*, int ColIndex, std::string Str1, std::string Str2,
                                 int& Res, bool& Handled) {
    if (ColIndex == kFileCreated || ColIndex == kFileModified) {
        const int year = CurrentLocalYear();
        Res =
            CompareDateValues(ReadDateText(Str1, locale_, year), ReadDateText(Str2, locale_, year));
        Handled = true;
    } else if (ColIndex == kFileSize) {
        Res = CompareSizeValues(SizeTextValue(Str1, locale_), SizeTextValue(Str2, locale_));
        Handled = true;
    }
}

} // namespace vintrel
