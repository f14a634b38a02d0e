// The window driven the way a user drives it: mouse and key events sent to the widgets.

#include "Dialogs.h"
#include "Drops.h"
#include "FileClipboard.h"
#include "PlatformAbilities.h"
#include "SortListView.h"
#include "StartedWindow.h"
#include "StatusBarGr.h"
#include "TableText.h"
#include "TempTree.h"
#include "try1.h"
#include "ZoneGuard.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace vintrel;
using vintrel::test::Column;
using vintrel::test::DropFiles;
using vintrel::test::DropUrls;
using vintrel::test::TempTree;

namespace {

std::unique_ptr<TForm1> Start(const std::string& root) {
    auto form = vintrel::test::StartedWindow(root);
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

// Every dialog asked for, answered with `answer`.
struct DialogLog {
    explicit DialogLog(QString answer = {}) {
        Dialogs::setTestHook([this, answer](const DialogRequest& request) {
            asked.push_back(request);
            return answer;
        });
    }
    ~DialogLog() { Dialogs::setTestHook(nullptr); }
    std::vector<DialogRequest> asked;
};

QString AccessibleName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

TEST(WindowInput, OneLeftClickIntoRootOpensTheFolderBrowserOnce) {
    TempTree tree;
    auto form = Start(tree.root());
    DialogLog dialogs;
    QTest::mouseClick(form->RootDir, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].title, "Select source folder");
    QTest::mouseClick(form->RootDir, Qt::MiddleButton, {}, QPoint(10, 10));
    QTimer::singleShot(0, [] { // the edit's own menu, not the browser
        if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    });
    QTest::mouseClick(form->RootDir, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(dialogs.asked.size(), 1u);
}

TEST(WindowInput, F5PressesGoOnceWhereverTheFocusIs) {
    TempTree tree;
    auto form = Start(tree.root());
    form->RootDir->setText(QString::fromStdString(tree.path("missing"))); // each GO says so
    DialogLog dialogs(QStringLiteral("OK"));
    form->RootDir->setFocus(); // as at start-up
    QTest::keyClick(form->RootDir, Qt::Key_F5);
    EXPECT_EQ(dialogs.asked.size(), 1u);
    form->ListView2->setFocus();
    QTest::keyClick(form->ListView2, Qt::Key_F5);
    EXPECT_EQ(dialogs.asked.size(), 2u);
    form->HidBox->setFocus();
    QTest::keyClick(form->HidBox, Qt::Key_F5);
    EXPECT_EQ(dialogs.asked.size(), 3u);
}

TEST(WindowInput, AHighlightedMenuItemShowsItsHintInTheStatusBar) {
    TempTree tree;
    tree.file("a.txt");
    auto form = Start(tree.root());
    QWidget* viewport = form->ListView2->viewport();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(20, 20),
                                viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &menuEvent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->PopupMenu1->isVisible(); }));
    QTest::keyClick(form->PopupMenu1, Qt::Key_Down);
    EXPECT_EQ(form->HeaderControl1->currentMessage(), "Copy all file names to clipboard");
    QTest::keyClick(form->PopupMenu1, Qt::Key_Escape);
    EXPECT_FALSE(form->PopupMenu1->isVisible());
    EXPECT_EQ(form->HeaderControl1->currentMessage(), "");
}

TEST(WindowInput, ScreenReadersHearWhatTheControlsShowNow) {
    TempTree tree;
    tree.file("a.txt", "12345");
    for (int i = 0; i < 200; ++i) tree.file("b" + std::to_string(i) + ".doc"); // room for events
    auto form = Start(tree.root());
    QString duringSearch;
    QTimer::singleShot(0, [&] { duringSearch = AccessibleName(form->Button1); });
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(duringSearch, "STOP");
    EXPECT_EQ(AccessibleName(form->Button1), "GO");
    for (QLabel* label : {form->Label3, form->Label5, form->CountLabel, form->FileCount}) {
        EXPECT_EQ(AccessibleName(label), label->text().trimmed());
    }
    EXPECT_EQ(AccessibleName(form->Label3), "Total types: 2");
    EXPECT_EQ(AccessibleName(form->RootDir), "Root"); // a field keeps its caption
}

