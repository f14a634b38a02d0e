// vintrel2-scan run as a user runs it, on real trees.

#include "TempTree.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    std::string out, err;
};

// `wrapper` runs the program, as in "sh -c '…; exec \"$0\" \"$@\"'".
Result RunScan(const TempTree& scratch, const std::string& arguments,
               const std::string& env = "LANG=C.UTF-8", const std::string& wrapper = "") {
    const std::string out = scratch.path("stdout"), err = scratch.path("stderr");
    const std::string command = "env TZ=UTC " + env + " " + wrapper + " " VINTREL_SCAN_BINARY " " +
                                arguments + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

} // namespace

class CliRun : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.sizedFile("a.TXT", 1'048'576);
        tree.file("b.txt", "x");
        tree.file("c,d e.doc");
        tree.setModified("a.TXT", 1'392'700'000);
        tree.setModified("b.txt", 1'392'700'000);
        tree.setModified("c,d e.doc", 1'392'700'000);
    }
    TempTree tree, scratch;
};

TEST_F(CliRun, TypeTableIsCsvWithCrLfOnStandardOutput) {
    const Result r = RunScan(scratch, tree.root());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Type,Description,Count,Size\r\n", 0), 0u);
    EXPECT_NE(r.out.find(",2,\"1 MB\"\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(".doc,"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(CliRun, FilteredListingAndSummary) {
    const Result r = RunScan(scratch, "--type-mask '*.txt' --summary " + tree.root());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(tree.path("a.TXT") + ",\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",\"2014-02-18 05:06\",\"1024 KB\",\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(".doc"), std::string::npos);
    EXPECT_NE(r.err.find("Total files: 2\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Visited/listed: 5/2\n"), std::string::npos) << r.err;
}

TEST_F(CliRun, OutputFileHoldsTheSameTextAsUtf16) {
    const Result shown = RunScan(scratch, "--list " + tree.root());
    const Result saved =
        RunScan(scratch, "--list -o " + scratch.path("out.csv") + " " + tree.root());
    EXPECT_EQ(saved.exitCode, 0);
    EXPECT_TRUE(saved.out.empty());
    const std::string bytes = ReadFile(scratch.path("out.csv"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string narrowed;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) narrowed += bytes[i]; // ASCII tree
    EXPECT_EQ(narrowed, shown.out);
}

TEST_F(CliRun, LocaleDecidesDatesAndNumbers) {
    const Result r = RunScan(scratch, "--type-mask .TXT " + tree.root(), "LANG=de_DE.UTF-8");
    EXPECT_NE(r.out.find("\"18.02.2014 05:06\""), std::string::npos) << r.out;
    const Result types = RunScan(scratch, tree.root(), "LANG=de_DE.UTF-8");
    EXPECT_NE(types.out.find("\"0 KB\""), std::string::npos) << types.out;
}

TEST_F(CliRun, ExitCodesForMissingFoldersAndBadArguments) {
    const Result missing = RunScan(scratch, tree.path("nothing"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());
    const Result notAFolder = RunScan(scratch, tree.path("b.txt"));
    EXPECT_EQ(notAFolder.exitCode, 1);
    EXPECT_EQ(RunScan(scratch, "--created after:2021-02-30 " + tree.root()).exitCode, 2);
    EXPECT_EQ(RunScan(scratch, "--size greater:big " + tree.root()).exitCode, 2);
    const Result none = RunScan(scratch, "");
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("Usage: vintrel2-scan"), std::string::npos);
    EXPECT_EQ(RunScan(scratch, "-o /nonexistent/dir/x.csv " + tree.root()).exitCode, 1);
}

TEST_F(CliRun, TheOutputFileIsNeverAPlantedLinkAndAFifoWithoutReaderFails) {
    scratch.file("victim.csv", "precious");
    scratch.folder("shared");
    scratch.chmod("shared", 01777);
    scratch.symlink("shared/report.csv", scratch.path("victim.csv"));
    ASSERT_EQ(lchown(scratch.path("shared/report.csv").c_str(), 65534, 65534), 0);
    Result r = RunScan(scratch, "-o " + scratch.path("shared/report.csv") + " " + tree.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Cannot create file \"" + scratch.path("shared/report.csv") + "\". \"" +
                         scratch.path("shared/report.csv") + "\" is a symbolic link"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(scratch.path("victim.csv")), "precious");

    scratch.fifo("pipe");
    r = RunScan(scratch, "-o " + scratch.path("pipe") + " " + tree.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No program reads from this pipe"), std::string::npos) << r.err;
}

TEST_F(CliRun, AnyDepthWithASmallStackAndFewDescriptors) {
    // 100,000 levels, one file each, against the same files side by side in one folder.
    constexpr int kLevels = 100'000;
    const auto name = [](int level) {
        return "f" + std::to_string(level) + ".t" + std::to_string(level % 7);
    };
    TempTree deep, flat;
    deep.chain("top", kLevels, name);
    flat.folder("top");
    for (int level = 0; level < kLevels; ++level) flat.file("top/" + name(level));
    const std::string limits = "sh -c 'ulimit -s 1024 && ulimit -n 256 && exec \"$0\" \"$@\"' ";
    const Result types = RunScan(scratch, "--summary " + deep.path("top"), "LANG=C.UTF-8", limits);
    EXPECT_EQ(types.exitCode, 0) << types.err;
    EXPECT_NE(types.err.find("Total files: 100000\nTotal size: 0 KB\nTotal types: 7\n"
                             "Unreadable folders: 0\n"),
              std::string::npos)
        << types.err;
    // The same rows; types come in the order first met, which differs between the two.
    const auto rows = [](const std::string& csv) {
        std::vector<std::string> lines;
        for (size_t start = 0; start < csv.size();) {
            const size_t end = csv.find("\r\n", start);
            lines.push_back(csv.substr(start, end - start));
            start = end + 2;
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(rows(types.out), rows(RunScan(scratch, flat.path("top")).out));
}

TEST_F(CliRun, HugeSparseFilesAndFarTimesGiveTrueTexts) {
    // tmpfs holds files of exabytes (sparse) and times tens of thousands of years away.
    char folder[] = "/dev/shm/vintrel-huge-XXXXXX";
    if (!mkdtemp(folder)) GTEST_SKIP() << "no /dev/shm";
    const std::string a = std::string(folder) + "/a.bin", b = std::string(folder) + "/b.bin";
    ASSERT_EQ(std::system(("truncate -s 4E " + a + " " + b).c_str()), 0);
    const timespec future[2] = {{1'000'000'000'000, 0}, {1'000'000'000'000, 0}};
    const timespec past[2] = {{-1'000'000'000'000, 0}, {-1'000'000'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), future, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, b.c_str(), past, 0), 0);

    const Result types = RunScan(scratch, "--summary " + std::string(folder));
    EXPECT_NE(types.out.find(".bin,\"BIN File\",2,\"8589934592 GB\""), std::string::npos)
        << types.out;
    const Result tokyo =
        RunScan(scratch, "--list " + std::string(folder), "LANG=C.UTF-8 TZ=Asia/Tokyo");
    EXPECT_NE(tokyo.out.find("\"9999-12-31 23:59\",\"4294967296 GB\""), std::string::npos)
        << tokyo.out;
    const Result utc = RunScan(scratch, "--list " + std::string(folder));
    EXPECT_NE(utc.out.find("\"1601-01-01 00:00\",\"4294967296 GB\""), std::string::npos) << utc.out;
    vintrel::test::RemoveTree(folder);
}

TEST_F(CliRun, ARelativeFolderIsListedWithAbsolutePaths) {
    const Result r = RunScan(scratch, "--list .", "LANG=C.UTF-8",
                             "sh -c 'cd \"" + tree.root() + "\" && exec \"$0\" \"$@\"'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n" + tree.path("b.txt") + ","), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("./"), std::string::npos);
}
