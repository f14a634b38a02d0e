#include "Dialogs.h"
#include "SortListView.h"
#include "StartedWindow.h"
#include "StatusBarGr.h"
#include "TableText.h"
#include "TempTree.h"
#include "try1.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::Column;
using vintrel::test::TempTree;

namespace {

std::unique_ptr<TForm1> Start(const std::string& root) {
    return vintrel::test::StartedWindow(root);
}

void SelectRow(TSortListView* table, int row) {
    table->selectionModel()->select(table->model()->index(row, 0),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
}

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.file("a.TXT", "1234");
        tree.file("b.txt", "1");
        tree.file("c.doc");
        tree.file("sub/d.txt");
    }
    TempTree tree;
};

} // namespace

TEST_F(Search, GoWithAnEmptyRootDoesNothing) {
    auto form = Start("");
    form->Button1->click();
    EXPECT_EQ(form->Button1->text(), "GO");
    EXPECT_EQ(form->FileCount->text(), "0");
    QTest::keyClick(form->RootDir, Qt::Key_F5);
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
}

TEST_F(Search, TypeTableRowsAndTotals) {
    auto form = Start(tree.root());
    form->Button1->click();
    EXPECT_EQ(form->Button1->text(), "GO");
    QStringList types = Column(form->ListView1, 0);
    ASSERT_EQ(types.size(), 2);
    const int txt = types.indexOf(QRegularExpression("\\.(TXT|txt)"));
    EXPECT_EQ(Column(form->ListView1, 2)[txt], "3");
    EXPECT_EQ(Column(form->ListView1, 3)[txt], "0 KB");
    EXPECT_EQ(Column(form->ListView1, 0)[1 - txt], ".doc");
    EXPECT_FALSE(Column(form->ListView1, 1)[txt].isEmpty());
    EXPECT_EQ(form->Label3->text(), "Total types: 2");
    EXPECT_EQ(form->CountLabel->text(), "4");
    EXPECT_EQ(form->Label5->text(), "Total size: 0 KB");
    EXPECT_EQ(form->FileCount->text(), "9/0"); // root 5 entries, sub 3... and "." ".." of each
    EXPECT_TRUE(form->HeaderControl1->currentMessage().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Search, TotalSizeAddsBeforeItIsWritten) {
    TempTree sizes;
    sizes.sizedFile("one.a", 1'048'576);
    sizes.sizedFile("two.b", 1);
    auto form = Start(sizes.root());
    form->Button1->click();
    EXPECT_TRUE(Column(form->ListView1, 3).contains("1024 KB"));
    EXPECT_TRUE(Column(form->ListView1, 3).contains("0 KB"));
    EXPECT_EQ(form->Label5->text(), "Total size: 1 MB");
}

TEST_F(Search, EmptyFolderShowsNothingButTheVisitCount) {
    TempTree empty;
    auto form = Start(empty.root());
    form->Button1->click();
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
    EXPECT_EQ(form->Label5->text(), "Total size: 0");
    EXPECT_EQ(form->Label3->text(), "Total types: 0");
    EXPECT_EQ(form->CountLabel->text(), "0");
    EXPECT_EQ(form->FileCount->text(), "2/0");
}

TEST_F(Search, AnyFilterBoxListsFiles) {
    auto form = Start(tree.root());
    form->AttribsChk->setChecked(true); // no letter: every file that is not excluded
    EXPECT_TRUE(form->ReadChk->isEnabled());
    form->Button1->click();
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 4);
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
    EXPECT_EQ(form->FileCount->text(), "9/4");
    EXPECT_TRUE(
        Column(form->ListView2, 0).contains(QString::fromStdString(tree.path("sub/d.txt"))));

    form->AttribsChk->setChecked(false);
    form->SingleFile->setChecked(true);
    form->FileType->setText(".doc");
    form->Button1->click();
    EXPECT_EQ(Column(form->ListView2, 0), QStringList{QString::fromStdString(tree.path("c.doc"))});
    EXPECT_EQ(Column(form->ListView2, 3), QStringList{"0 KB"});
}

