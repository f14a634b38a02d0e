#include "Dialogs.h"
#include "PlatformAbilities.h"
#include "SortListView.h"
#include "TableText.h"
#include "TempTree.h"
#include "try1.h"
#include "ZoneGuard.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sstream>

using namespace vintrel;
using vintrel::test::Column;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) out += std::string{c, '\0'};
    return out;
}

class SortAndExport : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.sizedFile("big.bin", 1'048'577);      // 1 MB
        tree.sizedFile("kilo.bin", 1'048'576);     // 1024 KB
        tree.sizedFile("small.txt", 1000);         // 0.98 KB
        tree.sizedFile("x,y.txt", 1001);           // 0.98 KB too
        tree.sizedFile("giga.iso", 1'073'741'825); // 1 GB, sparse
        tree.file("README");
        tree.setModified("big.bin", 1'418'198'400);  // 2014-12-10 08:00 UTC
        tree.setModified("kilo.bin", 1'420'182'000); // 2015-01-02 07:00 UTC
        tree.setModified("small.txt", 1'000'000'000);
        tree.setModified("x,y.txt", 1'000'000'030); // the same minute as small.txt
        tree.setModified("giga.iso", 1'500'000'000);
        tree.setModified("README", 1'300'000'000);
        form = std::make_unique<TForm1>(
            std::vector<std::string>{"/opt/vintrel/vintrel2", tree.root()});
        form->scanHost().setInterval(std::chrono::milliseconds(0));
        form->show();
        Dialogs::setTestHook([this](const DialogRequest& request) {
            asked.push_back(request);
            return answer;
        });
    }
    void TearDown() override { Dialogs::setTestHook(nullptr); }

    void listAll() {
        form->AttribsChk->setChecked(true);
        form->Button1->click();
    }
    void selectRows(std::initializer_list<int> rows) {
        form->ListView2->clearSelection();
        for (const int row : rows) {
            form->ListView2->selectionModel()->select(form->ListView2->model()->index(row, 0),
                                                      QItemSelectionModel::Select |
                                                          QItemSelectionModel::Rows);
        }
    }
    QString path(const char* name) const { return QString::fromStdString(tree.path(name)); }

    vintrel::test::ZoneGuard zone{"UTC"}; // before the window, which reads dates in it
    TempTree tree, scratch;
    std::unique_ptr<TForm1> form;
    std::vector<DialogRequest> asked;
    QString answer;
};

} // namespace

TEST_F(SortAndExport, SizesDatesAndNamesSortByWhatTheyMean) {
    listAll();
    ASSERT_EQ(form->ListView2->rows()->rowCount(), 6);
    form->ListView2->HeaderClick(3);
    EXPECT_EQ(Column(form->ListView2, 3),
              QStringList({"0 KB", "0.98 KB", "0.98 KB", "1024 KB", "1 MB", "1 GB"}));
    form->ListView2->HeaderClick(3);
    EXPECT_EQ(Column(form->ListView2, 3).first(), "1 GB");
    EXPECT_FALSE(form->ListView2->SortAscending);

    form->ListView2->HeaderClick(2);
    const QStringList byDate = Column(form->ListView2, 0);
    EXPECT_LT(byDate.indexOf(path("big.bin")), byDate.indexOf(path("kilo.bin")));
    EXPECT_LT(byDate.indexOf(path("README")), byDate.indexOf(path("big.bin")));
    EXPECT_EQ(byDate.last(), path("giga.iso"));

    form->ListView2->HeaderClick(0);
    EXPECT_EQ(Column(form->ListView2, 0).first(), path("big.bin"));
}

TEST_F(SortAndExport, CountsSortAsNumbers) {
    for (int i = 0; i < 9; ++i) tree.file("n" + std::to_string(i) + ".nine");
    for (int i = 0; i < 10; ++i) tree.file("t" + std::to_string(i) + ".ten");
    form->Button1->click();
    form->ListView1->HeaderClick(2);
    const QStringList counts = Column(form->ListView1, 2);
    EXPECT_LT(counts.indexOf("9"), counts.indexOf("10"));
    EXPECT_EQ(counts, QStringList({"1", "1", "2", "2", "9", "10"}));
}

TEST_F(SortAndExport, AnUnreadableCellShowsTheErrorAndTheWindowGoesOn) {
    listAll();
    form->ListView2->rows()->appendRow({"/bad", "x", "y", "lots KB", ""});
    form->ListView2->rows()->commitRows();
    form->ListView2->header()->sectionClicked(3);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Error);
    EXPECT_EQ(asked.back().text, "'lots' is not a valid floating point value.");
    form->ListView2->header()->sectionClicked(0); // still sorts
    EXPECT_EQ(Column(form->ListView2, 0).first(), "/bad");
}

TEST_F(SortAndExport, FileNamesAndDetailsGoToTheClipboardInTableOrder) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    listAll();
    form->ListView2->HeaderClick(3); // by size
    selectRows({4, 1});
    form->Copyfilelist1->trigger();
    const QStringList names = Column(form->ListView2, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), names[1] + "\r\n" + names[4] + "\r\n");

    selectRows({0, 2});
    form->CopyfiledetailstoclipboardasCSV1->trigger();
    const QString csv = QGuiApplication::clipboard()->text();
    const QStringList lines = csv.split("\r\n");
    EXPECT_EQ(lines[0], "Filename,\"Date Created\",\"Date modified\",Size,Attribs");
    EXPECT_TRUE(lines[1].startsWith(names[0] + ",\"")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\"0 KB\",")); // README: no attribute letters
    EXPECT_TRUE(lines[2].startsWith("\"" + path("x,y.txt") + "\"") ||
                lines[2].startsWith(path("small.txt")));
    EXPECT_EQ(lines.size(), 4); // every line ends in CR LF
    EXPECT_TRUE(csv.endsWith("\r\n"));
}