TEST(WindowInput, GoSearchesTheFolderRootShowsHoweverItWasChanged) {
    TempTree tree;
    tree.file("d\xFE/inside.txt");
    tree.file("other/x.doc");
    auto form = Start(tree.path("d\xFE"));
    QTest::mouseClick(form->Button1, Qt::LeftButton); // the argument's exact bytes
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".txt"});

    // Changed without typing, as an accessibility tool or a paste through the menu does.
    form->RootDir->setText(QString::fromStdString(tree.path("other")));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".doc"});
}

TEST(WindowInput, DatesFollowAChangedTimeZoneAtTheNextSearch) {
    TempTree tree;
    tree.file("a.txt");
    tree.setModified("a.txt", 1392699960); // 2014-02-18 05:06 UTC
    vintrel::test::ZoneGuard zone("UTC");
    auto form = Start(tree.root());
    QTest::mouseClick(form->AttribsChk, Qt::LeftButton); // a filter that every file passes
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView2, 2), QStringList{"2014-02-18 05:06"});
    setenv("TZ", "Asia/Tokyo", 1); // as the system changes it: the window must notice
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView2, 2), QStringList{"2014-02-18 14:06"});
}

namespace {

// Right-clicks the file table on `row` and clicks `item` in the menu that opens.
void ChooseFromFileMenu(TForm1& form, int row, QAction* item) {
    QWidget* viewport = form.ListView2->viewport();
    const QPoint at = form.ListView2->visualRect(form.ListView2->rows()->index(row, 0)).center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &menuEvent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PopupMenu1->isVisible(); }));
    QTest::mouseClick(form.PopupMenu1, Qt::LeftButton, {},
                      form.PopupMenu1->actionGeometry(item).center());
}

void ClickRow(TForm1& form, int row, Qt::KeyboardModifiers modifiers = {}) {
    const QRect cell = form.ListView2->visualRect(form.ListView2->rows()->index(row, 0));
    QTest::mouseClick(form.ListView2->viewport(), Qt::LeftButton, modifiers, cell.center());
}

} // namespace

// Narrowing or removing rows keeps the selection of the rows that stay and the view's place.
TEST(WindowInput, NarrowingTheFileTableKeepsTheUsersPlace) {
    TempTree tree;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.%s", i, i % 2 ? "txt" : "doc");
        tree.file(name);
    }
    auto form = Start(tree.root());
    form->resize(920, 600);
    QTest::mouseClick(form->AttribsChk, Qt::LeftButton);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    form->ListView2->HeaderClick(0);
    ASSERT_EQ(form->ListView2->rows()->rowCount(), 300);

    form->ListView2->scrollTo(form->ListView2->rows()->index(250, 0));
    ClickRow(*form, 251);                      // f251.txt
    ClickRow(*form, 253, Qt::ControlModifier); // f253.txt
    ClickRow(*form, 252, Qt::ControlModifier); // f252.doc
    const int scrolled = form->ListView2->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    ChooseFromFileMenu(*form, 252, form->Removeselectedfiles1);
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 297);
    EXPECT_EQ(form->ListView2->verticalScrollBar()->value(), scrolled);

    ClickRow(*form, 249);                                     // f249.txt
    ClickRow(*form, 250, Qt::ControlModifier);                // f250.doc
    ChooseFromFileMenu(*form, 249, form->Filterfilesbytype1); // the topmost selected: .txt
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 148);
    QStringList selected;
    for (const int row : form->ListView2->selectedRows())
        selected << Column(form->ListView2, 0)[row];
    ASSERT_EQ(selected.size(), 1);
    EXPECT_TRUE(selected[0].endsWith("f249.txt")) << selected[0].toStdString();
    EXPECT_GT(form->ListView2->verticalScrollBar()->value(), 0);
}

namespace {

// A window that listed every file of `tree` (two of them), by name, both rows selected.
std::unique_ptr<TForm1> BothFilesSelected(const TempTree& tree) {
    auto form = Start(tree.root());
    QTest::mouseClick(form->AttribsChk, Qt::LeftButton);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    form->ListView2->HeaderClick(0);
    ClickRow(*form, 0);
    ClickRow(*form, 1, Qt::ControlModifier);
    return form;
}

} // namespace

