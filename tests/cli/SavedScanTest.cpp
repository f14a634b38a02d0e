// Saved scans through vintrel2-scan as a process: a live walk against export-then-import on
// awkward trees, files of ncdu and gdu read as they are, ours opened by them, and what a
// file may lack or get wrong.

#include "TempTree.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

struct Result {
    int exit = -1;
    std::string out, err;
};

// Runs a shell script with $SCAN the program, in UTC and a UTF-8 locale.
Result Shell(const std::string& script, const TempTree& scratch) {
    const std::string out = scratch.path("stdout"), err = scratch.path("stderr");
    std::ofstream(scratch.path("script.sh")) << script;
    const std::string command = "env TZ=UTC LANG=C.UTF-8 SCAN=" VINTREL_SCAN_BINARY " sh " +
                                scratch.path("script.sh") + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

bool Installed(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0;
}

class SavedScan : public ::testing::Test {
  protected:
    // Names and kinds a scan file must carry exactly.
    void SetUp() override {
        tree.file("plain.txt", "hello");
        tree.file("UPPER.TXT", "x");
        tree.file(".hidden.cfg", "h");
        tree.file("no_extension", "abc");
        tree.file("we\"ird\\name\nwith newline.txt", "q");
        tree.file("tab\there.doc", "");
        tree.file("bad\xff\xfe.bin", "raw");
        tree.file("ümlaut.TXT", "u");
        tree.file("sub/deeper/inner.txt", "inner");
        tree.file("sub/.hid/secret.txt", "s");
        tree.file("skip/me.txt", "skipped");
        tree.sizedFile("sub/sparse.img", 1 << 20);
        tree.symlink("sub/link.txt", "../plain.txt");
        tree.fifo("sub/pipe");
        tree.setModified("plain.txt", 946684800); // 2000-01-01
        tree.folder("empty");
        ASSERT_EQ(::link(tree.path("plain.txt").c_str(), tree.path("sub/hard.txt").c_str()), 0);
    }

    TempTree tree, scratch;
};

TEST_F(SavedScan, ImportGivesWhatTheLiveWalkGives) {
    const std::vector<std::string> optionSets = {
        "",
        "--include-hidden --include-system --summary",
        "--list --bytes",
        "--list --json --include-hidden --include-system",
        "--type .txt",
        "--type \"\"",
        "--name-mask \"*e*\" --sort name",
        "--modified before:2001-01-01",
        "--size greater:0.5 --sort size --reverse --top 2",
        "--attributes=r --include-system",
        "--exclude skip --exclude sub/deeper --summary",
        "--list --no-subfolders",
        "--sort count --top 1",
        "--disk-usage --list --bytes --summary",
        "--disk-usage --size greater:3 --include-system",
    };
    for (const char* file : {"scan.json", "scan.json.gz", "scan.zst"}) {
        const std::string saved = scratch.path(file);
        const Result exported = Shell("$SCAN --export " + saved + " " + tree.root(), scratch);
        ASSERT_EQ(exported.exit, 0) << exported.err;
        for (const std::string& options : optionSets) {
            const Result live = Shell("$SCAN " + options + " " + tree.root(), scratch);
            const Result read = Shell("$SCAN " + options + " --import " + saved, scratch);
            EXPECT_EQ(live.exit, 0) << options;
            EXPECT_EQ(read.exit, live.exit) << options << " " << file;
            EXPECT_EQ(read.out, live.out) << options << " " << file;
            // The summary of an import adds what its file lacked; the rest is the same.
            EXPECT_EQ(read.err.substr(0, live.err.size()), live.err) << options << " " << file;
        }
    }
    // Compressed by name when written, recognised by content when read.
    EXPECT_EQ(ReadFile(scratch.path("scan.json.gz")).substr(0, 2), "\x1f\x8b");
    EXPECT_EQ(ReadFile(scratch.path("scan.zst")).substr(0, 4), "\x28\xb5\x2f\xfd");
    ASSERT_EQ(std::rename(scratch.path("scan.zst").c_str(), scratch.path("renamed").c_str()), 0);
    EXPECT_EQ(Shell("$SCAN --import " + scratch.path("renamed"), scratch).out,
              Shell("$SCAN " + tree.root(), scratch).out);
    // Standard output and standard input.
    EXPECT_EQ(Shell("$SCAN --export - " + tree.root() + " | $SCAN --list --import -", scratch).out,
              Shell("$SCAN --list " + tree.root(), scratch).out);
}

TEST_F(SavedScan, ExportIsAModeOfItsOwn) {
    for (const char* options :
         {"--list", "--type .txt", "--json", "--bytes", "--sort size", "--top 3", "-o x.csv",
          "--no-subfolders", "--name-mask a*", "--modified after:2000-01-01"}) {
        const Result r =
            Shell("$SCAN --export " + scratch.path("s.json") + " " + options + " " + tree.root(),
                  scratch);
        EXPECT_EQ(r.exit, 2) << options;
        EXPECT_NE(r.err.find("--export"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Shell("$SCAN --import " + scratch.path("s.json") + " " + tree.root(), scratch).exit,
              2);
    EXPECT_FALSE(vintrel::test::Exists(scratch.path("s.json")));
    // Hidden and system entries are in the scan whatever is asked; the tables filter them.
    EXPECT_EQ(Shell("$SCAN --export " + scratch.path("s.json") + " --include-hidden " + tree.root(),
                    scratch)
                  .exit,
              0);
    const std::string json = ReadFile(scratch.path("s.json"));
    EXPECT_NE(json.find("\"name\":\".hidden.cfg\""), std::string::npos);
    EXPECT_NE(json.find("\"name\":\"pipe\""), std::string::npos);
    EXPECT_NE(json.find("\"name\":\"bad\xff\xfe.bin\""), std::string::npos); // exact bytes
    EXPECT_NE(json.find("\"hlnkc\":true"), std::string::npos);
}

TEST_F(SavedScan, AFailedOrDamagedScanLeavesNoTable) {
    const std::string saved = scratch.path("s.json");
    ASSERT_EQ(Shell("$SCAN --export " + saved + " " + tree.root(), scratch).exit, 0);
    const std::string whole = ReadFile(saved);
    std::ofstream(scratch.path("cut.json")) << whole.substr(0, whole.size() / 2);
    const size_t secondEntry = whole.find("\n{\"name\"", whole.find("\n[{") + 3);
    std::ofstream(scratch.path("junk.json"))
        << whole.substr(0, secondEntry + 1) << "x" << whole.substr(secondEntry + 1);
    for (const char* file : {"cut.json", "junk.json"}) {
        const Result r = Shell(
            "$SCAN --import " + scratch.path(file) + " -o " + scratch.path("table.csv"), scratch);
        EXPECT_EQ(r.exit, 1) << file;
        EXPECT_NE(r.err.find("at byte "), std::string::npos) << r.err;
        EXPECT_FALSE(vintrel::test::Exists(scratch.path("table.csv")));
    }
    const Result missing = Shell("$SCAN --import " + scratch.path("none.json"), scratch);
    EXPECT_EQ(missing.exit, 1);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
    // A scan that cannot be written leaves the file that was there as it was.
    std::ofstream(scratch.path("kept.json")) << "precious";
    const Result unreadable =
        Shell("$SCAN --export " + scratch.path("kept.json") + " " + tree.path("nothing"), scratch);
    EXPECT_EQ(unreadable.exit, 1);
    EXPECT_EQ(ReadFile(scratch.path("kept.json")), "precious");
}

// Fields a writer leaves out: no sizes, no times, no mode; devices for -x; what is kept
// exactly and what is never resolved.
TEST_F(SavedScan, ForeignFilesAreReadAsTheyAre) {
    std::ofstream(scratch.path("hand.json"))
        << "[1,0,{\"progname\":\"hand\",\"x\":[{\"a\":[1,2,{}]},null]},\n"
           "[{\"name\":\"rel/root\",\"dev\":7},\n"
           "{\"name\":\"nodate.txt\",\"asize\":2048},\n"
           "{\"name\":\"dated.txt\",\"asize\":10,\"mtime\":946684800},\n"
           "{\"name\":\"link.txt\",\"notreg\":true},\n"
           "{\"name\":\"esc\\u00e9\\ud83d\\ude00\\n.txt\",\"unknown_key\":{\"deep\":[true]}},\n"
           "[{\"name\":\"other\",\"dev\":8},{\"name\":\"far.txt\",\"asize\":1}],\n"
           "{\"name\":\"gone\",\"excluded\":\"pattern\"},\n"
           "[{\"name\":\"broken\",\"read_error\":true}]]]";
    const std::string hand = scratch.path("hand.json");
    Result r = Shell("$SCAN --list --bytes --include-system --import " + hand, scratch);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "Filename,\"Date Created\",\"Date modified\",Size,Attribs\r\n"
              "rel/root/nodate.txt,,,2048,\r\n"
              "rel/root/dated.txt,2000-01-01T00:00:00+00:00,2000-01-01T00:00:00+00:00,10,\r\n"
              "rel/root/link.txt,,,0,S\r\n"
              "\"rel/root/esc\xC3\xA9\xF0\x9F\x98\x80\n.txt\",,,0,\r\n"
              "rel/root/other/far.txt,,,1,\r\n");
    // Date filters never match a missing time, nor attribute filters a missing mode; a
    // date sort puts it first.
    EXPECT_EQ(Shell("$SCAN --bytes --modified before:2100-01-01 --import " + hand, scratch).out,
              "Filename,\"Date Created\",\"Date modified\",Size,Attribs\r\n"
              "rel/root/dated.txt,2000-01-01T00:00:00+00:00,2000-01-01T00:00:00+00:00,10,\r\n");
    EXPECT_EQ(Shell("$SCAN --attributes=r --include-system --import " + hand, scratch).out,
              "Filename,\"Date Created\",\"Date modified\",Size,Attribs\r\n");
    r = Shell("$SCAN --list --sort modified --top 1 --json --import " + hand, scratch);
    EXPECT_EQ(r.out, "{\"path\":\"rel/root/nodate.txt\",\"created\":null,\"modified\":null,"
                     "\"bytes\":2048,\"attributes\":\"\"}\r\n");
    // -x by the recorded devices.
    r = Shell("$SCAN --list -x --summary --import " + hand, scratch);
    EXPECT_EQ(r.out.find("far.txt"), std::string::npos);
    EXPECT_NE(r.err.find("Folders on other file systems: 1"), std::string::npos) << r.err;
    // Counted among the entries read: those of a folder not entered are not.
    EXPECT_NE(r.err.find("Entries without modification time: 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Entries without mode: 4"), std::string::npos) << r.err;
}

TEST_F(SavedScan, FilesOfNcduAndGduGiveTheLiveTypeTable) {
    if (!Installed("ncdu") || !Installed("gdu")) GTEST_SKIP() << "ncdu or gdu is not installed";
    const std::string saved = scratch.path("n.json");
    // ncdu keeps the walk's order: the same table, row for row (its files keep no birth
    // time, so listings differ in their created dates).
    ASSERT_EQ(Shell("ncdu -e -o " + saved + " " + tree.root(), scratch).exit, 0);
    for (const char* options : {"--include-hidden", "--include-system",
                                "--include-hidden --include-system --sort size"}) {
        const Result live = Shell("$SCAN " + std::string(options) + " " + tree.root(), scratch);
        const Result read = Shell("$SCAN " + std::string(options) + " --import " + saved, scratch);
        EXPECT_EQ(read.exit, 0) << read.err;
        EXPECT_EQ(read.out, live.out) << options;
    }
    // gdu writes in an order of its own, a FIFO as a file, and a link without its mode (so
    // that it counts as system): the same rows, by name, once those are gone.
    ::unlink(tree.path("sub/pipe").c_str());
    ::unlink(tree.path("sub/link.txt").c_str());
    ASSERT_EQ(Shell("gdu -n -o " + saved + " " + tree.root(), scratch).exit, 0);
    const Result live = Shell("$SCAN --include-hidden --sort name " + tree.root(), scratch);
    const Result read = Shell("$SCAN --include-hidden --sort name --import " + saved, scratch);
    EXPECT_EQ(read.exit, 0) << read.err;
    EXPECT_EQ(read.out, live.out);
}

TEST_F(SavedScan, NcduAndGduOpenOurScans) {
    if (!Installed("ncdu") || !Installed("gdu")) GTEST_SKIP() << "ncdu or gdu is not installed";
    const std::string saved = scratch.path("ours.json");
    ASSERT_EQ(Shell("$SCAN --export " + saved + " " + tree.root(), scratch).exit, 0);
    // ncdu writes our scan back as it writes its own scan of the tree (but the time line).
    const auto withoutFirstLine = [](const std::string& text) {
        return text.substr(text.find('\n') + 1);
    };
    const Result theirs = Shell("ncdu -o - " + tree.root(), scratch);
    const Result ours = Shell("ncdu -f " + saved + " -o -", scratch);
    EXPECT_EQ(ours.exit, 0) << ours.err;
    EXPECT_EQ(withoutFirstLine(ours.out), withoutFirstLine(theirs.out));
    // gdu: the same total (it marks hard links and empty folders of its own scans only).
    const Result gduTheirs = Shell("gdu -n -s " + tree.root(), scratch);
    const Result gduOurs = Shell("gdu -n -s -f " + saved, scratch);
    EXPECT_EQ(gduOurs.exit, 0) << gduOurs.err;
    EXPECT_EQ(gduOurs.out, gduTheirs.out);
}

// The disk's own count: allocated bytes, each file of several links once, against the
// blocks of each inode counted once.
TEST_F(SavedScan, DiskUsageCountsTheDiskAsTheDiskDoes) {
    tree.file("a/big.dat", std::string(10000, 'b'));
    ASSERT_EQ(::link(tree.path("a/big.dat").c_str(), tree.path("sub/big.dat").c_str()), 0);
    ASSERT_EQ(::link(tree.path("a/big.dat").c_str(), tree.path("sub/deeper/big.dat").c_str()), 0);
    const std::vector<std::string> files = {"plain.txt",
                                            "UPPER.TXT",
                                            "no_extension",
                                            "tab\there.doc",
                                            "bad\xff\xfe.bin",
                                            "\xc3\xbcmlaut.TXT",
                                            "sub/deeper/inner.txt",
                                            "skip/me.txt",
                                            "sub/sparse.img",
                                            "a/big.dat",
                                            "sub/link.txt",
                                            "we\"ird\\name\nwith newline.txt",
                                            "sub/.hid/secret.txt"};
    int64_t expected = 0;
    for (const std::string& file : files) {
        struct stat st {};
        ASSERT_EQ(::lstat(tree.path(file).c_str(), &st), 0) << file;
        expected += st.st_blocks * 512;
    }
    const Result r = Shell("$SCAN --disk-usage --list --json " + tree.root(), scratch);
    ASSERT_EQ(r.exit, 0) << r.err;
    int64_t total = 0, rows = 0, bigRows = 0;
    for (size_t at = r.out.find("\"bytes\":"); at != std::string::npos;
         at = r.out.find("\"bytes\":", at + 1)) {
        total += std::stoll(r.out.substr(at + 8));
        ++rows;
    }
    for (size_t at = r.out.find("big.dat"); at != std::string::npos;
         at = r.out.find("big.dat", at + 1))
        ++bigRows;
    EXPECT_EQ(total, expected);
    EXPECT_EQ(rows, static_cast<int64_t>(files.size())); // plain.txt and hard.txt once
    EXPECT_EQ(bigRows, 1);
    // Without it the design's sizes, every link listed.
    const Result apparent = Shell("$SCAN --list --json " + tree.root(), scratch);
    EXPECT_NE(apparent.out.find("\"bytes\":10000"), std::string::npos);
    EXPECT_EQ(apparent.out.find("\"bytes\":1048576") != std::string::npos, true);

    // A scan file without allocated sizes cannot be counted so: refused.
    std::ofstream(scratch.path("bare.json"))
        << "[1,2,{},[{\"name\":\"/t\"},{\"name\":\"a\",\"asize\":5}]]";
    const Result refused =
        Shell("$SCAN --disk-usage --list --import " + scratch.path("bare.json"), scratch);
    EXPECT_EQ(refused.exit, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("dsize"), std::string::npos) << refused.err;
}

// What grew since: the newer table with the change of each type against an older scan.
TEST_F(SavedScan, CompareTellsWhatChangedTypeByType) {
    const std::string old = scratch.path("old.json");
    ASSERT_EQ(Shell("$SCAN --export " + old + " " + tree.root(), scratch).exit, 0);
    ASSERT_EQ(::unlink(tree.path("tab\there.doc").c_str()), 0);  // .doc is gone
    tree.sizedFile("sub/grown.img", 3 << 20);                    // .img grows by 3 MB
    tree.file("new.md", "# new");                                // .md is new
    ASSERT_EQ(::unlink(tree.path("sub/sparse.img").c_str()), 0); // and loses 1 MB
    Result r = Shell("$SCAN --compare " + old + " --sort change " + tree.root(), scratch);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string header = "Type,Description,Count,Size,\"Count change\",\"Size change\"\r\n";
    ASSERT_EQ(r.out.substr(0, header.size()), header);
    EXPECT_NE(r.out.find(".doc,\"Word document\",0,\"0 KB\",-1,\"0 KB\"\r\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(".img,\"Raw disk image\",1,\"3 MB\",0,\"2 MB\"\r\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(".md,"), std::string::npos);
    // The largest change last, in bytes and in JSON; negative sizes as the locale writes them.
    r = Shell("$SCAN --compare " + old + " --sort change --reverse --top 1 --bytes " + tree.root(),
              scratch);
    EXPECT_EQ(r.out, header + ".img,\"Raw disk image\",1,3145728,0,2097152\r\n");
    ASSERT_EQ(::unlink(tree.path("sub/grown.img").c_str()), 0);
    r = Shell("LANG=de_DE.UTF-8 $SCAN --compare " + old + " --sort change --top 1 " + tree.root(),
              scratch);
    EXPECT_NE(r.out.find("0,\"0 KB\",-1,\"-1024 KB\"\r\n"), std::string::npos) << r.out;
    r = Shell("$SCAN --compare " + old + " --json --type-mask .txt " + tree.root(), scratch);
    EXPECT_EQ(r.out.find("\"type\":\".img\""), std::string::npos) << r.out; // filters: both sides
    EXPECT_NE(r.out.find("\"type\":\".txt\",\"description\":\"plain text document\",\"count\":"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"count_change\":0,\"bytes_change\":0}"), std::string::npos) << r.out;
    // Two scans of one folder, by saved scans on both sides: nothing changed. Of another:
    // a warning.
    ASSERT_EQ(Shell("$SCAN --export " + scratch.path("now.json") + " " + tree.root(), scratch).exit,
              0);
    r = Shell("$SCAN --compare " + scratch.path("now.json") + " --import " +
                  scratch.path("now.json"),
              scratch);
    EXPECT_EQ(r.out.find(",-"), std::string::npos) << r.out;
    r = Shell("$SCAN --compare " + old + " " + tree.path("sub"), scratch);
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.err.find("warning: the scans are of different folders"), std::string::npos);

    for (const char* wrong : {"--list", "--type .txt", "--sort created", "--export x.json"}) {
        r = Shell("$SCAN --compare " + old + " " + wrong + " " + tree.root(), scratch);
        EXPECT_EQ(r.exit, 2) << wrong;
    }
    EXPECT_EQ(Shell("$SCAN --compare - --import - < " + old, scratch).exit, 2);
    EXPECT_EQ(Shell("$SCAN --sort change " + tree.root(), scratch).exit, 2);
}

} // namespace