TEST_F(Search, StopDuringATypeScanLeavesTheTableEmpty) {
    for (int i = 0; i < 3000; ++i) tree.file("many/f" + std::to_string(i) + ".x");
    auto form = Start(tree.root());
    QTimer::singleShot(0, form.get(), [&] {
        EXPECT_EQ(form->Button1->text(), "STOP");
        form->Button1->click();
        EXPECT_EQ(form->Button1->text(), "GO");
    });
    form->Button1->click();
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
    EXPECT_EQ(form->CountLabel->text(), "0");
    EXPECT_EQ(form->Label3->text(), "Total types: 0");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Search, ClosingTheWindowDuringASearchEndsTheProgram) {
    for (int i = 0; i < 3000; ++i) tree.file("many/f" + std::to_string(i) + ".dat");
    auto form = Start(tree.root());
    bool forced = false;
    QTimer::singleShot(0, form.get(), [&] {
        QTimer::singleShot(0, form.get(), [&] { form->close(); }); // at the walk's first pump
        form->Button1->click();
    });
    QTimer::singleShot(20'000, qApp, [&] {
        forced = true;
        QApplication::quit();
    });
    QApplication::exec(); // returns once the last window is closed and the search is over
    EXPECT_FALSE(forced);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->scanState().StopRequested);
    EXPECT_LT(form->scanState().VisitedCount, 3000); // the walk did not go on to the end
}

TEST_F(Search, ARelativeRootBecomesAbsolute) {
    char* before = get_current_dir_name();
    ASSERT_EQ(chdir(tree.path("sub").c_str()), 0);
    auto form = Start("../b.txt"); // a file: its folder is the root
    auto dot = Start(".");
    ASSERT_EQ(chdir(before), 0);
    free(before);
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.path("sub/../"));
    EXPECT_EQ(dot->RootDir->text().toStdString(), tree.path("sub/"));
    form->AttribsChk->setChecked(true);
    form->Button1->click();
    EXPECT_TRUE(
        Column(form->ListView2, 0).contains(QString::fromStdString(tree.path("sub/../b.txt"))));
}

TEST_F(Search, EscapeStopsAListingAndItsRowsStay) {
    for (int i = 0; i < 3000; ++i) tree.file("many/f" + std::to_string(i) + ".x");
    auto form = Start(tree.root());
    form->AttribsChk->setChecked(true);
    QTimer::singleShot(0, form.get(), [&] { QTest::keyClick(form->ListView2, Qt::Key_Escape); });
    form->Button1->click();
    const int rows = form->ListView2->rows()->rowCount();
    EXPECT_LT(rows, 3004);
    EXPECT_TRUE(form->FileCount->text().endsWith("/" + QString::number(rows)));
    EXPECT_EQ(form->Button1->text(), "GO");
}

TEST_F(Search, TypeListingAndReload) {
    auto form = Start(tree.root());
    QTest::keyClick(form->RootDir, Qt::Key_Escape); // Esc while idle does not block the listing
    form->Button1->click();
    const int txt = Column(form->ListView1, 0).indexOf(QRegularExpression("\\.(TXT|txt)"));
    form->PopupMenu1Popup();
    EXPECT_EQ(form->Reload1->text(), "Reload files of type ()");

    SelectRow(form->ListView1, txt);
    form->ListView1DblClick();
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 3);
    EXPECT_EQ(form->CountLabel->text(), "4"); // a listing leaves the type totals alone
    EXPECT_EQ(form->Label3->text(), "Total types: 2");
    EXPECT_EQ(form->Button1->text(), "GO");
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 2); // the type table stays
    form->PopupMenu1Popup();
    EXPECT_TRUE(form->Reload1->text() == "Reload files of type (.TXT)" ||
                form->Reload1->text() == "Reload files of type (.txt)");

    std::remove(tree.path("b.txt").c_str());
    form->Reload1->trigger();
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 2);

    std::remove(tree.path("a.TXT").c_str());
    std::remove(tree.path("sub/d.txt").c_str());
    form->Reload1->trigger();
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 0);
    EXPECT_TRUE(form->FileCount->text().endsWith("/0"));
}

TEST_F(Search, ListingFilesWithoutExtension) {
    tree.file("README");
    auto form = Start(tree.root());
    form->Button1->click();
    const int none = Column(form->ListView1, 0).indexOf("");
    ASSERT_GE(none, 0);
    SelectRow(form->ListView1, none);
    form->ListView1DblClick();
    EXPECT_EQ(Column(form->ListView2, 0), QStringList{QString::fromStdString(tree.path("README"))});
}

