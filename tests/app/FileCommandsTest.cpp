#include "AnsweredDialogs.h"
#include "DesktopServices.h"
#include "Dialogs.h"
#include "PlatformAbilities.h"
#include "PrivateBus.h"
#include "SortListView.h"
#include "TempTree.h"
#include "try1.h"

#include <fstream>
#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <sstream>
#include <sys/stat.h>

using namespace vintrel;
using vintrel::test::Exists;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

// A file manager on the test's own bus, noting what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    QStringList shown, properties;
  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
    void ShowItemProperties(const QStringList& uris, const QString&) { properties << uris; }
    void ShowFolders(const QStringList&, const QString&) {}
};

namespace {

vintrel::test::PrivateSessionBus& Bus() {
    static vintrel::test::PrivateSessionBus bus;
    return bus;
}

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        Bus();
        tree.file("a.txt", "a");
        tree.file("B.TXT", "b");
        tree.file("c.doc", "c");
        tree.file("Sub/d.txt", "d");
        tree.file("sub2/e", "e");
        tree.file(".hidden", "h");
        setenv("XDG_DATA_HOME", home.path("data").c_str(), 1);
        form = std::make_unique<TForm1>(
            std::vector<std::string>{"/opt/vintrel/vintrel2", tree.root()});
        form->scanHost().setInterval(std::chrono::milliseconds(0));
        form->show();
        DesktopServices::setTestHook(
            [this](DesktopServices::Action action, const std::string& path) {
                opened.emplace_back(action, path);
            });
        form->HidBox->setChecked(false);
        form->AttribsChk->setChecked(true);
        form->Button1->click();
        form->ListView2->HeaderClick(
            0); // by name: /.hidden, /B.TXT, /Sub/d.txt, /a.txt, /c.doc, /sub2/e
    }
    void TearDown() override { DesktopServices::setTestHook(nullptr); }
    int rowOf(const char* name) const {
        for (int row = 0; row < form->ListView2->rows()->rowCount(); ++row) {
            if (form->ListView2->rows()->exactFirstCell(row) == tree.path(name)) return row;
        }
        return -1;
    }
    void select(std::initializer_list<const char*> names) {
        form->ListView2->clearSelection();
        for (const char* name : names) {
            form->ListView2->selectionModel()->select(
                form->ListView2->model()->index(rowOf(name), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QStringList paths() const {
        QStringList all;
        for (int row = 0; row < form->ListView2->rows()->rowCount(); ++row) {
            all << QString::fromStdString(
                std::string(form->ListView2->rows()->exactFirstCell(row)));
        }
        return all;
    }

    TempTree tree, target, home;
    std::unique_ptr<TForm1> form;
    vintrel::test::AnsweredDialogs dialogs;
    std::vector<DialogRequest>& asked = dialogs.asked;
    std::vector<QString>& answers = dialogs.answers;
    std::vector<std::pair<DesktopServices::Action, std::string>> opened;
};

} // namespace

TEST_F(Commands, NothingSelectedDoesNothingButPropertiesSpeaks) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    form->ListView2->clearSelection();
    QGuiApplication::clipboard()->setText("before");
    for (QAction* action : {form->Copyfiles1, form->Copyto1, form->Moveselectedfiles1,
                            form->DeleteFiles2, form->OpenfolderinExplorer, form->Filter,
                            form->Filterfilesbytype1, form->Removeselectedfiles1}) {
        action->trigger();
    }
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 6);
    form->Properties1->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Select one file only!");
    select({"a.txt", "c.doc"});
    form->Properties1->trigger();
    EXPECT_EQ(asked.back().text, "Select one file only!");
}

TEST_F(Commands, SelectedFilesGoToTheClipboardInTableOrder) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    select({"c.doc", "B.TXT"}); // a gap between them
    form->Copyfiles1->trigger();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QString uris = QString::fromLatin1(data->data("text/uri-list"));
    EXPECT_EQ(uris, "file://" + QString::fromStdString(tree.path("B.TXT")) + "\r\nfile://" +
                        QString::fromStdString(tree.path("c.doc")) + "\r\n");
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0");
    EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
}

