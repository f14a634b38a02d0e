#include "ReadAhead.h"
#include "FileAttributes.h"
#include "StatxBatch.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::TempTree;

namespace {

// Every entry as "path|attributes|size", depth first, appended to `seen`.
void WalkPlain(FolderReader& reader, const OpenFolder& folder, const std::string& path,
               std::vector<std::string>& seen) {
    FolderBatch batch;
    reader.read(folder, batch);
    for (size_t i = 0; i < batch.size(); ++i) {
        const FindRecord e = batch[i];
        seen.push_back(path + std::string(e.name) + "|" + std::to_string(e.attributes) + "|" +
                       std::to_string(e.size));
        if (e.isFolder() && !IsDotOrDotDot(e.name)) {
            OpenFolder child;
            if (reader.openChild(folder, e.name.data(), child) == 0)
                WalkPlain(reader, child, path + std::string(e.name) + "/", seen);
        }
    }
}

std::vector<std::string> WalkPlain(FolderReader& reader, const OpenFolder& folder,
                                   const std::string& path) {
    std::vector<std::string> seen;
    WalkPlain(reader, folder, path, seen);
    return seen;
}

void WalkAhead(ReadAhead& reader, FolderNode& node, const std::string& path,
               const std::function<void()>& perEntry, std::vector<std::string>& seen) {
    for (size_t i = 0; i < node.batch.size(); ++i) {
        if (perEntry) perEntry();
        const FindRecord e = node.batch[i];
        seen.push_back(path + std::string(e.name) + "|" + std::to_string(e.attributes) + "|" +
                       std::to_string(e.size));
        if (e.isFolder() && !IsDotOrDotDot(e.name)) {
            std::shared_ptr<FolderNode> child;
            if (reader.child(node, i, child) == 0)
                WalkAhead(reader, *child, path + std::string(e.name) + "/", perEntry, seen);
        }
    }
}

std::vector<std::string> WalkAhead(ReadAhead& reader, FolderNode& node, const std::string& path,
                                   const std::function<void()>& perEntry = {}) {
    std::vector<std::string> seen;
    WalkAhead(reader, node, path, perEntry, seen);
    return seen;
}

void BuildRandomTree(TempTree& tree, int folders) {
    std::mt19937 random(3);
    std::vector<std::string> known = {""};
    for (int i = 0; i < folders; ++i) {
        const std::string parent = known[random() % known.size()];
        const std::string name = parent + "d" + std::to_string(i) + "/";
        tree.folder(name);
        known.push_back(name);
        for (unsigned f = random() % 6; f > 0; --f)
            tree.sizedFile(name + "f" + std::to_string(f), random() % 5000);
    }
    tree.chmod(known[7], 0); // unreadable to ordinary users; both walks must agree on it
}

// The plain walk's rows of the whole tree, with as many descriptors as it may have.
std::vector<std::string> PlainRowsOf(const TempTree& tree) {
    FolderReader plainReader;
    OpenFolder root;
    RaiseOpenFileLimit();
    EXPECT_EQ(plainReader.openRoot(tree.root(), root), 0);
    return WalkPlain(plainReader, root, "");
}

// 0 when the read-ahead, in a child process limited to `descriptors` open files, gives
// `expected`.
int WalkAheadWithDescriptors(const TempTree& tree, rlim_t descriptors,
                             const std::vector<std::string>& expected) {
    return vintrel::test::RunInChild([&] {
        rlimit limit{descriptors, descriptors};
        setrlimit(RLIMIT_NOFILE, &limit);
        ReadAhead reader(true);
        std::shared_ptr<FolderNode> node;
        if (reader.openRoot(tree.root(), node) != 0) return 2;
        return WalkAhead(reader, *node, "") == expected ? 0 : 1;
    });
}

// The helpers a walk of the whole tree started.
size_t HelpersOfAWalk(const TempTree& tree) {
    ReadAhead reader(true);
    std::shared_ptr<FolderNode> node;
    EXPECT_EQ(reader.openRoot(tree.root(), node), 0);
    WalkAhead(reader, *node, "");
    return reader.helpersStarted();
}

// The size of this process's table of descriptors.
int DescriptorTableSize() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("FDSize:", 0) == 0) return std::stoi(line.substr(7));
    }
    return -1;
}

} // namespace

