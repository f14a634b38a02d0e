// vintrel2-scan run as a user runs it, on real trees.

#include "TempTree.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
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

// The peak memory of a run of the program, in KiB.
long PeakKilobytesOf(const TempTree& scratch, const std::string& arguments) {
    const std::string command = "exec env TZ=UTC LANG=C.UTF-8 " VINTREL_SCAN_BINARY " " +
                                arguments + " >" + scratch.path("stdout") + " 2>/dev/null";
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
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
    // West of Greenwich the first moment is still 1601-01-01, not a day of 1600.
    const Result newYork =
        RunScan(scratch, "--list " + std::string(folder), "LANG=C.UTF-8 TZ=America/New_York");
    EXPECT_NE(newYork.out.find("\"1601-01-01 00:00\",\"4294967296 GB\""), std::string::npos)
        << newYork.out;
    EXPECT_EQ(newYork.out.find("1600-"), std::string::npos) << newYork.out;
    vintrel::test::RemoveTree(folder);
}

TEST_F(CliRun, ARelativeFolderIsListedWithAbsolutePaths) {
    const Result r = RunScan(scratch, "--list .", "LANG=C.UTF-8",
                             "sh -c 'cd \"" + tree.root() + "\" && exec \"$0\" \"$@\"'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n" + tree.path("b.txt") + ","), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("./"), std::string::npos);
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string FromBase64(std::string_view text) {
    static const std::string kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') break;
        bits = bits << 6 | static_cast<uint32_t>(kDigits.find(c));
        if ((count += 6) >= 8) out += static_cast<char>((bits >> (count -= 8)) & 0xFF);
    }
    return out;
}

// The string value of "key" in one JSON line (no escapes in these tests' values).
std::string JsonField(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":\"");
    if (at == std::string::npos) return "<none>";
    const size_t start = at + key.size() + 4;
    return line.substr(start, line.find('"', start) - start);
}

} // namespace

TEST_F(CliRun, ExcludedFoldersAreNotEnteredByNameOrByPathAndAreCounted) {
    tree.file("node_modules/x.js");
    tree.file("src/node_modules/y.js");
    tree.file("src/keep/z.js");
    tree.file("src/keep/deep/w.js");
    Result r = RunScan(scratch, "--list --exclude node_modules --summary " + tree.root());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("node_modules"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("src/keep/deep/w.js"), std::string::npos);
    EXPECT_NE(r.err.find("Excluded folders: 2\n"), std::string::npos) << r.err;

    // With a "/", the path below the root; combined with a filter and the type table.
    r = RunScan(scratch, "--type-mask .js --exclude src/keep/deep " + tree.root());
    EXPECT_NE(r.out.find("src/keep/z.js"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("w.js"), std::string::npos);
    EXPECT_NE(r.out.find("node_modules/x.js"), std::string::npos);
    r = RunScan(scratch, "--exclude 'node_*;deep' " + tree.root());
    EXPECT_NE(r.out.find(".js,\"JavaScript program\",1,"), std::string::npos) << r.out;

    // A leading "/" anchors a mask at the root, a trailing one says nothing more.
    const Result plain = RunScan(scratch, "--list --exclude src/keep " + tree.root());
    EXPECT_EQ(plain.out.find("z.js"), std::string::npos) << plain.out;
    for (const char* mask : {"/src/keep", "src/keep/", "/src/keep/", "'x;/src/keep/'"}) {
        r = RunScan(scratch, std::string("--list --exclude ") + mask + " " + tree.root());
        EXPECT_EQ(r.out, plain.out) << mask;
    }
    r = RunScan(scratch, "--list --exclude /node_modules " + tree.root());
    EXPECT_EQ(r.out.find(tree.path("node_modules/x.js")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("src/node_modules/y.js"), std::string::npos) << r.out; // not at the root
    r = RunScan(scratch, "--list --exclude node_modules/ " + tree.root());
    EXPECT_EQ(r.out.find("node_modules"), std::string::npos) << r.out;
    EXPECT_EQ(RunScan(scratch, "--exclude / " + tree.root()).exitCode, 2);
}

TEST_F(CliRun, OneFileSystemStaysOffAMountedFolder) {
    tree.file("mnt/.keep");
    const std::string mount = "mount -t tmpfs vintrel-test '" + tree.path("mnt") + "' 2>/dev/null";
    if (geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount here";
    tree.file("mnt/inside.txt");
    Result r = RunScan(scratch, "--list -x --summary " + tree.root());
    const Result all = RunScan(scratch, "--list " + tree.root());
    EXPECT_EQ(std::system(("umount '" + tree.path("mnt") + "'").c_str()), 0);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("inside.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("b.txt"), std::string::npos);
    EXPECT_NE(r.err.find("Folders on other file systems: 1\n"), std::string::npos) << r.err;
    EXPECT_NE(all.out.find("inside.txt"), std::string::npos);
}

TEST_F(CliRun, BytesGiveExactSizesAndIsoLocalTimes) {
    const Result r =
        RunScan(scratch, "--bytes --list " + tree.root(), "LANG=C.UTF-8 TZ=Europe/Berlin");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("/a.TXT,"), std::string::npos);
    EXPECT_NE(r.out.find(",2014-02-18T06:06:40+01:00,1048576,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/b.txt,"), std::string::npos);
    EXPECT_EQ(Lines(r.out)[0], "Filename,\"Date Created\",\"Date modified\",Size,Attribs");
    const Result types = RunScan(scratch, "--bytes " + tree.root());
    EXPECT_NE(types.out.find(",2,1048577\r\n"), std::string::npos) << types.out; // .TXT + .txt
}

TEST_F(CliRun, JsonLinesGiveRawValuesAndTheExactBytesOfEveryName) {
    tree.file("caf\xE9.txt", "abc");
    const Result r = RunScan(scratch, "--json --list " + tree.root());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    bool sawOdd = false;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.front(), '{');
        EXPECT_EQ(line.back(), '}');
        const std::string path = JsonField(line, "path");
        const std::string exact = JsonField(line, "path_base64");
        if (exact != "<none>") {
            sawOdd = true;
            EXPECT_EQ(FromBase64(exact), tree.path("caf\xE9.txt"));
            EXPECT_NE(path.find("\xEF\xBF\xBD"), std::string::npos); // shown text, valid UTF-8
            EXPECT_NE(line.find("\"bytes\":3,"), std::string::npos);
        }
        EXPECT_EQ(JsonField(line, "modified").size(), 25u) << line; // 2014-02-18T05:06:40+00:00
    }
    EXPECT_TRUE(sawOdd);
    const Result types = RunScan(scratch, "--json " + tree.root());
    EXPECT_NE(types.out.find("\"count\":3,\"bytes\":1048580}"), std::string::npos) << types.out;
}

TEST_F(CliRun, SortReverseAndTopOrderEitherTableAsTheWindowDoes) {
    Result r = RunScan(scratch, "--list --sort size --reverse --top 2 " + tree.root());
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_NE(lines[1].find("/a.TXT,"), std::string::npos);
    EXPECT_NE(lines[2].find("/b.txt,"), std::string::npos);

    r = RunScan(scratch, "--list --sort name " + tree.root()); // the collation: a, b, c
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[1].find("/a.TXT"), std::string::npos);
    EXPECT_NE(lines[3].find("/c,d e.doc"), std::string::npos);

    r = RunScan(scratch, "--sort count --reverse --json " + tree.root());
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"count\":2"), std::string::npos) << r.out;
    r = RunScan(scratch, "--sort count --type-mask .doc " + tree.root());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--sort count applies to the type table only"), std::string::npos);
}