TEST_F(Commands, CopyAndMoveIntoAFolderWithQuestionsAndAnHonestMessage) {
    target.file("a.txt", "old");
    select({"a.txt", "c.doc"});
    answers = {QString::fromStdString(target.root()), "No"};
    form->Copyto1->trigger();
    EXPECT_EQ(asked[0].title, "Select source folder");
    EXPECT_EQ(asked[1].kind, DialogRequest::Kind::Replace);
    EXPECT_EQ(ReadFile(target.path("a.txt")), "old");
    EXPECT_EQ(ReadFile(target.path("c.doc")), "c");
    EXPECT_TRUE(asked.back().text.startsWith(
        "Files copied to: " + QString::fromStdString(target.root()) + "/"));
    EXPECT_TRUE(asked.back().text.contains("1 of 2 files done, 1 skipped"))
        << asked.back().text.toStdString();

    answers = {QString::fromStdString(target.root()), "Yes to all"};
    form->Copyto1->trigger();
    EXPECT_EQ(ReadFile(target.path("a.txt")), "a");
    EXPECT_EQ(asked.back().text, "Files copied to: " + QString::fromStdString(target.root()) + "/");

    select({"Sub/d.txt"});
    answers = {QString::fromStdString(target.root())};
    form->Moveselectedfiles1->trigger();
    EXPECT_FALSE(Exists(tree.path("Sub/d.txt")));
    EXPECT_EQ(ReadFile(target.path("d.txt")), "d");
    EXPECT_EQ(asked.back().text, "Files moved to: " + QString::fromStdString(target.root()) + "/");
    EXPECT_EQ(rowOf("Sub/d.txt") >= 0, true); // the table keeps the old path

    answers = {QString()}; // the folder dialog cancelled: nothing, no message
    const size_t before = asked.size();
    form->Copyto1->trigger();
    EXPECT_EQ(asked.size(), before + 1);
}

TEST_F(Commands, TwoFilesOfOneNameAreNeverCoveredByYesToAll) {
    tree.file("sub2/d.txt", "other d");
    form->ListView2->rows()->appendRow({tree.path("sub2/d.txt"), "", "", "0 KB", ""});
    form->ListView2->rows()->commitRows();
    target.file("a.txt", "old");
    select({"a.txt", "Sub/d.txt", "sub2/d.txt"});
    answers = {QString::fromStdString(target.root()), "Yes to all", "No"};
    asked.clear();
    form->Copyto1->trigger();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[2].kind, DialogRequest::Kind::Replace);
    EXPECT_EQ(asked[2].text, "\"" + QString::fromStdString(target.path("d.txt")) +
                                 "\" was copied there a moment ago from \"" +
                                 QString::fromStdString(tree.path("Sub/d.txt")) +
                                 "\".\nReplace it with \"" +
                                 QString::fromStdString(tree.path("sub2/d.txt")) + "\"?");
    EXPECT_EQ(ReadFile(target.path("d.txt")), "d");
    EXPECT_TRUE(asked[3].text.contains("2 of 3 files done, 1 skipped."));
}

TEST_F(Commands, DeleteGoesToTheTrashOnlyWhenConfirmed) {
    select({"a.txt", "c.doc"});
    form->FileCount->setText("7/6");
    answers = {"No"};
    form->DeleteFiles2->trigger();
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Confirm);
    EXPECT_EQ(asked.back().text, "Are you sure you want to delete these files?");
    EXPECT_TRUE(Exists(tree.path("a.txt")));

    answers = {"Yes"};
    form->DeleteFiles2->trigger();
    EXPECT_FALSE(Exists(tree.path("a.txt")));
    EXPECT_EQ(ReadFile(home.path("data/Trash/files/a.txt")), "a");
    EXPECT_TRUE(Exists(home.path("data/Trash/info/c.doc.trashinfo")));
    EXPECT_EQ(rowOf("a.txt"), -1);
    EXPECT_EQ(rowOf("c.doc"), -1);
    EXPECT_EQ(form->ListView2->rows()->rowCount(), 4);
    EXPECT_EQ(form->FileCount->text(), "7/6"); // left as it was
}

