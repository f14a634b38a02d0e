// Copies and moves as careful as cp and mv: holes, extended attributes and ACLs, and a
// source that turns into a FIFO between the look and the open.

#include "FileTransfer.h"
#include "TempTree.h"
#include "Unprivileged.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::Exists;
using vintrel::test::ReadFile;
using vintrel::test::RunInChild;
using vintrel::test::NamesIn;
using vintrel::test::TempTree;

namespace {

constexpr int64_t kSparseSize = 1LL << 30;
constexpr off_t kDataAt = 512LL << 20;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

// 1 GiB with 4 KiB of data in its middle and a few bytes at its end.
void MakeSparseFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kSparseSize), 0);
    const std::string data(4096, 'd');
    ASSERT_EQ(pwrite(fd, data.data(), data.size(), kDataAt), 4096);
    ASSERT_EQ(pwrite(fd, "end", 3, kSparseSize - 3), 3);
    ::close(fd);
}

std::string BytesAt(const std::string& path, off_t offset, size_t length) {
    std::string bytes(length, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY);
    bytes.resize(
        static_cast<size_t>(std::max<ssize_t>(pread(fd, bytes.data(), length, offset), 0)));
    ::close(fd);
    return bytes;
}

std::string AttributeOf(const std::string& path, const char* name) {
    std::string value(256, '\0');
    const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
    return size < 0 ? "(none)" : value.substr(0, static_cast<size_t>(size));
}

// An access ACL as the kernel takes it: the owner, one named user, the group, the mask and
// the others (struct posix_acl_xattr_header and _entry).
std::string AccessAclGranting(uint32_t user) {
    std::string acl;
    const auto put = [&acl](uint32_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) acl += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4); // version
    const struct {
        uint16_t tag, perm;
        uint32_t id;
    } entries[] = {{0x01, 6, UINT32_MAX},
                   {0x02, 4, user},
                   {0x04, 4, UINT32_MAX},
                   {0x10, 4, UINT32_MAX},
                   {0x20, 4, UINT32_MAX}};
    for (const auto& entry : entries) {
        put(entry.tag, 2);
        put(entry.perm, 2);
        put(entry.id, 4);
    }
    return acl;
}

bool Contains(const std::vector<std::string>& messages, const std::string& part) {
    for (const std::string& message : messages)
        if (message.find(part) != std::string::npos) return true;
    return false;
}

} // namespace

TEST(FileCopy, ASparseFileStaysSparseOnTheSameAndOnAnotherFileSystem) {
    TempTree disk, memory("/dev/shm");
    MakeSparseFile(disk.path("image.raw"));
    MakeSparseFile(memory.path("image.raw"));
    disk.folder("copy");
    memory.folder("copy");
    int64_t progressed = 0;
    TransferCallbacks callbacks;
    callbacks.progress = [&](int64_t done, int64_t, const std::string&) {
        progressed = done;
        return true;
    };
    for (TempTree* tree : {&disk, &memory}) {
        const std::string from = tree->path("image.raw"), to = tree->path("copy/image.raw");
        ASSERT_EQ(TransferFiles({from}, tree->path("copy"), TransferKind::Copy, callbacks).done, 1);
        EXPECT_EQ(StatOf(to).st_size, kSparseSize);
        EXPECT_LE(StatOf(to).st_blocks, StatOf(from).st_blocks) << tree->root();
        EXPECT_EQ(BytesAt(to, kDataAt - 2, 4), std::string("\0\0dd", 4));
        EXPECT_EQ(BytesAt(to, kSparseSize - 4, 4), std::string("\0end", 4));
        EXPECT_EQ(progressed, kSparseSize); // holes count as done
    }
    // Across file systems, moved: the holes stay holes there too.
    memory.folder("moved");
    ASSERT_EQ(
        TransferFiles({disk.path("image.raw")}, memory.path("moved"), TransferKind::Move, {}).done,
        1);
    EXPECT_FALSE(Exists(disk.path("image.raw")));
    EXPECT_LE(StatOf(memory.path("moved/image.raw")).st_blocks, 16);
}