TEST(ReadAhead, GivesTheSameEntriesInTheSameOrderAsAPlainWalk) {
    TempTree tree;
    BuildRandomTree(tree, 400);
    const auto expected = PlainRowsOf(tree);

    // The last rounds as on a cold cache: every helper reads, and subfolders are opened by
    // the thread that reads them.
    for (int round = 0; round < 8; ++round) {
        ReadAhead::assumeSlowStorage = round >= 5;
        ReadAhead reader(true);
        std::shared_ptr<FolderNode> node;
        ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
        EXPECT_EQ(WalkAhead(reader, *node, ""), expected) << "round " << round;
    }
    ReadAhead::assumeSlowStorage = false;
}

TEST(ReadAhead, AWalkLeftHalfWayEndsCleanly) {
    TempTree tree;
    BuildRandomTree(tree, 200);
    const auto openDescriptors = [] {
        int count = 0;
        DIR* fds = opendir("/proc/self/fd");
        while (readdir(fds)) ++count;
        closedir(fds);
        return count;
    };
    const int before = openDescriptors();
    for (int stopAfter : {1, 10, 100, 500}) {
        {
            ReadAhead reader(true);
            std::shared_ptr<FolderNode> node;
            ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
            int entries = 0;
            EXPECT_THROW(WalkAhead(reader, *node, "",
                                   [&] {
                                       if (++entries == stopAfter) throw std::runtime_error("stop");
                                   }),
                         std::runtime_error);
            EXPECT_EQ(entries, stopAfter);
        }
        EXPECT_EQ(openDescriptors(), before) << "after a stop at entry " << stopAfter;
    }
}

