// Trees that break naive walkers: deeper than PATH_MAX, links back to an ancestor, folders
// that cannot be read.

#include "RecordingHost.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <array>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vintrel;
using namespace vintrel::test;

namespace {

// Counts taken by a body that runs as an unprivileged user, sent back through a pipe.
template <size_t N>
std::optional<std::array<int64_t, N>>
CountsAsUnprivileged(const std::function<std::array<int64_t, N>()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return std::nullopt;
    const int status = RunUnprivileged([&] {
        const std::array<int64_t, N> counts = body();
        return write(channel[1], counts.data(), sizeof counts) == sizeof counts ? 0 : 4;
    });
    close(channel[1]);
    std::array<int64_t, N> counts{};
    const ssize_t got = read(channel[0], counts.data(), sizeof counts);
    close(channel[0]);
    if (status != 0 || got != static_cast<ssize_t>(sizeof counts)) return std::nullopt;
    return counts;
}

} // namespace

TEST(ScanLimits, TreeDeeperThanPathMax) {
    TempTree tree;
    const std::string level(200, 'd');
    const int levels = PATH_MAX / 200 + 5;
    int fd = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
        const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    const int file = openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    close(file);
    close(fd);

    ScanRig rig;
    rig.host.opts.attribsChk = true;
    rig.scan(tree.root(), ScanMode::Filtered());
    ASSERT_EQ(rig.lists.FileList.size(), 1u);
    const std::string_view path = rig.lists.FileList.front().FileName;
    EXPECT_GT(path.size(), static_cast<size_t>(PATH_MAX));
    EXPECT_EQ(path.substr(path.size() - 11), "/bottom.txt");
    EXPECT_EQ(rig.state.UnreadableFolders, 0);
}

TEST(ScanLimits, LinksAreCountedAsFilesAndNeverFollowed) {
    TempTree tree;
    tree.file("a/real.txt", "12345");
    tree.symlink("a/up", "..");
    tree.symlink("a/self", ".");
    tree.symlink("a/dangling", "nowhere");
    ScanRig rig;
    rig.scan(tree.root(), ScanMode::Types());
    EXPECT_EQ(rig.state.TypedFileCount, 4);
    EXPECT_EQ(rig.state.VisitedCount, 3 + 6);
}

TEST(ScanLimits, UnreadableFoldersAreSkippedAndCounted) {
    TempTree tree;
    tree.file("open/a.txt");
    tree.file("closed/b.txt");
    tree.file("closed/deeper/c.txt");
    tree.chmod("closed", 0);

    const auto result = CountsAsUnprivileged<2>([&] {
        ScanRig rig;
        rig.scan(tree.root(), ScanMode::Types());
        return std::array<int64_t, 2>{rig.state.TypedFileCount, rig.state.UnreadableFolders};
    });
    tree.chmod("closed", 0755);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 1); // open/a.txt
    EXPECT_EQ((*result)[1], 1); // closed
}

TEST(ScanLimits, EntriesWhoseDetailsCannotBeReadAreLeftOutAndCounted) {
    // A folder that may be listed but not searched: names without sizes, times or kinds.
    TempTree tree;
    tree.file("open/a.txt", std::string(3000, 'a'));
    tree.file("listonly/b.txt", std::string(5000, 'b'));
    tree.file("listonly/c.doc");
    tree.chmod("listonly", 0444);

    const auto result = CountsAsUnprivileged<5>([&] {
        ScanRig rig;
        rig.scan(tree.root(), ScanMode::Types());
        const int64_t counted = rig.state.TypedFileCount;
        const int64_t types = static_cast<int64_t>(rig.lists.TypeIndex.size());
        const int64_t leftOut = rig.state.UnreadableEntries;
        // A size filter ("less than 10 KB") passes no invented size of 0 either.
        rig.host.opts.fileSize = true;
        rig.host.opts.fileSizeIndex = 2;
        rig.host.opts.fileSizeKb = 10;
        rig.scan(tree.root(), ScanMode::Filtered());
        return std::array<int64_t, 5>{counted, types, leftOut,
                                      static_cast<int64_t>(rig.lists.FileList.size()),
                                      rig.state.UnreadableEntries};
    });
    tree.chmod("listonly", 0755);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 1); // open/a.txt only
    EXPECT_EQ((*result)[1], 1); // .txt
    EXPECT_EQ((*result)[2], 2);
    EXPECT_EQ((*result)[3], 1);
    EXPECT_EQ((*result)[4], 2);
}

TEST(ScanLimits, OnlyEntriesTheOptionsMightHaveShownCountAsUnreadable) {
    TempTree tree;
    tree.file("listonly/b.txt");
    tree.file("listonly/c.doc");
    tree.file("listonly/.hidden.txt");
    tree.chmod("listonly", 0444);
    const auto result = CountsAsUnprivileged<4>([&] {
        ScanRig rig;
        rig.scan(tree.root(), ScanMode::Types());
        const int64_t types = rig.state.UnreadableEntries;
        rig.host.opts.excludeHidden = false;
        rig.scan(tree.root(), ScanMode::Types());
        const int64_t withHidden = rig.state.UnreadableEntries;
        rig.host.opts.excludeHidden = true;
        rig.host.opts.singleFile = true;
        rig.host.opts.fileType = WildcardPattern("*.txt");
        rig.scan(tree.root(), ScanMode::Filtered());
        const int64_t masked = rig.state.UnreadableEntries;
        rig.host.opts.singleFile = false;
        rig.scan(tree.root(), ScanMode::OfType(".DOC"));
        return std::array<int64_t, 4>{types, withHidden, masked, rig.state.UnreadableEntries};
    });
    tree.chmod("listonly", 0755);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0], 2); // not .hidden.txt while hidden files are left out
    EXPECT_EQ((*result)[1], 3);
    EXPECT_EQ((*result)[2], 1); // b.txt
    EXPECT_EQ((*result)[3], 1); // c.doc
}
