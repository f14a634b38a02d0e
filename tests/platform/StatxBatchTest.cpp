#include "StatxBatch.h"
#include "FolderReader.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace vintrel;
using vintrel::test::RunInChild;
using vintrel::test::TempTree;

namespace {

constexpr int kFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME;

// Files of every kind, a missing name and one too long, more than a group of them.
std::vector<std::string> MakeNames(TempTree& tree) {
    std::vector<std::string> names = {"plain.txt", "empty", "locked",  "link",
                                      "pipe",      "sub",   "missing", std::string(300, 'n')};
    tree.file("plain.txt", "12345");
    tree.file("empty");
    tree.file("locked", "x");
    tree.chmod("locked", 0444);
    tree.symlink("link", "plain.txt");
    tree.fifo("pipe");
    tree.folder("sub");
    tree.setModified("plain.txt", 1'000'000'000);
    for (size_t i = 0; names.size() < StatxBatch::kGroup + 10; ++i) {
        names.push_back("f" + std::to_string(i));
        tree.file(names.back(), std::string(i, 'x'));
    }
    return names;
}

// How many names the batch answers differently from plain statx, asked in groups.
int DifferencesFromPlainStatx(int folder, const std::vector<std::string>& names,
                              StatxBatch& batch) {
    int differences = 0;
    for (size_t start = 0; start < names.size(); start += StatxBatch::kGroup) {
        const size_t count = std::min(StatxBatch::kGroup, names.size() - start);
        std::vector<const char*> group;
        for (size_t i = 0; i < count; ++i) group.push_back(names[start + i].c_str());
        batch.ask(folder, group.data(), count);
        for (size_t i = 0; i < count; ++i) {
            struct statx plain {};
            const int error = statx(folder, group[i], kFlags, kMask, &plain) == 0 ? 0 : errno;
            const struct statx& got = batch.details(i);
            const bool same =
                batch.error(i) == error &&
                (error != 0 || (got.stx_mode == plain.stx_mode && got.stx_size == plain.stx_size &&
                                got.stx_mtime.tv_sec == plain.stx_mtime.tv_sec &&
                                got.stx_mtime.tv_nsec == plain.stx_mtime.tv_nsec &&
                                (got.stx_mask & STATX_BTIME) == (plain.stx_mask & STATX_BTIME) &&
                                got.stx_btime.tv_sec == plain.stx_btime.tv_sec &&
                                got.stx_attributes == plain.stx_attributes));
            if (!same) ++differences;
        }
    }
    return differences;
}

// Makes the system call `number` fail with EPERM in this process from now on, as a sandbox
// that refuses io_uring does.
bool Refuse(long number) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

TEST(StatxBatch, AnswersEveryNameAsPlainStatxDoes) {
    TempTree tree;
    const std::vector<std::string> names = MakeNames(tree);
    const int folder = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);

    StatxBatch batch(kFlags, kMask);
    EXPECT_EQ(DifferencesFromPlainStatx(folder, names, batch), 0);
    if (!batch.askedThroughRing()) std::puts("io_uring is refused here: plain statx was tested");

    // Each way on its own, as the walk may choose either.
    for (const StatxWayChooser::Way way : {StatxWayChooser::Way::Ring, StatxWayChooser::Way::Plain}) {
        StatxBatch::forceWay(&way);
        StatxBatch forced(kFlags, kMask);
        EXPECT_EQ(DifferencesFromPlainStatx(folder, names, forced), 0);
        if (way == StatxWayChooser::Way::Plain) {
            EXPECT_FALSE(forced.askedThroughRing());
        }
    }
    StatxBatch::forceWay(nullptr);

    StatxBatch::refuseRings(true);
    StatxBatch plain(kFlags, kMask);
    EXPECT_EQ(DifferencesFromPlainStatx(folder, names, plain), 0);
    EXPECT_FALSE(plain.askedThroughRing());
    StatxBatch::refuseRings(false);
    close(folder);
}

TEST(StatxBatch, ASandboxThatRefusesTheRingOrItsUseGetsTheSameAnswers) {
    TempTree tree;
    const std::vector<std::string> names = MakeNames(tree);
    // Refused when the ring is made, and when a made ring is used: then the names it has not
    // answered are asked plainly, and the ring is given up.
    for (const long refused : {long{SYS_io_uring_setup}, long{SYS_io_uring_enter}}) {
        const int status = RunInChild([&] {
            if (!Refuse(refused)) return 3;
            const int folder = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            StatxBatch batch(kFlags, kMask);
            const int differences = DifferencesFromPlainStatx(folder, names, batch);
            if (differences != 0) return 1;
            if (batch.askedThroughRing()) return 2; // given up after the first refusal
            // The reader on top gives every entry with its size.
            FolderReader reader;
            OpenFolder opened;
            FolderBatch entries;
            if (reader.openRoot(tree.root(), opened) != 0 || reader.read(opened, entries) != 0)
                return 4;
            for (size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].name == "plain.txt" && entries[i].size != 5) return 5;
            }
            return 0;
        });
        EXPECT_EQ(status, 0) << "refused system call " << refused;
    }
}