TEST_F(Commands, DeleteLeavesAnEntryThatIsNoLongerTheListedFile) {
    // After the search, a.txt became a folder with files in it, and c.doc another file.
    ASSERT_EQ(unlink(tree.path("a.txt").c_str()), 0);
    tree.file("a.txt/precious", "p");
    ASSERT_EQ(rename(tree.path("B.TXT").c_str(), tree.path("c.doc").c_str()), 0);
    select({"a.txt", "c.doc", "sub2/e"});
    answers = {"Yes"};
    asked.clear();
    form->DeleteFiles2->trigger();
    EXPECT_EQ(ReadFile(tree.path("a.txt/precious")), "p");
    EXPECT_EQ(ReadFile(tree.path("c.doc")), "b");
    EXPECT_FALSE(Exists(tree.path("sub2/e")));
    ASSERT_EQ(asked.size(), 2u);
    const std::string summary = asked[1].text.toStdString();
    EXPECT_EQ(summary.rfind("1 of 3 files deleted, 2 failed.", 0), 0u) << summary;
    EXPECT_NE(summary.find(tree.path("a.txt") + ": it is now a folder"), std::string::npos);
    EXPECT_NE(summary.find(tree.path("c.doc") + ": another file took its place"),
              std::string::npos);
    EXPECT_NE(rowOf("a.txt"), -1);
    EXPECT_NE(rowOf("c.doc"), -1);
    EXPECT_EQ(rowOf("sub2/e"), -1);
}

TEST_F(Commands, FilesThatCannotBeTrashedAreAskedAboutOnceForAllAndSummedUp) {
    // tmpfs has no trash folder: each file there needs a question before it goes for good.
    char folder[] = "/dev/shm/vintrel-cmd-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const auto addRows = [&](int count) {
        form->ListView2->clearSelection();
        const int first = form->ListView2->rows()->rowCount();
        for (int i = 0; i < count; ++i) {
            const std::string path = std::string(folder) + "/f" + std::to_string(first + i);
            std::ofstream(path) << "x";
            form->ListView2->rows()->appendRow({path, "", "", "0 KB", ""});
        }
        form->ListView2->rows()->commitRows();
        for (int i = 0; i < count; ++i) {
            form->ListView2->selectionModel()->select(form->ListView2->model()->index(first + i, 0),
                                                      QItemSelectionModel::Select |
                                                          QItemSelectionModel::Rows);
        }
    };
    const int rows = form->ListView2->rows()->rowCount();

    addRows(3);
    answers = {"Yes", "No", "Cancel"};
    asked.clear();
    form->DeleteFiles2->trigger();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1].kind, DialogRequest::Kind::DeleteForGood);
    EXPECT_TRUE(asked[1].text.contains("cannot be moved to the trash"));
    EXPECT_EQ(asked[3].text, "0 of 3 files deleted, 1 kept, cancelled.");
    EXPECT_EQ(form->ListView2->rows()->rowCount(), rows + 3);

    addRows(7); // one of them gone meanwhile
    const std::string gone(form->ListView2->rows()->exactFirstCell(rows + 3));
    unlink(gone.c_str());
    answers = {"Yes", "Yes to all"};
    asked.clear();
    form->DeleteFiles2->trigger();
    ASSERT_EQ(asked.size(), 3u); // confirm, one question for all, one summary
    EXPECT_TRUE(asked[2].text.startsWith("6 of 7 files deleted, 1 failed."))
        << asked[2].text.toStdString();
    EXPECT_TRUE(asked[2].text.contains(QString::fromStdString(gone)));
    EXPECT_EQ(form->ListView2->rows()->rowCount(), rows + 4); // the row of the missing file stays
    EXPECT_EQ(form->ListView2->rows()->exactFirstCell(rows + 3), gone);
    vintrel::test::RemoveTree(folder);
}