TEST(FileCopy, ExtendedAttributesAndAclsTravelOrAreNamed) {
    TempTree disk, memory("/dev/shm");
    disk.file("src/tagged.txt", "content");
    disk.folder("dst");
    const std::string source = disk.path("src/tagged.txt");
    ASSERT_EQ(setxattr(source.c_str(), "user.origin", "camera", 6, 0), 0);
    const std::string acl = AccessAclGranting(65534);
    ASSERT_EQ(setxattr(source.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    ASSERT_EQ(setxattr(source.c_str(), "trusted.private", "x", 1, 0), 0);

    // A copy on the disk keeps what cp -a keeps, and no more.
    TransferReport report = TransferFiles({source}, disk.path("dst"), TransferKind::Copy, {});
    EXPECT_EQ(report.done, 1);
    EXPECT_TRUE(report.notes.empty()) << report.notes.front();
    EXPECT_EQ(AttributeOf(disk.path("dst/tagged.txt"), "user.origin"), "camera");
    EXPECT_EQ(AttributeOf(disk.path("dst/tagged.txt"), "system.posix_acl_access"),
              AttributeOf(source, "system.posix_acl_access"));
    EXPECT_EQ(AttributeOf(disk.path("dst/tagged.txt"), "trusted.private"), "(none)");

    // A move to another file system deletes the source: what the target cannot hold is named.
    report = TransferFiles({source}, memory.root(), TransferKind::Move, {});
    EXPECT_EQ(report.done, 1);
    EXPECT_FALSE(Exists(source));
    const std::string moved = memory.path("tagged.txt");
    for (const char* name : {"user.origin", "system.posix_acl_access"}) {
        const bool kept = AttributeOf(moved, name) != "(none)";
        EXPECT_NE(kept, Contains(report.notes, std::string("attribute ") + name)) << name;
    }
}

TEST(FileCopy, ASourceThatTurnsIntoAFifoIsLeftOutWithoutWaiting) {
    TempTree tree;
    tree.file("src/data.bin", std::string(64 * 1024, 'x'));
    tree.fifo("src/pipe");
    tree.folder("dst");
    // Another program swaps the file and a FIFO, again and again.
    std::atomic<bool> swapping{true};
    std::thread swapper([&] {
        const std::string a = tree.path("src/data.bin"), b = tree.path("src/pipe");
        while (swapping) renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
    });
    const int finished = RunInChild(
        [&] {
            for (int round = 0; round < 300; ++round) {
                const TransferReport report = TransferFiles(
                    {tree.path("src/data.bin")}, tree.path("dst"), TransferKind::Copy, {});
                for (const std::string& failure : report.failures) {
                    if (failure.find("FIFO") == std::string::npos &&
                        failure.find("took its place") == std::string::npos)
                        return 2;
                }
                const std::string copied = ReadFile(tree.path("dst/data.bin"));
                if (report.done == 1 && copied != std::string(64 * 1024, 'x')) return 3;
                ::unlink(tree.path("dst/data.bin").c_str());
            }
            return 0;
        },
        30);
    swapping = false;
    swapper.join();
    EXPECT_EQ(finished, 0); // -1: it hung on the FIFO
    EXPECT_TRUE(NamesIn(tree.path("dst")).empty());
}

TEST(FileCopy, WhatIsNotAFileIsNamed) {
    TempTree tree;
    tree.fifo("src/pipe");
    tree.folder("dst");
    const TransferReport report = TransferFiles({tree.path("src/pipe"), "/dev/null"},
                                                tree.path("dst"), TransferKind::Copy, {});
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0],
              tree.path("src/pipe") + ": it is a FIFO (named pipe), not a file");
    EXPECT_EQ(report.failures[1], "/dev/null: it is a character device, not a file");
    EXPECT_TRUE(NamesIn(tree.path("dst")).empty());
}

TEST(FileCopy, ACopyKilledHalfWayLeavesNothingBehind) {
    TempTree tree;
    tree.file("src/big.bin", std::string(3 << 20, 'b'));
    tree.file("dst/big.bin", "the older one");
    RunInChild([&] {
        TransferCallbacks callbacks;
        callbacks.replace = [](const ReplaceQuestion&) { return ReplaceAnswer::Yes; };
        callbacks.progress = [](int64_t done, int64_t, const std::string&) {
            if (done > 0) raise(SIGKILL); // with the first bytes written
            return true;
        };
        TransferFiles({tree.path("src/big.bin")}, tree.path("dst"), TransferKind::Copy, callbacks);
        return 0;
    });
    EXPECT_EQ(NamesIn(tree.path("dst")), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(ReadFile(tree.path("dst/big.bin")), "the older one");
}
