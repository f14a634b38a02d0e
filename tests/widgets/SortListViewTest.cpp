#include "SortListView.h"
#include "Errors.h"
#include "ShareBarDelegate.h"
#include "TextReaders.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <set>

using namespace vintrel;

namespace {

std::unique_ptr<TSortListView> Table(const std::vector<std::vector<std::string>>& rows) {
    auto table = std::make_unique<TSortListView>(
        std::vector<ListViewModel::Column>{{QStringLiteral("Name")}, {QStringLiteral("Number")}});
    table->Loaded();
    for (const auto& row : rows) table->rows()->appendRow(row);
    table->rows()->commitRows();
    return table;
}

std::vector<std::string> Names(const TSortListView& table) {
    std::vector<std::string> names;
    for (int row = 0; row < table.rows()->rowCount(); ++row)
        names.emplace_back(table.rows()->cell(row, 0));
    return names;
}

bool HasArrow(const TSortListView& table, int column) {
    return !table.rows()->headerData(column, Qt::Horizontal, Qt::DecorationRole).isNull();
}

// Which pixels of an arrow cell are drawn, row by row, as runs of '#'.
std::vector<std::string> Drawn(const QPixmap& cell) {
    const QImage image = cell.toImage().convertToFormat(QImage::Format_ARGB32);
    std::vector<std::string> rows;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                row += '.';
            } else {
                EXPECT_EQ(QColor(pixel), QColor(172, 168, 153)) << x << "," << y;
                row += '#';
            }
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(SortListView, ArrowBitmapsHoldExactlyTheirPixels) {
    const QImage up(QStringLiteral(":/vintrel/SORT_UP"));
    ASSERT_FALSE(up.isNull());
    EXPECT_EQ(up.size(), QSize(9, 6));
    EXPECT_EQ(up.depth(), 32); // Qt loads 24-bit bitmaps as 32-bit images
    EXPECT_EQ(QColor(up.pixel(0, 0)), QColor(255, 0, 255));
    EXPECT_EQ(QColor(up.pixel(4, 0)), QColor(172, 168, 153));

    auto table = Table({});
    ASSERT_NE(table->OwnImages, nullptr);
    EXPECT_EQ(table->OwnImages->count(), 3);
    EXPECT_EQ(table->UpArrowIndex, 1);
    EXPECT_EQ(table->DownArrowIndex, 2);
    const std::vector<std::string> expectedUp = {
        "................", "................", "................", "................",
        "................", ".......#........", "......###.......", ".....#####......",
        "....#######.....", "...#########....", "................", "................",
        "................", "................", "................", "................"};
    EXPECT_EQ(Drawn(table->OwnImages->image(table->UpArrowIndex)), expectedUp);
    std::vector<std::string> expectedDown(16, "................");
    expectedDown[6] = "...#########....";
    expectedDown[7] = "....#######.....";
    expectedDown[8] = ".....#####......";
    expectedDown[9] = "......###.......";
    expectedDown[10] = ".......#........";
    EXPECT_EQ(Drawn(table->OwnImages->image(table->DownArrowIndex)), expectedDown);
    EXPECT_EQ(Drawn(table->OwnImages->image(0)), std::vector<std::string>(16, "................"));
    // Every row shows the blank image place before its first column.
    table->rows()->appendRow({"a", "1"});
    table->rows()->commitRows();
    EXPECT_EQ(
        table->rows()->data(table->rows()->index(0, 0), Qt::DecorationRole).value<QPixmap>().size(),
        QSize(16, 16));
}

TEST(SortListView, ClicksSortAndArrowsFollow) {
    auto table = Table({{"b", "2"}, {"C", "10"}, {"a", "9"}});
    table->UseArrows = true;
    table->HeaderClick(0);
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"a", "b", "C"})); // letter case ignored
    EXPECT_TRUE(table->SortAscending);
    EXPECT_TRUE(HasArrow(*table, 0));
    table->HeaderClick(0);
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"C", "b", "a"}));
    EXPECT_FALSE(table->SortAscending);
    table->HeaderClick(1); // text order: "10" < "2" < "9"
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"C", "b", "a"}));
    EXPECT_TRUE(table->SortAscending);
    EXPECT_FALSE(HasArrow(*table, 0));
    EXPECT_TRUE(HasArrow(*table, 1));
}

TEST(SortListView, OwnerComparisonsAndTheirFastFormAgree) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back({"r" + std::to_string(i), std::to_string((i * 37) % 101)});
    auto pairwise = Table(rows);
    pairwise->OnCustomSort = [](TSortListView*, int column, std::string a, std::string b, int& res,
                                bool& handled) {
        if (column != 1) return;
        res = CompareCounts(std::stoll(a), std::stoll(b));
        handled = true;
    };
    auto keyed = Table(rows);
    keyed->OnSortKey = [](int column, std::string_view text) -> std::optional<double> {
        if (column != 1) return std::nullopt;
        return std::stod(std::string(text));
    };
    for (int click = 0; click < 3; ++click) {
        pairwise->HeaderClick(1);
        keyed->HeaderClick(1);
        std::vector<std::string> a, b;
        for (int row = 0; row < 300; ++row) {
            a.emplace_back(pairwise->rows()->cell(row, 1));
            b.emplace_back(keyed->rows()->cell(row, 1));
        }
        EXPECT_EQ(a, b) << click; // the same column order; equal numbers may stand either way
    }
}