TEST_F(SortAndExport, NothingSelectedLeavesTheClipboardAlone) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    QGuiApplication::clipboard()->setText("before");
    listAll();
    form->ListView2->clearSelection();
    form->Copyfilelist1->trigger();
    form->CopyfiledetailstoclipboardasCSV1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
}

TEST_F(SortAndExport, TypeTableExportTakesEveryRow) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    form->Button1->click();
    form->ListView1->selectRow(0);
    form->Copydetailstoclipboard1->trigger();
    const QStringList lines = QGuiApplication::clipboard()->text().split("\r\n");
    EXPECT_EQ(lines[0], "Type,Description,Count,Size");
    EXPECT_EQ(lines.size(), 6); // the header, .bin, .txt, .iso, no extension, and the empty end
    const QString none = lines.filter(QRegularExpression("^,File,")).value(0);
    EXPECT_EQ(none, ",File,1,\"0 KB\""); // the type without extension begins with a comma
}

TEST_F(SortAndExport, SavingWritesTheFileBytesAndOffersTheLastName) {
    listAll();
    form->ListView2->HeaderClick(3);
    selectRows({0});
    answer = QString::fromStdString(scratch.path("out.csv"));
    scratch.file("out.csv", "an old file that is longer than the new one, to be replaced whole");
    form->SavefiledetailsasCSV1->trigger();
    ASSERT_EQ(asked.back().kind, DialogRequest::Kind::SaveFile);
    EXPECT_EQ(asked.back().text, ""); // nothing chosen before
    const std::string expected =
        Utf16(std::string("Filename,\"Date Created\",\"Date modified\",Size,Attribs\r\n") +
              tree.path("README") + "," + "\"" + Column(form->ListView2, 1)[0].toStdString() +
              "\",\"" + Column(form->ListView2, 2)[0].toStdString() + "\",\"0 KB\",\r\n");
    EXPECT_EQ(ReadFile(scratch.path("out.csv")), expected);

    form->AttribsChk->setChecked(false);
    form->Button1->click();
    form->SavedetailstofileasCSV1->trigger(); // the type table, same dialog
    EXPECT_EQ(asked.back().text.toStdString(), scratch.path("out.csv"));
    EXPECT_EQ(ReadFile(scratch.path("out.csv")).substr(0, 10), Utf16("Type"));

    answer = ""; // cancelled: nothing written
    form->SavefiledetailsasCSV1->trigger();
    EXPECT_EQ(ReadFile(scratch.path("out.csv")).substr(0, 10), Utf16("Type"));
}

TEST_F(SortAndExport, FailingSavesSayWhyAndKeepTheOldFile) {
    listAll();
    selectRows({0});
    answer = QString::fromStdString(scratch.path("missing/out.csv"));
    form->SavefiledetailsasCSV1->trigger();
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Error);
    EXPECT_EQ(asked.back().text.toStdString(), "Cannot create file \"" +
                                                   scratch.path("missing/out.csv") +
                                                   "\". No such file or directory.");
    answer = "/dev/full";
    form->SavefiledetailsasCSV1->trigger();
    EXPECT_EQ(asked.back().text, "Stream write error. No space left on device.");
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 6); // the tables are unchanged
}

