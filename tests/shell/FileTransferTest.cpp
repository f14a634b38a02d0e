#include "FileTransfer.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::Exists;
using vintrel::test::ReadFile;
using vintrel::test::NamesIn;
using vintrel::test::TempTree;

namespace {

TransferCallbacks Answering(ReplaceAnswer answer, int* asked = nullptr,
                            std::vector<ReplaceQuestion>* questions = nullptr) {
    TransferCallbacks callbacks;
    callbacks.replace = [answer, asked, questions](const ReplaceQuestion& question) {
        if (asked) ++*asked;
        if (questions) questions->push_back(question);
        return answer;
    };
    return callbacks;
}

} // namespace

TEST(FileTransfer, CopyKeepsContentTimeAndPermissions) {
    TempTree tree;
    tree.file("src/a.txt", "alpha");
    tree.chmod("src/a.txt", 0640);
    tree.setModified("src/a.txt", 1'000'000'000);
    tree.file("src/b\xFF name.txt", "beta");
    tree.symlink("src/link", "a.txt");
    tree.folder("dst");
    const TransferReport report = TransferFiles(
        {tree.path("src/a.txt"), tree.path("src/b\xFF name.txt"), tree.path("src/link")},
        tree.path("dst"), TransferKind::Copy, {});
    EXPECT_EQ(report.done, 3);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(ReadFile(tree.path("dst/a.txt")), "alpha");
    EXPECT_EQ(ReadFile(tree.path("dst/b\xFF name.txt")), "beta");
    struct stat st {};
    stat(tree.path("dst/a.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_mtime, 1'000'000'000);
    lstat(tree.path("dst/link").c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode)); // a link stays a link
    EXPECT_TRUE(Exists(tree.path("src/a.txt")));
}

TEST(FileTransfer, ExistingTargetsAreReplacedOnlyWhenTheAnswerSaysSo) {
    TempTree tree;
    tree.file("src/a", "new a");
    tree.file("src/b", "new b");
    tree.file("dst/a", "old a");
    tree.file("dst/b", "old b");
    const std::vector<std::string> sources = {tree.path("src/a"), tree.path("src/b")};

    TransferReport no =
        TransferFiles(sources, tree.path("dst"), TransferKind::Copy, Answering(ReplaceAnswer::No));
    EXPECT_EQ(no.skipped, 2);
    EXPECT_EQ(ReadFile(tree.path("dst/a")), "old a");

    TransferReport cancel = TransferFiles(sources, tree.path("dst"), TransferKind::Copy,
                                          Answering(ReplaceAnswer::Cancel));
    EXPECT_TRUE(cancel.cancelled);
    EXPECT_EQ(ReadFile(tree.path("dst/b")), "old b");

    int asked = 0;
    TransferReport all = TransferFiles(sources, tree.path("dst"), TransferKind::Copy,
                                       Answering(ReplaceAnswer::YesToAll, &asked));
    EXPECT_EQ(asked, 1); // once for all
    EXPECT_EQ(all.done, 2);
    EXPECT_EQ(ReadFile(tree.path("dst/b")), "new b");
    EXPECT_EQ(NamesIn(tree.path("dst")), (std::vector<std::string>{"a", "b"}));
}

TEST(FileTransfer, FailuresAreNamedAndTheRestGoesOn) {
    TempTree tree;
    tree.file("src/good", "g");
    tree.fifo("src/pipe");
    tree.folder("dst");
    const TransferReport report =
        TransferFiles({tree.path("src/missing"), tree.path("src/pipe"), tree.path("src/good")},
                      tree.path("dst"), TransferKind::Copy, {});
    EXPECT_EQ(report.done, 1);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0], tree.path("src/missing") + ": No such file or directory");
    EXPECT_EQ(NamesIn(tree.path("dst")), (std::vector<std::string>{"good"}));
    const TransferReport nowhere =
        TransferFiles({tree.path("src/good")}, tree.path("nowhere"), TransferKind::Copy, {});
    EXPECT_EQ(nowhere.failures.size(), 1u);
}