TEST(ReadAhead, FewDescriptorsServeADeepTreeThatBranchesAtEveryLevel) {
    // Every level holds "a" (the way down) and "b" (a leaf, reached on the way back up, when
    // the folders above have long been closed and must be opened again).
    TempTree tree;
    constexpr int kLevels = 1500;
    int fd = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(mkdirat(fd, "b", 0755), 0);
        close(openat(fd, ("b/f" + std::to_string(level)).c_str(), O_WRONLY | O_CREAT, 0644));
        ASSERT_EQ(mkdirat(fd, "a", 0755), 0);
        const int next = openat(fd, "a", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    close(fd);
    EXPECT_EQ(WalkAheadWithDescriptors(tree, 128, PlainRowsOf(tree)), 0);
}

TEST(ReadAhead, SubfoldersOpenedAheadOrInTheirTurnGiveTheSameWalk) {
    // Folders of 0 to 29 subfolders: with few descriptors only some folders' subfolders are opened
    // as soon as their parent is read, the others when the walk comes to them.
    TempTree tree;
    for (int i = 0; i < 40; ++i) {
        for (int j = 0; j < i % 30; ++j)
            tree.file("w" + std::to_string(i) + "/v" + std::to_string(j) + "/f");
    }
    const auto expected = PlainRowsOf(tree);
    for (const rlim_t descriptors : {200, 260, 4096})
        EXPECT_EQ(WalkAheadWithDescriptors(tree, descriptors, expected), 0) << descriptors;
}

TEST(ReadAhead, WithoutRecursionOnlyTheRootIsRead) {
    TempTree tree;
    tree.file("a/b.txt");
    ReadAhead reader(false);
    std::shared_ptr<FolderNode> node;
    ASSERT_EQ(reader.openRoot(tree.root(), node), 0);
    EXPECT_EQ(node->batch.size(), 3u);
    EXPECT_EQ(reader.openRoot(tree.path("missing"), node), ENOENT);
}

TEST(ReadPace, APreemptedReadNowAndThenIsNoStorageWait) {
    using std::chrono::microseconds;
    ReadPace pace(microseconds(12), std::chrono::milliseconds(100));
    ReadPace::Clock::time_point now{};
    for (int read = 0; read < 40; ++read) {
        // 20 entries at 3 us each from the page cache; two reads in a row lose the core for
        // a few milliseconds every tenth read.
        const bool preempted = read % 10 == 5 || read % 10 == 6;
        const microseconds took(preempted ? 3000 : 60);
        now += took;
        EXPECT_FALSE(pace.note(took, 20, now)) << "read " << read;
    }
}

TEST(ReadPace, ReadsFromTheStorageAreToldAndHeldThroughQuickOnes) {
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    ReadPace pace(microseconds(12), milliseconds(100));
    ReadPace::Clock::time_point now{};
    const auto read = [&](microseconds took) {
        now += took;
        return pace.note(took, 20, now);
    };
    for (int i = 0; i < 8; ++i) read(microseconds(60));
    std::vector<bool> waits;
    for (int i = 0; i < 8; ++i) waits.push_back(read(microseconds(600)));
    // Once more than half of the last eight were slow.
    EXPECT_EQ(waits, (std::vector<bool>{false, false, false, false, true, true, true, true}));
    // Folders whose inodes came with a neighbour's read quickly in between: still waiting.
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(read(microseconds(60))) << i;
    for (int i = 0; i < 5; ++i) read(microseconds(600));
    // Only once the cache has been warm for the hold, no longer.
    for (int i = 0; i < 1000; ++i) read(microseconds(60));
    EXPECT_TRUE(read(microseconds(60)));
    now += milliseconds(100);
    EXPECT_FALSE(read(microseconds(60)));
}

TEST(ReadAhead, ASlowTrialOfTheRingIsNoWaitForTheStorage) {
    // Where the ring's workers are slow, a group of statx through the ring takes many times a
    // plain one. The walk tries the ring at its start: its reads then must not look as if
    // they waited for the storage, which would start every helper on a warm cache. Here a
    // read is slow at 1 ms an entry (so that no machine's warm reads are) and a ring group
    // takes 20 ms (a few ms an entry).
    TempTree tree;
    BuildRandomTree(tree, 400);
    StatxBatch probe(AT_SYMLINK_NOFOLLOW, STATX_SIZE);
    const char* name = ".";
    const int root = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    const StatxWayChooser::Way ring = StatxWayChooser::Way::Ring;
    StatxBatch::forceWay(&ring);
    probe.ask(root, &name, 1);
    StatxBatch::forceWay(nullptr);
    close(root);
    if (!probe.askedThroughRing()) GTEST_SKIP() << "io_uring is refused here";
    ReadAhead::storageWaitForTests = 1000;
    HelpersOfAWalk(tree); // the tree is in the page cache now
    const size_t plainly = HelpersOfAWalk(tree);
    StatxBatch::slowRingGroups(20'000'000);
    const size_t helpers = HelpersOfAWalk(tree);
    StatxBatch::slowRingGroups(0);
    ReadAhead::storageWaitForTests = 0;
    if (plainly != 1) GTEST_SKIP() << "warm reads here are as slow as the storage";
    EXPECT_EQ(helpers, 1u);
}

TEST(ReadAhead, MakesRoomForItsDescriptorsBeforeItsHelpersRun) {
    // A process with several threads that outgrows its table of descriptors waits for every
    // core to pass through the scheduler, each time: milliseconds at 128, 256, 512 and 1024
    // folders open ahead. The walk makes the room while it has only one thread.
    EXPECT_EQ(vintrel::test::RunInChild([] {
                  rlimit limit{4096, 4096};
                  setrlimit(RLIMIT_NOFILE, &limit);
                  if (DescriptorTableSize() >= 1024) return 2; // nothing to show
                  ReadAhead reader(true);
                  return DescriptorTableSize() >= 1024 ? 0 : 1;
              }),
              0);
}
