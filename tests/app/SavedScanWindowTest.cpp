// Saved scans in the window: opened from the command line or by a drop, searched by GO, left
// by an edit of Root; commands on their rows act only on the files the scan recorded.

#include "AnsweredDialogs.h"
#include "Drops.h"
#include "PlatformAbilities.h"
#include "PrivateBus.h"
#include "SortListView.h"
#include "StatusBarGr.h"
#include "TableText.h"
#include "TempTree.h"
#include "try1.h"
#include "ZoneGuard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <sys/stat.h>

using namespace vintrel;
using vintrel::test::AnsweredDialogs;
using vintrel::test::Column;
using vintrel::test::DropFiles;
using vintrel::test::Exists;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

constexpr int64_t kMadeAt = 1764590580; // 2025-12-01 12:03:00 UTC

// A scan as another machine's vintrel2-scan writes it: `entries` follow the root folder.
std::string ScanOf(const std::string& root, const std::string& entries) {
    return "[1,2,{\"progname\":\"vintrel2\",\"progver\":\"2\",\"timestamp\":" +
           std::to_string(kMadeAt) + ",\"vintrel_host\":\"server1\"},\n[{\"name\":\"" + root +
           "\"}" + entries + "]]\n";
}

// Entries of a scan made elsewhere: /srv/elsewhere does not exist here.
const char* const kElsewhere = ",{\"name\":\"a.txt\",\"asize\":5,\"mtime\":1700000000},"
                               "[{\"name\":\"sub\"},{\"name\":\"b.doc\",\"asize\":2000,"
                               "\"mtime\":1700000000}],{\"name\":\"n.doc\",\"asize\":7}";

std::unique_ptr<TForm1> Window(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/opt/vintrel/vintrel2");
    auto form = std::make_unique<TForm1>(arguments);
    form->scanHost().setInterval(std::chrono::milliseconds(0));
    form->show();
    return form;
}

QString StatusText(const TForm1& form) {
    return form.HeaderControl1->currentMessage();
}

void SetModified(const std::string& path, int64_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

TEST(SavedScanWindow, OpenedScansAreSearchedUntilRootIsEdited) {
    const vintrel::test::ZoneGuard zone("UTC");
    TempTree files;
    files.file("scan.json", ScanOf("/srv/elsewhere", kElsewhere));
    files.file("live/x.md", "x");
    auto form = Window({"--open", files.path("scan.json"), "/s"});
    EXPECT_EQ(form->RootDir->text(), "/srv/elsewhere");
    EXPECT_TRUE(form->skin().active());

    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), (QStringList{".txt", ".doc"}));
    EXPECT_EQ(Column(form->ListView1, 2), (QStringList{"1", "2"}));
    const QString status = StatusText(*form);
    EXPECT_TRUE(status.startsWith("Searched a saved scan, made ")) << status.toStdString();
    EXPECT_TRUE(status.contains("12:03 on server1")) << status.toStdString();

    // Every option of the window works on the saved entries: a name mask lists them, and an
    // entry the scan kept no time for has empty date cells.
    QTest::mouseClick(form->SingleFile, Qt::LeftButton);
    form->FileType->setText("*.doc");
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView2, 0),
              (QStringList{"/srv/elsewhere/sub/b.doc", "/srv/elsewhere/n.doc"}));
    EXPECT_EQ(Column(form->ListView2, 2), (QStringList{Column(form->ListView2, 2)[0], ""}));
    EXPECT_TRUE(StatusText(*form).startsWith("Searched a saved scan"));

    // Typing in Root returns to live walks, also when the text typed is the scan's root.
    QTest::mouseClick(form->SingleFile, Qt::LeftButton);
    form->RootDir->setFocus();
    form->RootDir->selectAll();
    QTest::keyClicks(form->RootDir, QString::fromStdString(files.path("live")));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".md"});
    EXPECT_TRUE(StatusText(*form).isEmpty());
    form->RootDir->selectAll();
    QTest::keyClicks(form->RootDir, "/srv/elsewhere");
    const AnsweredDialogs dialogs;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
    ASSERT_EQ(dialogs.asked.size(), 1u); // the folder is not here
    EXPECT_TRUE(dialogs.asked[0].text.startsWith("The folder \"/srv/elsewhere\" cannot be read"))
        << dialogs.asked[0].text.toStdString();
}

TEST(SavedScanWindow, ADroppedScanIsOpenedAndAnyOtherFileGivesItsFolder) {
    TempTree files;
    files.file("scan.json", ScanOf("/srv/elsewhere", kElsewhere));
    files.file("plain/notes.json", "[1,2,{}"); // cut short: not a scan
    files.file("cut.json", ScanOf("/srv/elsewhere", kElsewhere).substr(0, 150));
    auto form = Window({files.root()});
    ASSERT_TRUE(DropFiles(form->ListView1, {files.path("scan.json")}));
    EXPECT_EQ(form->RootDir->text(), "/srv/elsewhere");
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), (QStringList{".txt", ".doc"}));

    ASSERT_TRUE(DropFiles(form->ListView1, {files.path("plain/notes.json")}));
    EXPECT_EQ(form->RootDir->text().toStdString(), files.path("plain") + "/");
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(Column(form->ListView1, 0), QStringList{".json"});

    // A scan whose beginning reads well but which is cut later: an error, and no table.
    ASSERT_TRUE(DropFiles(form->ListView1, {files.path("cut.json")}));
    ASSERT_EQ(form->RootDir->text(), "/srv/elsewhere");
    const AnsweredDialogs dialogs;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(form->ListView1->rows()->rowCount(), 0);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.contains("byte")) << dialogs.asked[0].text.toStdString();
}