TEST_F(Search, NoSecondSearchStartsWhileOneRuns) {
    for (int i = 0; i < 3000; ++i) tree.file("many/f" + std::to_string(i) + ".txt");
    auto form = Start(tree.root());
    form->Button1->click();
    SelectRow(form->ListView1,
              Column(form->ListView1, 0).indexOf(QRegularExpression("\\.(TXT|txt)")));
    bool tried = false;
    QTimer::singleShot(0, form.get(), [&] {
        tried = true;
        EXPECT_TRUE(form->searchRunning());
        form->Button1->click(); // GO during a type listing: ignored
        form->ListView1DblClick();
        form->Reload1->trigger();
    });
    form->ListView1DblClick();
    EXPECT_TRUE(tried);
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 3003);
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 2); // the type table is left alone
}

TEST_F(Search, EnablersFollowTheirBoxes) {
    auto form = Start(tree.root());
    const std::vector<std::pair<QCheckBox*, QWidget*>> pairs = {
        {form->SingleFile, form->FileType},    {form->InFile, form->InText},
        {form->FileCreated, form->CreateDate}, {form->FileModified, form->FileModifiedCombo},
        {form->FileSize, form->FileSizeKb},    {form->AttribsChk, form->ArchiveChk}};
    for (const auto& [box, companion] : pairs) {
        box->setChecked(true);
        EXPECT_TRUE(companion->isEnabled()) << box->objectName().toStdString();
        box->setChecked(false);
        EXPECT_FALSE(companion->isEnabled()) << box->objectName().toStdString();
    }
}

TEST_F(Search, RootFolderPickerAndUnreadableRoot) {
    auto form = Start(tree.root());
    std::vector<DialogRequest> asked;
    QString answer = "";
    Dialogs::setTestHook([&](const DialogRequest& request) {
        asked.push_back(request);
        return answer;
    });
    form->RootDirClick();
    EXPECT_EQ(asked.back().title, "Select source folder");
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.root()); // cancelled: unchanged
    answer = QString::fromStdString(tree.path("sub"));
    form->RootDirClick();
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.path("sub") + "/");

    form->RootDir->setText(QString::fromStdString(tree.path("missing")));
    answer = "OK";
    form->Button1->click();
    Dialogs::setTestHook(nullptr);
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Message);
    EXPECT_TRUE(asked.back().text.contains(QString::fromStdString(tree.path("missing"))));
    EXPECT_TRUE(asked.back().text.contains("No such file or directory"));
    EXPECT_EQ(form->Button1->text(), "GO");
}

TEST_F(Search, ARootFolderThatIsNotUtf8IsScannedByItsExactBytes) {
    tree.file("d\xFE/inside.txt");
    auto form = Start(tree.path("d\xFE"));
    EXPECT_TRUE(form->RootDir->text().contains(QChar(0xFFFD)));
    form->Button1->click();
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".txt"});
    std::vector<DialogRequest> asked;
    Dialogs::setTestHook([&](const DialogRequest& request) {
        asked.push_back(request);
        return QStringLiteral("OK");
    });
    // Once the field shows another text, that text is what counts.
    form->RootDir->end(false);
    QTest::keyClicks(form->RootDir, "x");
    form->Button1->click();
    Dialogs::setTestHook(nullptr);
    ASSERT_EQ(asked.size(), 1u); // that folder does not exist
    EXPECT_TRUE(asked[0].text.contains("No such file or directory"));
}

TEST_F(Search, NamesThatAreNotUtf8AreListedByTheirExactBytes) {
    tree.file("caf\xE9.\xFF");
    auto form = Start(tree.root());
    form->Button1->click();
    const int odd = Column(form->ListView1, 0).indexOf(QString::fromUtf8(".\xEF\xBF\xBD"));
    ASSERT_GE(odd, 0);
    SelectRow(form->ListView1, odd);
    form->ListView1DblClick();
    ASSERT_EQ(form->ListView2->rows()->rowCount(), 1);
    EXPECT_EQ(form->ListView2->rows()->exactFirstCell(0), tree.path("caf\xE9.\xFF"));
}