TEST(SortListView, WithoutArrowsItStillSortsAndAnEmptyTableOnlyFlips) {
    auto table = Table({{"b", "1"}, {"a", "2"}});
    table->HeaderClick(0);
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(HasArrow(*table, 0));
    auto empty = Table({});
    empty->UseArrows = true;
    empty->HeaderClick(1);
    empty->HeaderClick(1);
    EXPECT_EQ(empty->SortColumn, 1);
    EXPECT_FALSE(empty->SortAscending);
    EXPECT_TRUE(HasArrow(*empty, 1));
}

TEST(SortListView, RefillKeepsTheArrowAndTheNextClickTurnsIt) {
    auto table = Table({{"a", "1"}, {"b", "2"}});
    table->UseArrows = true;
    table->HeaderClick(0);
    table->HeaderClick(0);
    table->rows()->clear();
    table->rows()->appendRow({"x", "1"});
    table->rows()->appendRow({"y", "2"});
    table->rows()->commitRows();
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"x", "y"})); // as added
    EXPECT_FALSE(table->SortAscending);
    table->HeaderClick(0);
    EXPECT_TRUE(table->SortAscending);
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"x", "y"}));
}

TEST(SortListView, AnErrorEndsTheSortAndReachesTheOwner) {
    auto table = Table({{"a", "x"}, {"b", "1"}});
    table->OnSortKey = [](int, std::string_view text) -> std::optional<double> {
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    };
    std::string reported;
    table->OnSortError = [&](const std::exception& error) { reported = error.what(); };
    table->header()->sectionClicked(1);
    EXPECT_EQ(reported, "'x' is not a valid integer value");
    EXPECT_EQ(table->SortColumn, 1); // the click's own state changed before the error
    table->OnSortKey = nullptr;
    table->header()->sectionClicked(0);
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"a", "b"}));
}

TEST(SortListView, AListFromOutsideIsAdoptedAndReplacedWhenItGoes) {
    auto table = Table({});
    auto* outside = new TImageList(16, 16);
    table->setSmallImages(outside);
    EXPECT_EQ(table->OwnImages, nullptr);
    EXPECT_EQ(outside->count(), 3);
    EXPECT_EQ(table->UpArrowIndex, 1);
    table->rows()->appendRow({"a", "1"});
    table->rows()->commitRows();
    EXPECT_FALSE(table->rows()->data(table->rows()->index(0, 0), Qt::DecorationRole).isNull());
    delete outside;
    ASSERT_NE(table->OwnImages, nullptr);
    EXPECT_EQ(table->smallImages(), table->OwnImages);
}

// The arrow stands directly before the caption, on the right of a right-aligned column too,
// as the user sees it after a click on the header.
TEST(SortListView, TheArrowStandsBeforeTheCaptionInEveryAlignment) {
    TSortListView table({{QStringLiteral("Name")},
                         {QStringLiteral("Size"), Qt::AlignRight | Qt::AlignVCenter},
                         {QStringLiteral("Count"), Qt::AlignCenter}});
    table.Loaded();
    table.UseArrows = true;
    table.rows()->appendRow({"a", "1", "2"});
    table.rows()->appendRow({"b", "3", "4"});
    table.rows()->commitRows();
    table.resize(640, 200);
    QHeaderView* header = table.horizontalHeader();
    for (int column = 0; column < 3; ++column) header->resizeSection(column, 200);
    table.show();
    const QImage plain = header->grab().toImage();

    for (int column = 0; column < 3; ++column) {
        const QPoint inside(header->sectionViewportPosition(column) + 100, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, inside);
        ASSERT_TRUE(HasArrow(table, column));
        const QImage sorted = header->grab().toImage();
        QRect arrow;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const bool arrowColour = QColor(sorted.pixel(x, y)) == QColor(172, 168, 153);
                if (arrowColour && sorted.pixel(x, y) != plain.pixel(x, y))
                    arrow |= QRect(x, y, 1, 1);
            }
        }
        const int left = header->sectionViewportPosition(column);
        ASSERT_FALSE(arrow.isNull()) << column;
        EXPECT_GE(arrow.left(), left) << column; // in its own section
        // The caption starts after the arrow, a few pixels on.
        const QString caption = table.rows()->column(column).caption;
        const int textWidth = header->fontMetrics().horizontalAdvance(caption);
        int captionLeft = left + 4;
        if (column == 1) captionLeft = left + 200 - 4 - textWidth;
        if (column == 2) captionLeft = left + (200 - textWidth) / 2;
        EXPECT_LT(arrow.right(), captionLeft + 20) << column;
        EXPECT_GT(arrow.right(), captionLeft - 30) << column;
    }
}

