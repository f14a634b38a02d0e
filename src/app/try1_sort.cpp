// The column orders of both tables: counts, size texts and date texts read back. Each numeric
// column has one definition, how its text is read and how two read values compare; the
// pairwise handlers and the per-row sort keys are both made from it, so they cannot differ.

#include "try1.h"

#include "Dialogs.h"
#include "SortListView.h"
#include "TextReaders.h"

namespace vintrel {

namespace {

enum TypeColumn { kTypeCount = 2, kTypeSize = 3 };
enum FileColumn { kFileCreated = 1, kFileModified = 2, kFileSize = 3 };

// How a column's texts rank; Text leaves them to the collation.
enum class Reading { Text, Count, Size, Date };

Reading TypeColumnReading(int column) {
    if (column == kTypeCount) return Reading::Count;
    if (column == kTypeSize) return Reading::Size;
    return Reading::Text;
}

Reading FileColumnReading(int column) {
    if (column == kFileCreated || column == kFileModified) return Reading::Date;
    if (column == kFileSize) return Reading::Size;
    return Reading::Text;
}

std::optional<double> ReadValue(Reading reading, std::string_view text,
                                const LocaleSettings& locale) {
    switch (reading) {
    case Reading::Count:
        return static_cast<double>(ReadCountText(text));
    case Reading::Size:
        return SizeTextValue(text, locale);
    case Reading::Date:
        return ReadDateText(text, locale, CurrentLocalYear());
    case Reading::Text:
        break;
    }
    return std::nullopt;
}

int CompareValues(Reading reading, double a, double b) {
    switch (reading) {
    case Reading::Count:
        return CompareCounts(static_cast<int64_t>(a), static_cast<int64_t>(b));
    case Reading::Size:
        return CompareSizeValues(a, b);
    case Reading::Date:
        return CompareDateValues(a, b);
    case Reading::Text:
        break;
    }
    return 0;
}

void CompareTexts(Reading reading, const std::string& Str1, const std::string& Str2,
                  const LocaleSettings& locale, int& Res, bool& Handled) {
    if (reading == Reading::Text) return; // the table's own text order
    Res = CompareValues(reading, *ReadValue(reading, Str1, locale),
                        *ReadValue(reading, Str2, locale));
    Handled = true;
}

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
    return ReadValue(TypeColumnReading(ColIndex), text, locale_);
}

std::optional<double> TForm1::ListView2SortKey(int ColIndex, std::string_view text) const {
    return ReadValue(FileColumnReading(ColIndex), text, locale_);
}

void TForm1::ListView1CustomSort(TSortListView*, int ColIndex, std::string Str1, std::string Str2,
                                 int& Res, bool& Handled) {
    CompareTexts(TypeColumnReading(ColIndex), Str1, Str2, locale_, Res, Handled);
}

void TForm1::ListView2CustomSort(TSortListView*, int ColIndex, std::string Str1, std::string Str2,
                                 int& Res, bool& Handled) {
    CompareTexts(FileColumnReading(ColIndex), Str1, Str2, locale_, Res, Handled);
}

} // namespace vintrel