TEST(FileTransfer, MoveRenamesWithinAndCopiesAcrossFileSystems) {
    TempTree tree;
    tree.file("src/a", "a");
    tree.file("src/b", "bb");
    tree.folder("dst");
    TransferReport within =
        TransferFiles({tree.path("src/a")}, tree.path("dst"), TransferKind::Move, {});
    EXPECT_EQ(within.done, 1);
    EXPECT_FALSE(Exists(tree.path("src/a")));
    EXPECT_EQ(ReadFile(tree.path("dst/a")), "a");

    struct stat shm {};
    if (stat("/dev/shm", &shm) != 0) GTEST_SKIP() << "no /dev/shm";
    char folder[] = "/dev/shm/vintrel-move-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    tree.setModified("src/b", 1'200'000'000);
    TransferReport across = TransferFiles({tree.path("src/b")}, folder, TransferKind::Move, {});
    EXPECT_EQ(across.done, 1);
    EXPECT_FALSE(Exists(tree.path("src/b")));
    EXPECT_EQ(ReadFile(std::string(folder) + "/b"), "bb");
    struct stat moved {};
    stat((std::string(folder) + "/b").c_str(), &moved);
    EXPECT_EQ(moved.st_mtime, 1'200'000'000);
    vintrel::test::RemoveTree(folder);
}

TEST(FileTransfer, ACancelLeavesNoHalfFileAndLosesNoSource) {
    TempTree tree;
    tree.sizedFile("src/big", 5 << 20);
    tree.folder("dst");
    TransferCallbacks callbacks;
    callbacks.progress = [](int64_t done, int64_t, const std::string&) { return done < (2 << 20); };
    const TransferReport report =
        TransferFiles({tree.path("src/big")}, tree.path("dst"), TransferKind::Copy, callbacks);
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(NamesIn(tree.path("dst")).empty()); // no half-written target, no temporary file

    char folder[] = "/dev/shm/vintrel-cancel-XXXXXX";
    if (!mkdtemp(folder)) GTEST_SKIP() << "no /dev/shm";
    const TransferReport across =
        TransferFiles({tree.path("src/big")}, folder, TransferKind::Move, callbacks);
    EXPECT_TRUE(across.cancelled);
    EXPECT_TRUE(NamesIn(folder).empty()); // no half-written target, no temporary file
    EXPECT_TRUE(Exists(tree.path("src/big")));
    vintrel::test::RemoveTree(folder);
}

TEST(FileTransfer, TwoSourcesOfOneNameAreAskedAboutEachTimeAndCounted) {
    TempTree tree;
    tree.file("a/x.txt", "from a");
    tree.file("b/x.txt", "from b");
    tree.file("c/x.txt", "from c");
    tree.file("dst/y.txt", "old y");
    tree.file("a/y.txt", "new y");
    const std::vector<std::string> sources = {tree.path("a/y.txt"), tree.path("a/x.txt"),
                                              tree.path("b/x.txt"), tree.path("c/x.txt")};
    for (const TransferKind kind : {TransferKind::Copy, TransferKind::Move}) {
        SCOPED_TRACE(kind == TransferKind::Copy ? "copy" : "move");
        std::vector<ReplaceQuestion> questions;
        // "Yes to all" to the first question covers files that were there before, never a
        // file that this very operation wrote.
        const TransferReport report =
            TransferFiles(sources, tree.path("dst"), kind,
                          Answering(ReplaceAnswer::YesToAll, nullptr, &questions));
        ASSERT_EQ(questions.size(), 3u);
        EXPECT_EQ(questions[0].earlierSource, "");
        EXPECT_EQ(questions[1].target, tree.path("dst/x.txt"));
        EXPECT_EQ(questions[1].earlierSource, tree.path("a/x.txt"));
        EXPECT_EQ(questions[1].source, tree.path("b/x.txt"));
        EXPECT_EQ(questions[2].earlierSource, tree.path("b/x.txt"));
        EXPECT_EQ(report.done, 4);
        EXPECT_EQ(report.replacedOwn, 2);
        if (kind == TransferKind::Move) break;

        // Answered No: the first one stays, the others are skipped and counted.
        tree.file("dst2/keep", "");
        const TransferReport kept =
            TransferFiles({tree.path("a/x.txt"), tree.path("b/x.txt"), tree.path("c/x.txt")},
                          tree.path("dst2"), kind, Answering(ReplaceAnswer::No));
        EXPECT_EQ(kept.done, 1);
        EXPECT_EQ(kept.skipped, 2);
        EXPECT_EQ(ReadFile(tree.path("dst2/x.txt")), "from a");
    }
    EXPECT_EQ(ReadFile(tree.path("dst/x.txt")), "from c");
}

TEST(FileTransfer, ALinkIntoTheFolderOfItsOwnTargetIsAlreadyThere) {
    TempTree tree;
    tree.file("data/real.txt", "the only copy");
    tree.symlink("links/real.txt", "../data/real.txt");
    for (const TransferKind kind : {TransferKind::Copy, TransferKind::Move}) {
        int asked = 0;
        const TransferReport report =
            TransferFiles({tree.path("links/real.txt")}, tree.path("data"), kind,
                          Answering(ReplaceAnswer::Yes, &asked));
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(report.done, 0);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_NE(report.failures[0].find("already there"), std::string::npos);
        struct stat st {};
        ASSERT_EQ(lstat(tree.path("data/real.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(ReadFile(tree.path("data/real.txt")), "the only copy");
    }
}

TEST(FileTransfer, LargeFilesAreCopiedWholeThroughTheFileSystem) {
    TempTree tree;
    std::string content;
    for (int i = 0; content.size() < (20u << 20); ++i) content += std::to_string(i) + ",";
    tree.file("src/big", content);
    tree.folder("dst");
    std::vector<int64_t> steps;
    TransferCallbacks callbacks;
    callbacks.progress = [&](int64_t done, int64_t, const std::string&) {
        steps.push_back(done);
        return true;
    };
    const TransferReport report =
        TransferFiles({tree.path("src/big")}, tree.path("dst"), TransferKind::Copy, callbacks);
    EXPECT_EQ(report.done, 1);
    EXPECT_EQ(ReadFile(tree.path("dst/big")), content);
    EXPECT_GT(steps.size(), 2u); // progress while it copies
    EXPECT_EQ(steps.back(), static_cast<int64_t>(content.size()));
}

TEST(FileTransfer, TheFileSizeLimitFailsTheCopyAndLeavesNothingBehind) {
    TempTree tree;
    tree.sizedFile("src/big", 1 << 20);
    tree.folder("dst");
    EXPECT_EQ(vintrel::test::RunInChild([&] {
                  rlimit limit{4096, 4096}; // SIGXFSZ keeps its default action
                  setrlimit(RLIMIT_FSIZE, &limit);
                  const TransferReport report = TransferFiles(
                      {tree.path("src/big")}, tree.path("dst"), TransferKind::Copy, {});
                  return report.failures.size() == 1 && report.done == 0 ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(NamesIn(tree.path("dst")).empty());
}