TEST(WindowInput, DraggedRowsCarryWhatCopyingFilesToTheClipboardPuts) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    TempTree tree;
    tree.file("a.txt");
    tree.file("caf\xE9.txt");
    auto form = BothFilesSelected(tree);
    form->ListView2->setFocus();
    QTest::keyClick(form->ListView2, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    std::unique_ptr<QMimeData> dragged(form->ListView2->OnDragData());
    EXPECT_EQ(dragged->formats(), copied->formats() << TForm1::kOwnRowsFormat);
    for (const QString& format : copied->formats())
        EXPECT_EQ(dragged->data(format), copied->data(format)) << format.toStdString();
    EXPECT_EQ(dragged->urls().size(), 2);
    EXPECT_TRUE(dragged->text().contains(QString::fromStdString(tree.path("a.txt"))));
    EXPECT_TRUE(form->ListView2->dragEnabled());
}

TEST(WindowInput, ADroppedFolderOrFileSetsRootAsTheCommandLineDoes) {
    TempTree tree;
    tree.file("one/x.doc");
    tree.file("d\xFE/inside.txt");
    auto form = Start("");
    ASSERT_TRUE(DropFiles(form->RootDir, {tree.path("one")}));
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.path("one"));
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0); // nothing starts
    ASSERT_TRUE(DropFiles(form->ListView1, {tree.path("one/x.doc")}));
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.path("one") + "/"); // a file: its folder

    // A name that is not UTF-8 is searched by its exact bytes, as from the command line.
    ASSERT_TRUE(DropFiles(form->RootDir, {tree.path("d\xFE")}));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".txt"});

    // During a search a drop is refused and Root stays.
    for (int i = 0; i < 200; ++i) tree.file("d\xFE/f" + std::to_string(i) + ".txt");
    bool taken = true;
    QTimer::singleShot(0, [&] { taken = DropFiles(form->RootDir, {tree.path("one")}); });
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_FALSE(taken);
    EXPECT_TRUE(form->RootDir->text().contains(QChar(0xFFFD)));
}

TEST(WindowInput, OnlyExistingLocalFilesAreTakenFromADrop) {
    TempTree tree;
    tree.folder("here");
    auto form = Start(tree.root());
    const QString before = form->RootDir->text();
    EXPECT_FALSE(DropUrls(form->RootDir, {QUrl("file://otherhost/etc")}));
    EXPECT_FALSE(DropUrls(form->RootDir, {QUrl::fromEncoded("file:///tmp/x%00/../../etc")}));
    EXPECT_FALSE(DropUrls(form->RootDir,
                          {QUrl::fromLocalFile(QString::fromStdString(tree.path("here/gone")))}));
    EXPECT_FALSE(DropUrls(form->RootDir, {QUrl("https://example.org/etc")}));
    EXPECT_EQ(form->RootDir->text(), before);
    EXPECT_TRUE(DropUrls(form->RootDir,
                         {QUrl("file://localhost" + QString::fromStdString(tree.path("here")))}));
    EXPECT_EQ(form->RootDir->text().toStdString(), tree.path("here"));
}

// Pressing a selected row and moving the mouse starts a drag that offers what the clipboard
// copy holds, as a copy or a link only; dropped on this window, it is not taken.
TEST(WindowInput, RowsDraggedWithTheMouseOfferCopyOrLinkOnly) {
    if (!vintrel::test::DragsFollowTestMouseEvents())
        GTEST_SKIP() << "a drag here follows the display server's own pointer";
    TempTree tree;
    tree.file("a.txt");
    tree.file("b.txt");
    auto form = BothFilesSelected(tree);
    const QString root = form->RootDir->text();

    QWidget* viewport = form->ListView2->viewport();
    const QPoint start = form->ListView2->visualRect(form->ListView2->rows()->index(0, 0)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(viewport, start + QPoint(0, step * QApplication::startDragDistance()));
    EXPECT_EQ(form->ListView2->selectedRows(), (std::vector<int>{0, 1})); // the press kept them
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, start + QPoint(0, 40));
    // Without a display server the drag ends at once; the QDrag stays until events run.
    QDrag* drag = form->ListView2->findChild<QDrag*>();
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(drag->supportedActions(), Qt::CopyAction | Qt::LinkAction);
    const QList<QUrl> carried = drag->mimeData()->urls();
    ASSERT_EQ(carried.size(), 2);
    EXPECT_EQ(carried[0].toLocalFile().toStdString(), tree.path("a.txt"));

    // Dropped back onto the window, the rows are not taken.
    const QPoint at = form->RootDir->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, drag->mimeData(), Qt::LeftButton,
                          {});
    QApplication::sendEvent(form->RootDir, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_EQ(form->RootDir->text(), root);
}