// A scan of this tree made earlier, where files have changed since.
class SavedScanCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        static vintrel::test::PrivateSessionBus bus;
        setenv("XDG_DATA_HOME", home.path("data").c_str(), 1);
        tree.file("same.txt", "12345");
        SetModified(tree.path("same.txt"), 1700000000, 0);
        tree.file("seconds.txt", "12345"); // the scan kept whole seconds only
        SetModified(tree.path("seconds.txt"), 1700000000, 123456789);
        tree.file("grown.txt", "123456"); // 5 bytes when scanned
        SetModified(tree.path("grown.txt"), 1700000000, 0);
        tree.file("touched.txt", "12345"); // modified since
        SetModified(tree.path("touched.txt"), 1700000500, 0);
        tree.folder("folder.txt"); // a folder here
        const std::string file = ",{\"name\":\"%s\",\"asize\":5,\"mtime\":1700000000}";
        std::string entries;
        for (const char* name :
             {"same.txt", "seconds.txt", "grown.txt", "touched.txt", "folder.txt", "gone.txt"}) {
            std::string entry = file;
            entry.replace(entry.find("%s"), 2, name);
            entries += entry;
        }
        files.file("scan.json", ScanOf(tree.root(), entries));
        form = Window({"--open", files.path("scan.json")});
        QTest::mouseClick(form->AttribsChk, Qt::LeftButton); // lists every file
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        ASSERT_EQ(form->ListView2->rows()->rowCount(), 6);
        form->ListView2->selectAll();
    }

    TempTree tree, files, home, target;
    std::unique_ptr<TForm1> form;
};

TEST_F(SavedScanCommands, DeleteTakesOnlyTheFilesTheScanRecorded) {
    AnsweredDialogs dialogs({"Yes"});
    form->DeleteFiles2->trigger();
    EXPECT_FALSE(Exists(tree.path("same.txt")));
    EXPECT_FALSE(Exists(tree.path("seconds.txt")));
    EXPECT_EQ(ReadFile(home.path("data/Trash/files/same.txt")), "12345");
    EXPECT_EQ(ReadFile(tree.path("grown.txt")), "123456");
    EXPECT_EQ(ReadFile(tree.path("touched.txt")), "12345");
    EXPECT_TRUE(Exists(tree.path("folder.txt")));
    ASSERT_EQ(dialogs.asked.size(), 2u);
    const std::string summary = dialogs.asked[1].text.toStdString();
    EXPECT_EQ(summary.rfind("2 of 6 files deleted, 4 failed.", 0), 0u) << summary;
    EXPECT_NE(summary.find(tree.path("grown.txt") + ": it is not the file the saved scan recorded"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find(tree.path("touched.txt") + ": it is not the file"), std::string::npos);
    EXPECT_NE(summary.find(tree.path("folder.txt") + ": it is a folder here"), std::string::npos);
    EXPECT_NE(summary.find(tree.path("gone.txt") + ": it does not exist here"), std::string::npos);
    EXPECT_EQ(Column(form->ListView2, 0).size(), 4);
}

TEST_F(SavedScanCommands, MoveChecksTheRecordAndCopyNamesWhatIsMissing) {
    VINTREL_SKIP_WITHOUT_CLIPBOARD();
    AnsweredDialogs dialogs({QString::fromStdString(target.root())});
    form->Moveselectedfiles1->trigger();
    EXPECT_EQ(ReadFile(target.path("same.txt")), "12345");
    EXPECT_TRUE(Exists(target.path("seconds.txt")));
    EXPECT_FALSE(Exists(target.path("grown.txt")));
    EXPECT_FALSE(Exists(target.path("touched.txt")));
    EXPECT_EQ(ReadFile(tree.path("grown.txt")), "123456");
    const std::string summary = dialogs.asked.back().text.toStdString();
    EXPECT_NE(summary.find("2 of 6 files done"), std::string::npos) << summary;
    EXPECT_NE(summary.find("4 failed"), std::string::npos) << summary;

    // Copies and the clipboard take what is here, and name what is not.
    dialogs.asked.clear();
    form->Copyfiles1->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    const std::string missing = dialogs.asked[0].text.toStdString();
    EXPECT_EQ(missing.rfind("3 of the selected files do not exist here:", 0), 0u) << missing;
    EXPECT_NE(missing.find(tree.path("gone.txt")), std::string::npos);
    const QList<QUrl> urls = QGuiApplication::clipboard()->mimeData()->urls();
    EXPECT_EQ(urls.size(), 3); // grown, touched and the folder
}
