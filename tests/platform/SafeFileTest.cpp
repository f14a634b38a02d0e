#include "SafeFile.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::Exists;
using vintrel::test::ReadFile;
using vintrel::test::RunInChild;
using vintrel::test::RunUnprivileged;
using vintrel::test::NamesIn;
using vintrel::test::TempTree;

namespace {

constexpr uid_t kOtherUser = 65534;

bool IsLink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A sticky folder that everyone may write, like /tmp, holding a link that another user
// planted there.
void PlantLink(TempTree& tree, const std::string& link, const std::string& target) {
    tree.folder("shared");
    tree.chmod("shared", 01777);
    tree.symlink("shared/" + link, target);
    ASSERT_EQ(lchown(tree.path("shared/" + link).c_str(), kOtherUser, kOtherUser), 0);
}

} // namespace

TEST(SafeFile, ALinkOfAnotherUserInASharedFolderIsNotFollowed) {
    TempTree tree;
    tree.file("victim.txt", "precious");
    PlantLink(tree, "report.csv", tree.path("victim.txt"));
    const FileWriteResult result = WriteFileReplacing(tree.path("shared/report.csv"), "new");
    EXPECT_EQ(result.failure, FileWriteResult::Failure::Create);
    EXPECT_NE(result.text().find("\"" + tree.path("shared/report.csv") + "\" is a symbolic link"),
              std::string::npos)
        << result.text();
    EXPECT_EQ(ReadFile(tree.path("victim.txt")), "precious");
    EXPECT_TRUE(IsLink(tree.path("shared/report.csv")));

    // A planted link on the way to the file, and a dangling one, are refused too.
    tree.folder("elsewhere");
    tree.symlink("shared/dir", tree.path("elsewhere"));
    ASSERT_EQ(lchown(tree.path("shared/dir").c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_FALSE(WriteFileReplacing(tree.path("shared/dir/x.csv"), "new"));
    tree.symlink("shared/dangling", tree.path("elsewhere/created.csv"));
    ASSERT_EQ(lchown(tree.path("shared/dangling").c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_FALSE(WriteFileReplacing(tree.path("shared/dangling"), "new"));
    EXPECT_TRUE(NamesIn(tree.path("elsewhere")).empty());
}

TEST(SafeFile, OwnLinksAndLinksOutsideSharedFoldersAreFollowed) {
    TempTree tree;
    tree.file("real.csv", "old");
    tree.folder("shared");
    tree.chmod("shared", 01777);
    tree.symlink("shared/mine.csv", tree.path("real.csv")); // the writer's own link
    ASSERT_TRUE(WriteFileReplacing(tree.path("shared/mine.csv"), "one"));
    EXPECT_EQ(ReadFile(tree.path("real.csv")), "one");
    EXPECT_TRUE(IsLink(tree.path("shared/mine.csv")));

    tree.symlink("plain/other.csv", "../real.csv"); // another user's, in a private folder
    ASSERT_EQ(lchown(tree.path("plain/other.csv").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_TRUE(WriteFileReplacing(tree.path("plain/other.csv"), "two"));
    EXPECT_EQ(ReadFile(tree.path("real.csv")), "two");

    // A dangling link creates the file it names; the link stays a link.
    tree.symlink("plain/dangling.csv", "made.csv");
    ASSERT_TRUE(WriteFileReplacing(tree.path("plain/dangling.csv"), "three"));
    EXPECT_TRUE(IsLink(tree.path("plain/dangling.csv")));
    EXPECT_EQ(ReadFile(tree.path("plain/made.csv")), "three");
    EXPECT_EQ(NamesIn(tree.path("plain")),
              (std::vector<std::string>{"dangling.csv", "made.csv", "other.csv"}));
}

TEST(SafeFile, AReadOnlyFileIsRefusedAndKept) {
    TempTree tree;
    tree.file("ro.csv", "keep me");
    tree.chmod("ro.csv", 0444);
    const FileWriteResult result = WriteFileReplacing(tree.path("ro.csv"), "new");
    EXPECT_EQ(result.failure, FileWriteResult::Failure::Create);
    EXPECT_EQ(result.text(), "The file is read-only");
    EXPECT_EQ(ReadFile(tree.path("ro.csv")), "keep me");
    EXPECT_EQ(NamesIn(tree.root()), (std::vector<std::string>{"ro.csv"}));
}

TEST(SafeFile, AFifoWithoutReaderIsAnErrorAndOneWithAReaderWorks) {
    TempTree tree;
    tree.fifo("pipe");
    EXPECT_EQ(RunInChild([&] {
                  const FileWriteResult result = WriteFileReplacing(tree.path("pipe"), "x");
                  return result.failure == FileWriteResult::Failure::Create &&
                                 result.text() == "No program reads from this pipe"
                             ? 0
                             : 1;
              }),
              0);

    std::string received;
    std::thread reader([&] { received = ReadFile(tree.path("pipe")); });
    EXPECT_TRUE(WriteFileReplacing(tree.path("pipe"), std::string(200'000, 'p')));
    reader.join();
    EXPECT_EQ(received, std::string(200'000, 'p'));
    EXPECT_TRUE(WriteFileReplacing("/dev/null", "into nothing"));
}

TEST(SafeFile, TheFileSizeLimitIsAWriteErrorAndLeavesNoTemporaryFile) {
    TempTree tree;
    tree.file("keep.csv", "precious");
    EXPECT_EQ(RunInChild([&] {
                  // SIGXFSZ keeps its default action: it would end the process.
                  rlimit limit{100, 100};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  const FileWriteResult result =
                      WriteFileReplacing(tree.path("keep.csv"), std::string(1000, 'x'));
                  return result.failure == FileWriteResult::Failure::Write && result.error == EFBIG
                             ? 0
                             : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(tree.path("keep.csv")), "precious");
    EXPECT_EQ(NamesIn(tree.root()), (std::vector<std::string>{"keep.csv"}));
}

TEST(SafeFile, WithoutRoomForATemporaryFileTheFileIsRewrittenInPlaceOrKept) {
    TempTree tree;
    tree.file("locked/out.csv", "the original content");
    tree.chmod("locked/out.csv", 0666);
    tree.chmod("locked", 0555); // no temporary file can be made here
    // Permission bits do not stop root: the writer runs as another user.
    EXPECT_EQ(RunUnprivileged(
                  [&] { return WriteFileReplacing(tree.path("locked/out.csv"), "short") ? 0 : 1; }),
              0);
    EXPECT_EQ(ReadFile(tree.path("locked/out.csv")), "short");

    // Room that cannot be reserved (here the file-size limit): refused, nothing changed.
    EXPECT_EQ(RunUnprivileged([&] {
                  rlimit limit{50, 50};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  const FileWriteResult result =
                      WriteFileReplacing(tree.path("locked/out.csv"), std::string(400, 'y'));
                  return !result && result.text().find("cannot be reserved") != std::string::npos
                             ? 0
                             : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(tree.path("locked/out.csv")), "short");
    EXPECT_EQ(NamesIn(tree.path("locked")), (std::vector<std::string>{"out.csv"}));
}

TEST(SafeFile, ReplacedFilesKeepTheirPermissionsUnlessAModeIsGiven) {
    TempTree tree;
    tree.file("a", "old");
    tree.chmod("a", 0640);
    ASSERT_TRUE(WriteFileReplacing(tree.path("a"), "new"));
    struct stat st {};
    stat(tree.path("a").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_TRUE(WriteFileReplacing(tree.path("a"), "newer", 0755));
    stat(tree.path("a").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(ReadFile(tree.path("a")), "newer");
    EXPECT_FALSE(WriteFileReplacing(tree.path("missing/a"), "x"));
    EXPECT_EQ(WriteFileReplacing(tree.root(), "x").error, EISDIR);
}

TEST(SafeFile, OurOwnDescriptorsAreWrittenThroughWithoutTruncating) {
    TempTree tree;
    tree.file("log", "PRECIOUS\n");
    EXPECT_EQ(RunInChild([&] {
                  // As "command -o /dev/fd/N N>>log": the descriptor appends.
                  const int appending = ::open(tree.path("log").c_str(), O_WRONLY | O_APPEND);
                  if (!WriteFileReplacing("/dev/fd/" + std::to_string(appending), "one\n")) return 1;
                  // As "(echo header; command -o /dev/stdout) > f": it goes on from its position.
                  const int positioned = ::open(tree.path("f").c_str(), O_WRONLY | O_CREAT, 0644);
                  if (::write(positioned, "header\n", 7) != 7) return 2;
                  const std::string self = "/proc/self/fd/" + std::to_string(positioned);
                  return WriteFileReplacing(self, "two\n") ? 0 : 3;
              }),
              0);
    EXPECT_EQ(ReadFile(tree.path("log")), "PRECIOUS\none\n");
    EXPECT_EQ(ReadFile(tree.path("f")), "header\ntwo\n");
}

TEST(SafeFile, AKilledWriteLeavesNoTemporaryFileAndTheOldContent) {
    TempTree tree;
    tree.file("out.csv", "complete");
    for (const bool existing : {true, false}) {
        const std::string target = tree.path(existing ? "out.csv" : "new.csv");
        RunInChild([&] {
            ReplacingFileWriter writer(target);
            if (!writer.open() || !writer.write(std::string(100'000, 'x'))) _exit(1);
            raise(SIGKILL);
            return 0;
        });
    }
    EXPECT_EQ(NamesIn(tree.root()), (std::vector<std::string>{"out.csv"}));
    EXPECT_EQ(ReadFile(tree.path("out.csv")), "complete");
}

TEST(SafeFile, APartialResultReplacesNoFile) {
    TempTree tree;
    tree.file("out.csv", "complete");
    ReplacingFileWriter over(tree.path("out.csv"));
    ASSERT_TRUE(over.open());
    over.write("partial");
    EXPECT_EQ(over.commitIfNew().error, EEXIST);
    EXPECT_EQ(ReadFile(tree.path("out.csv")), "complete");

    ReplacingFileWriter fresh(tree.path("new.csv"));
    ASSERT_TRUE(fresh.open());
    fresh.write("partial");
    tree.file("new.csv", "appeared meanwhile");
    EXPECT_EQ(fresh.commitIfNew().error, EEXIST);
    EXPECT_EQ(ReadFile(tree.path("new.csv")), "appeared meanwhile");
    EXPECT_EQ(NamesIn(tree.root()), (std::vector<std::string>{"new.csv", "out.csv"}));
}

TEST(SafeFile, AFileWeMayNotWriteIsRefusedWhereTheFolderAllowsReplacingIt) {
    TempTree tree;
    tree.file("shared/root.csv", "root's");
    tree.chmod("shared/root.csv", 0644);
    tree.chmod("shared", 0777);
    EXPECT_EQ(RunUnprivileged([&] {
                  const FileWriteResult result = WriteFileReplacing(tree.path("shared/root.csv"), "x");
                  return result.text() == "The file is read-only" ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadFile(tree.path("shared/root.csv")), "root's");
    struct stat st {};
    ASSERT_EQ(stat(tree.path("shared/root.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

TEST(SafeFile, ASocketIsNamedAsSuch) {
    TempTree tree;
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = tree.path("socket");
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(WriteFileReplacing(path, "x").text(), "A socket is not a file");
    ::close(listening);
}