TEST_F(SortAndExport, AHeaderClickDuringAFillSortsTheRowsPresent) {
    for (int i = 0; i < 2000; ++i) tree.file("many/f" + std::to_string(i));
    form->AttribsChk->setChecked(true);
    int sortedAt = -1;
    QStringList atClick;
    // At a pump of the fill once its first rows are shown, well before its end.
    std::function<void()> clickWhenRowsAreThere = [&] {
        if (form->ListView2->rows()->rowCount() == 0) {
            QTimer::singleShot(0, form.get(), clickWhenRowsAreThere);
            return;
        }
        form->ListView2->HeaderClick(0);
        sortedAt = form->ListView2->rows()->rowCount();
        atClick = Column(form->ListView2, 0);
    };
    QTimer::singleShot(0, form.get(), clickWhenRowsAreThere);
    form->Button1->click();
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 2006);
    EXPECT_EQ(form->ListView2->SortColumn, 0);
    ASSERT_GT(sortedAt, 0);
    EXPECT_LT(sortedAt, 2006); // the fill was still on
    // The rows present at the click stood in name order right after it.
    const Collation collation = Collation::FromEnvironment();
    for (int i = 1; i < atClick.size(); ++i) {
        ASSERT_LE(collation.compare(atClick[i - 1].toStdString(), atClick[i].toStdString()), 0)
            << atClick[i - 1].toStdString() << " > " << atClick[i].toStdString();
    }
}

namespace {

// Clicks a column's header as a user does; the texts of that column after it.
QStringList ClickHeader(TSortListView* table, int column) {
    QHeaderView* header = table->horizontalHeader();
    const QPoint inside(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, inside);
    return Column(table, column);
}

void Fill(TSortListView* table, const std::vector<std::vector<std::string>>& rows) {
    table->rows()->clear();
    for (const auto& row : rows) table->rows()->appendRow(row);
    table->rows()->commitRows();
}

} // namespace

// The orders a header click gives (keys read once per row) are the orders of the window's
// own pairwise handlers, on both tables, both directions, with ties and mixed units; an
// unreadable text stops both the same way.
TEST_F(SortAndExport, KeyOrdersAreTheOrdersOfTheWindowsComparisons) {
    form->show();
    const std::vector<std::vector<std::string>> types = {
        {".b", "B", "10", "1.5 MB"}, {".a", "A", "9", "1536 KB"}, {".c", "C", "10", "2 GB"},
        {".D", "D", "100", "0 KB"},  {".e", "E", "9", "1.50 MB"}, {".á", "F", "0", "999.99 KB"}};
    const std::vector<std::vector<std::string>> files = {
        {"/b", "2014-12-10 08:00", "2015-01-02 07:00", "1 MB", ""},
        {"/a", "2014-12-10 08:00", "2001-09-09 01:46", "1024 KB", "A"},
        {"/C", "1999-01-01 00:00", "2015-01-02 07:00", "0.98 KB", ""},
        {"/á", "2030-06-30 23:59", "2001-09-09 01:46", "1 GB", "R"},
        {"/d", "2014-12-10 08:01", "1970-01-01 00:00", "0 KB", ""}};
    struct Case {
        TSortListView* table;
        const std::vector<std::vector<std::string>>* rows;
        int columns;
    };
    for (const Case& c : {Case{form->ListView1, &types, 4}, Case{form->ListView2, &files, 5}}) {
        const TSLVSortKey keys = c.table->OnSortKey;
        for (int column = 0; column < c.columns; ++column) {
            // Ascending, the second click's reverse, and a fresh descending sort.
            const auto orders = [&] {
                Fill(c.table, *c.rows);
                ClickHeader(c.table, column == 0 ? 1 : 0); // away, so the next click sorts afresh
                Fill(c.table, *c.rows);
                const QStringList up = ClickHeader(c.table, column);
                const QStringList reversed = ClickHeader(c.table, column);
                Fill(c.table, *c.rows);
                c.table->SortAscending = true; // the next click on this column: descending
                return std::array{up, reversed, ClickHeader(c.table, column)};
            };
            c.table->OnSortKey = keys;
            const auto keyed = orders();
            c.table->OnSortKey = nullptr; // only the window's OnCustomSort and DefaultCompare
            EXPECT_EQ(orders(), keyed) << column;
        }
        c.table->OnSortKey = keys;
    }

    // An unreadable size: the same message either way, and the rows stay as they were.
    auto broken = files;
    broken[2][3] = "lots KB";
    for (const bool keyed : {true, false}) {
        const TSLVSortKey keys = form->ListView2->OnSortKey;
        if (!keyed) form->ListView2->OnSortKey = nullptr;
        Fill(form->ListView2, broken);
        asked.clear();
        ClickHeader(form->ListView2, 3);
        form->ListView2->OnSortKey = keys;
        ASSERT_EQ(asked.size(), 1u) << keyed;
        EXPECT_EQ(asked[0].text, "'lots' is not a valid floating point value.");
        EXPECT_EQ(Column(form->ListView2, 0), QStringList({"/b", "/a", "/C", "/á", "/d"}));
    }
}