TEST_F(Commands, FiltersNarrowTheTableIgnoringLetterCase) {
    select({"a.txt"});
    form->Filterfilesbytype1->trigger();
    EXPECT_EQ(paths().size(), 3); // a.txt, B.TXT, Sub/d.txt
    EXPECT_EQ(form->FileCount->text(), "3");
    form->ListView2->selectRow(0);
    form->Filter->trigger(); // the folder of the first selected row
    EXPECT_EQ(paths().size(), 2);
    EXPECT_FALSE(paths().contains(QString::fromStdString(tree.path("Sub/d.txt"))));
    form->Selectall1->trigger();
    EXPECT_EQ(form->ListView2->selectedRows().size(), 2u);
    form->ListView2->selectRow(0);
    form->Removeselectedfiles1->trigger();
    EXPECT_EQ(form->FileCount->text(), "1");
    EXPECT_TRUE(Exists(tree.path("a.txt")) &&
                Exists(tree.path("B.TXT"))); // nothing on disk changes
}

TEST_F(Commands, TypeFilterWithoutExtensionKeepsOnlySuch) {
    select({"sub2/e"});
    form->Filterfilesbytype1->trigger();
    EXPECT_EQ(paths(), QStringList{QString::fromStdString(tree.path("sub2/e"))});
}

TEST_F(Commands, DoubleClickOpensAndAsksFirstForHiddenFiles) {
    select({"a.txt"});
    form->ListView2DblClick();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].second, tree.path("a.txt"));

    select({".hidden"});
    answers = {"No"};
    form->ListView2DblClick();
    EXPECT_EQ(asked.back().text, "THIS IS A HIDDEN OR SYSTEM FILE.  Continue?");
    EXPECT_EQ(asked.back().title, "Warning");
    EXPECT_EQ(opened.size(), 1u);
    answers = {""}; // the box closed: not opened either
    form->ListView2DblClick();
    EXPECT_EQ(opened.size(), 1u);
    answers = {"Yes"};
    form->ListView2DblClick();
    EXPECT_EQ(opened.size(), 2u);

    std::remove(tree.path("c.doc").c_str());
    select({"c.doc"});
    form->ListView2DblClick();
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Message);
    EXPECT_TRUE(asked.back().text.contains("no longer exists"));
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Commands, TheFileManagerIsAskedOverTheBusOrTheFolderOpens) {
    ASSERT_TRUE(Bus().running());
    select({"Sub/d.txt"});
    form->OpenfolderinExplorer->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), size_t(1), 5000); // nobody answers: the folder opens
    EXPECT_EQ(opened[0].first, DesktopServices::Action::OpenFolder);
    EXPECT_EQ(opened[0].second, tree.path("Sub/"));

    FakeFileManager manager;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/FileManager1", &manager,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));
    form->OpenfolderinExplorer->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(manager.shown.size(), 1, 5000);
    EXPECT_EQ(manager.shown[0], "file://" + QString::fromStdString(tree.path("Sub/d.txt")));
    select({"c.doc"});
    form->Properties1->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(manager.properties.size(), 1, 5000);
    bus.unregisterService("org.freedesktop.FileManager1");
    bus.unregisterObject("/org/freedesktop/FileManager1");
}

TEST_F(Commands, PropertiesFallBackToOurOwnDialog) {
    ASSERT_TRUE(Bus().running());
    select({"a.txt"});
    form->Properties1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!asked.empty(), 5000);
    EXPECT_EQ(asked.back().kind, DialogRequest::Kind::Dialog);
    EXPECT_TRUE(asked.back().text.contains("File: " + QString::fromStdString(tree.path("a.txt"))));
    EXPECT_TRUE(asked.back().text.contains("Permissions: rw-r--r--"));
}

TEST_F(Commands, ShortcutsActWhileTheTableHasTheFocus) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    QApplication::setActiveWindow(form.get());
    form->ListView2->setFocus();
    select({"c.doc"});
    QTest::keyClick(form->ListView2, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0"); // the files, not a cell's text
    QTest::keyClick(form->ListView2, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), tree.path("c.doc") + "\r\n");
    QTest::keyClick(form->ListView2, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form->ListView2->selectedRows().size(), 6u);
    form->RootDir->setFocus();
    QGuiApplication::clipboard()->setText("kept");
    QTest::keyClick(form->RootDir, Qt::Key_F, Qt::ControlModifier); // not the table's: nothing
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

#include "FileCommandsTest.moc"
