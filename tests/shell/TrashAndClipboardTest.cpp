#include "FileClipboard.h"
#include "TempTree.h"
#include "Trash.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QMimeData>
#include <sstream>
#include <sys/stat.h>

using namespace vintrel;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

TEST(FileClipboard, UrisAreEncodedFromTheExactBytes) {
    EXPECT_EQ(FileUri("/a b/c%d\xFF.txt"), "file:///a%20b/c%25d%FF.txt");
    EXPECT_EQ(FileUri("/caf\xC3\xA9"), "file:///caf%C3%A9");
}

TEST(FileClipboard, OneObjectOffersEveryFormatTheFileManagersRead) {
    std::unique_ptr<QMimeData> data(MakeFileListData({"/x/a b.txt", "/x/c", "/x/a b.txt"}));
    EXPECT_EQ(data->data("text/uri-list"), "file:///x/a%20b.txt\r\nfile:///x/c\r\n");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"), "copy\nfile:///x/a%20b.txt\nfile:///x/c");
    EXPECT_EQ(data->data("x-special/mate-copied-files"), "copy\nfile:///x/a%20b.txt\nfile:///x/c");
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0");
    EXPECT_EQ(data->text(), "/x/a b.txt\n/x/c");
}

TEST(Trash, TrashedFilesKeepARestorableRecord) {
    TempTree home;
    setenv("XDG_DATA_HOME", home.path("data").c_str(), 1); // before GIO first looks
    TempTree tree;
    tree.file("my file\xFF.txt", "content");
    const TrashResult result = MoveToTrash(tree.path("my file\xFF.txt"));
    ASSERT_EQ(result.outcome, TrashResult::Outcome::Trashed) << result.message;
    struct stat st {};
    EXPECT_NE(lstat(tree.path("my file\xFF.txt").c_str(), &st), 0);
    EXPECT_EQ(ReadFile(home.path("data/Trash/files/my file\xFF.txt")), "content");
    const std::string info = ReadFile(home.path("data/Trash/info/my file\xFF.txt.trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
    EXPECT_NE(info.find("my%20file%FF.txt\n"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
}

TEST(Trash, FilesOnSystemMountsCannotBeTrashedButCanBeDeleted) {
    TempTree home;
    setenv("XDG_DATA_HOME", home.path("data").c_str(), 1);
    const std::string path = "/dev/shm/vintrel-trash-test-" + std::to_string(getpid());
    std::ofstream(path) << "x";
    const TrashResult result = MoveToTrash(path);
    EXPECT_EQ(result.outcome, TrashResult::Outcome::NotSupported) << result.message;
    EXPECT_EQ(DeleteForGood(path), "");
    EXPECT_EQ(DeleteForGood(path), "No such file or directory");
}