// Qt's own checks of the model's signals and answers, through everything the table does to
// its rows.
TEST(SortListView, TheModelKeepsQtsRulesThroughFillSortRemovalAndClear) {
    auto table = Table({});
    QAbstractItemModelTester tester(table->rows(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int batch = 0; batch < 3; ++batch) {
        for (int i = 0; i < 50; ++i)
            table->rows()->appendRow(
                {"n" + std::to_string((i * 37 + batch) % 101), std::to_string(i)});
        table->rows()->commitRows();
    }
    table->selectionModel()->select(table->rows()->index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->HeaderClick(0);
    table->HeaderClick(0); // the reverse
    table->HeaderClick(1);
    table->rows()->removeRowsWhere([](int row) { return row % 3 == 0; });
    EXPECT_EQ(table->rows()->rowCount(), 100);
    table->rows()->removeRowsWhere([](int) { return false; });
    table->rows()->clear();
    EXPECT_EQ(table->rows()->rowCount(), 0);
}

// The order a click on the first column must give: by collation key, ties as they stood.
std::vector<std::string> SortedByKey(std::vector<std::string> names, const Collation& collation) {
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return collation.sortKey(a) < collation.sortKey(b);
    });
    return names;
}

TEST(SortListView, TheFirstColumnsKeysMadeAheadFollowNarrowingSortsAndANewCollation) {
    const Collation root(""), swedish("sv");
    auto table = Table({});
    table->setCollation(&root);
    const char* words[] = {"\xC3\xA4rende", "zebra", "Apple", "apple", "\xFF", "Ärende", "b"};
    for (int batch = 0; batch < 4; ++batch) { // as a fill commits, while the helper works
        for (int i = 0; i < 6000; ++i)
            table->rows()->appendRow({"/t/d" + std::to_string((i * 7 + batch) % 13) + "/" +
                                          words[(i + batch) % 7] + std::to_string(i % 50),
                                      std::to_string(i)});
        table->rows()->commitRows();
    }
    const auto clickName = [&](const Collation& collation) {
        const std::vector<std::string> expected = SortedByKey(Names(*table), collation);
        table->HeaderClick(1);
        table->HeaderClick(0);
        ASSERT_TRUE(table->SortAscending);
        const std::vector<std::string> shown = Names(*table);
        EXPECT_EQ(shown, SortedByKey(shown, collation));
        EXPECT_EQ(std::multiset(shown.begin(), shown.end()),
                  std::multiset(expected.begin(), expected.end()));
    };
    clickName(root);
    table->rows()->removeRowsWhere([](int row) { return row % 4 == 1; }); // narrowed
    clickName(root);
    table->setCollation(&swedish); // every key made again
    clickName(swedish);
    EXPECT_NE(SortedByKey(Names(*table), root), Names(*table));
    table->rows()->clear();
    table->rows()->appendRow({"b", "1"});
    table->rows()->appendRow({"a", "2"});
    table->rows()->commitRows();
    table->HeaderClick(1);
    table->HeaderClick(0); // the keys of a cleared table start again
    EXPECT_EQ(Names(*table), (std::vector<std::string>{"a", "b"}));
}

// The bars behind a column's texts: lengths by share, drawn under the text, which stays.
TEST(SortListView, ShareBarsAreAsLongAsEachRowsShare) {
    TSortListView table(
        {{QStringLiteral("Type")}, {QStringLiteral("Size"), Qt::AlignRight | Qt::AlignVCenter}});
    table.Loaded();
    for (const auto& [type, size] : {std::pair{".a", "3 MB"}, {".b", "1024 KB"}, {".c", "0 KB"}})
        table.rows()->appendRow({type, size});
    table.rows()->commitRows();
    auto* bars = new ShareBarDelegate(
        *table.rows(), 1,
        [](std::string_view text) { return SizeTextKilobytes(text, LocaleSettings::C()); }, &table);
    table.setItemDelegateForColumn(1, bars);
    table.horizontalHeader()->resizeSection(1, 200);
    table.resize(400, 200);
    table.show();
    EXPECT_DOUBLE_EQ(bars->shareOf(0), 0.75);
    EXPECT_DOUBLE_EQ(bars->shareOf(1), 0.25);
    EXPECT_DOUBLE_EQ(bars->shareOf(2), 0.0);

    const QImage image = table.viewport()->grab().toImage();
    const QColor base = table.palette().color(QPalette::Base);
    const auto tinted = [&](int row) {
        const QRect cell = table.visualRect(table.rows()->index(row, 1));
        int count = 0;
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor pixel = image.pixelColor(x, cell.center().y() - 4);
            count += pixel != base && pixel.blue() > pixel.red(); // the highlight's tint
        }
        return count;
    };
    EXPECT_NEAR(tinted(0), 0.75 * 198, 4);
    EXPECT_NEAR(tinted(1), 0.25 * 198, 4);
    EXPECT_EQ(tinted(2), 0);
    EXPECT_EQ(table.rows()->data(table.rows()->index(0, 1), Qt::DisplayRole).toString(), "3 MB");
}
