#include "FolderReader.h"
#include "FileAttributes.h"
#include "TempTree.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(FolderReader, AFolderReadInManyPiecesKeepsEveryName) {
    TempTree tree;
    // Names of every length up to the longest a file system takes, so that the listing is
    // read in many pieces and its buffer grows several times.
    std::map<std::string, int64_t> written;
    for (int i = 0; i < 3000; ++i) {
        std::string name = std::to_string(i) + "-";
        name.resize(6 + static_cast<size_t>(i % 250), static_cast<char>('a' + i % 26)); // to 255
        tree.file(name, std::string(static_cast<size_t>(i % 7), 'x'));
        written[name] = i % 7;
    }
    FolderReader reader;
    FolderBatch batch;
    auto entries = ReadAll(reader, tree.root(), batch);
    entries.erase(".");
    entries.erase("..");
    ASSERT_EQ(entries.size(), written.size());
    for (const auto& [name, size] : written) {
        const auto found = entries.find(name);
        ASSERT_NE(found, entries.end()) << name;
        EXPECT_EQ(found->second.size, size) << name;
    }
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

TEST(FolderReader, AFolderWithinItsParentsMountIsIdentifiedOnlyWhenAsked) {
    TempTree tree;
    tree.folder("sub");
    FolderReader reader;
    OpenFolder root, child;
    ASSERT_EQ(reader.openRoot(tree.root(), root), 0);
    EXPECT_TRUE(root.identified());
    ASSERT_EQ(reader.openChild(root, "sub", child), 0);
    EXPECT_EQ(child.device(), root.device());
    struct stat st {};
    ASSERT_EQ(stat(tree.path("sub").c_str(), &st), 0);
    ASSERT_EQ(child.identify(), 0);
    EXPECT_EQ(child.inode(), st.st_ino);
    EXPECT_EQ(child.device(), st.st_dev);

    // A closed folder that was never identified is not taken for the one found again.
    OpenFolder unknown, again;
    ASSERT_EQ(reader.openChild(root, "sub", unknown), 0);
    unknown.close();
    EXPECT_EQ(reader.reopen(root.fd(), "sub", unknown, again), ESTALE);
    EXPECT_EQ(reader.reopen(root.fd(), "sub", child, again), 0);

    FolderReader identifying(nullptr, true);
    OpenFolder known;
    ASSERT_EQ(identifying.openChild(root, "sub", known), 0);
    EXPECT_TRUE(known.identified());
}

TEST(FolderReader, AMountPointIsOpenedWithItsOwnDevice) {
    TempTree tree;
    tree.folder("mnt");
    const std::string mount = "mount -t tmpfs vintrel-test '" + tree.path("mnt") + "' 2>/dev/null";
    if (geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount here";
    FolderReader reader;
    OpenFolder root, child;
    ASSERT_EQ(reader.openRoot(tree.root(), root), 0);
    const int error = reader.openChild(root, "mnt", child);
    struct stat st {};
    stat(tree.path("mnt").c_str(), &st);
    child.close();
    EXPECT_EQ(std::system(("umount '" + tree.path("mnt") + "'").c_str()), 0);
    ASSERT_EQ(error, 0);
    EXPECT_TRUE(child.identified());
    EXPECT_EQ(child.device(), st.st_dev);
    EXPECT_NE(child.device(), root.device());
}