// A sorted --top keeps its rows while the walk goes on (in batches of a few thousand): its
// rows are those of the whole sorted listing, ties in walk order.
TEST_F(CliRun, TopRowsKeptDuringTheWalkAreThoseOfTheWholeSort) {
    for (int i = 0; i < 9000; ++i)
        tree.file("many/f" + std::to_string(i) + ".dat",
                  std::string(static_cast<size_t>(i % 7), 'x'));
    for (const char* sort : {"size", "name --reverse", "modified", "size --reverse"}) {
        const Result whole =
            RunScan(scratch, std::string("--bytes --list --sort ") + sort + " " + tree.root());
        const Result top =
            RunScan(scratch, std::string("--bytes --list --top 25 --summary --sort ") + sort + " " +
                                 tree.root());
        std::vector<std::string> expected = Lines(whole.out);
        expected.resize(26);
        EXPECT_EQ(Lines(top.out), expected) << sort;
        EXPECT_NE(top.err.find("Total files: 9003\n"), std::string::npos) << top.err;
    }
}

// A listing in walk order is written as the walk goes: its memory does not grow with the
// number of files (here about 18 MB of paths).
TEST_F(CliRun, AListingInWalkOrderKeepsFewRowsInMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine";
#endif
    // Small folders: what the walk reads ahead stays small beside the listing, even where
    // the walk finds its reads slow (a loaded machine) and every helper reads ahead.
    const std::string name(200, 'n');
    for (int folder = 0; folder < 6000; ++folder) {
        const std::string below = "f" + std::to_string(folder) + "/";
        tree.folder(below);
        for (int i = 0; i < 20; ++i) {
            const int fd = ::open(tree.path(below + name + std::to_string(i)).c_str(),
                                  O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }
    const long typeTable = PeakKilobytesOf(scratch, tree.root());
    const long listing = PeakKilobytesOf(scratch, "--list " + tree.root());
    ASSERT_GT(typeTable, 0);
    EXPECT_EQ(ReadFile(scratch.path("stdout")).size() > 120'000u * 200, true);
    EXPECT_LT(listing, typeTable + 12 * 1024) << "type table " << typeTable << " KiB";
    // Sorted, the whole listing is kept.
    EXPECT_GT(PeakKilobytesOf(scratch, "--list --sort name " + tree.root()), listing + 8 * 1024);
}
