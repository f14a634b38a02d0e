#include "FolderReader.h"
#include "FileAttributes.h"
#include "TempTree.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace vintrel;
using vintrel::test::TempTree;

namespace {

std::map<std::string, FindRecord> ReadAll(FolderReader& reader, const std::string& path,
                                          FolderBatch& batch) {
    OpenFolder folder;
    EXPECT_EQ(reader.openRoot(path, folder), 0);
    EXPECT_EQ(reader.read(folder, batch), 0);
    std::map<std::string, FindRecord> byName;
    for (size_t i = 0; i < batch.size(); ++i) byName[std::string(batch[i].name)] = batch[i];
    return byName;
}

} // namespace

TEST(FolderReader, DeliversEveryEntryWithItsAttributes) {
    TempTree tree;
    tree.file("plain.txt", "12345");
    tree.file(".hidden");
    tree.file("locked");
    tree.chmod("locked", 0444);
    tree.folder("sub");
    tree.folder(".hiddenfolder");
    tree.symlink("link", "plain.txt");
    tree.fifo("pipe");
    tree.setModified("plain.txt", 1'000'000'000);

    FolderReader reader;
    FolderBatch batch;
    auto entries = ReadAll(reader, tree.root(), batch);
    ASSERT_EQ(entries.size(), 9u); // with "." and ".."
    EXPECT_EQ(entries["."].attributes, kAttrDirectory);
    EXPECT_EQ(entries[".."].attributes, kAttrDirectory);
    EXPECT_EQ(entries["plain.txt"].attributes, 0u);
    EXPECT_EQ(entries["plain.txt"].size, 5);
    EXPECT_EQ(entries["plain.txt"].modified, FileTimeFromUnix(1'000'000'000, 0));
    EXPECT_GE(entries["plain.txt"].created, entries["plain.txt"].modified - kTicksPerSecond);
    EXPECT_EQ(entries[".hidden"].attributes, kAttrHidden);
    EXPECT_EQ(entries["locked"].attributes, kAttrReadOnly);
    EXPECT_EQ(entries["sub"].attributes, kAttrDirectory);
    EXPECT_EQ(entries[".hiddenfolder"].attributes, kAttrDirectory | kAttrHidden);
    EXPECT_EQ(entries["link"].attributes, kAttrReparsePoint);
    EXPECT_EQ(entries["link"].size, 9); // the link itself, never its target
    EXPECT_EQ(entries["pipe"].attributes, kAttrSystem);
}

TEST(FolderReader, ReportsWhyAFolderCannotBeOpened) {
    TempTree tree;
    tree.file("file");
    FolderReader reader;
    OpenFolder folder;
    EXPECT_EQ(reader.openRoot(tree.path("missing"), folder), ENOENT);
    EXPECT_EQ(reader.openRoot(tree.path("file"), folder), ENOTDIR);
    ASSERT_EQ(reader.openRoot(tree.root(), folder), 0);
    OpenFolder child;
    tree.symlink("linkdir", ".");
    EXPECT_NE(reader.openChild(folder, "linkdir", child), 0); // links are not followed
    EXPECT_FALSE(child.isOpen());
}

TEST(FolderReader, DoesNotEnterPseudoFileSystems) {
    FolderReader reader;
    OpenFolder root, child;
    ASSERT_EQ(reader.openRoot("/", root), 0);
    struct stat st {};
    if (stat("/proc/self", &st) != 0) GTEST_SKIP() << "no /proc here";
    EXPECT_EQ(reader.openChild(root, "proc", child), FolderReader::kPseudoFileSystem);
    EXPECT_FALSE(child.isOpen());
}
