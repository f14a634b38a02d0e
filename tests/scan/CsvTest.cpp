#include "Csv.h"
#include "Errors.h"
#include "TempTree.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vintrel;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const UserError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(CsvLine({"Filename", "Date Created", "Date modified", "Size", "Attribs"}),
              "Filename,\"Date Created\",\"Date modified\",Size,Attribs");
    EXPECT_EQ(CsvLine({"Type", "Description", "Count", "Size"}), "Type,Description,Count,Size");
    EXPECT_EQ(CsvLine({"/data/x,y.txt", "1.5 KB", "RA"}), "\"/data/x,y.txt\",\"1.5 KB\",RA");
    EXPECT_EQ(CsvLine({"say \"hi\"", "",
                       "a;b\xC2\xA0"
                       "c"}),
              "\"say \"\"hi\"\"\",,a;b\xC2\xA0"
              "c");
    EXPECT_EQ(CsvLine({"", "File", "2", "0 KB"}), ",File,2,\"0 KB\"");
    EXPECT_EQ(CsvLine({"/x", "a\tb", "n\x01"}), "/x,\"a\tb\",\"n\x01\"");
    EXPECT_EQ(CsvLine({""}), "\"\"");
    EXPECT_EQ(CsvLine({"/x.txt", "d", "d", "0 KB", ""}), "/x.txt,d,d,\"0 KB\",");
}

TEST(Csv, FileBytesAreUtf16WithByteOrderMarkAndCrLf) {
    const std::string text = LineText({"Filename,\"Date Created\"", "\xC3\xA9"});
    EXPECT_EQ(text, "Filename,\"Date Created\"\r\n\xC3\xA9\r\n");
    const std::string bytes = CsvFileBytes(text);
    const std::string start("\xFF\xFE"
                            "F\0i\0l\0e\0n\0a\0m\0e\0,\0\"\0D\0",
                            24);
    EXPECT_EQ(bytes.substr(0, 24), start);
    EXPECT_EQ(bytes.substr(bytes.size() - 6), std::string("\xE9\0\r\0\n\0", 6));
    EXPECT_EQ(bytes.size(), 2 + 2 * (text.size() - 1)); // é is one UTF-16 unit
}

TEST(Csv, SavingReplacesAnExistingFileWholeAndKeepsItsMode) {
    TempTree tree;
    tree.file("out.csv", "old contents that are longer than the new ones");
    tree.chmod("out.csv", 0640);
    SaveLinesToFile({"a,b"}, tree.path("out.csv"));
    EXPECT_EQ(ReadFile(tree.path("out.csv")), std::string("\xFF\xFE"
                                                          "a\0,\0b\0\r\0\n\0",
                                                          12));
    struct stat st {};
    stat(tree.path("out.csv").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    tree.symlink("link.csv", "out.csv");
    SaveLinesToFile({"c"}, tree.path("link.csv"));
    EXPECT_EQ(ReadFile(tree.path("out.csv")), std::string("\xFF\xFE"
                                                          "c\0\r\0\n\0",
                                                          8));
    struct stat link {};
    lstat(tree.path("link.csv").c_str(), &link);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
}

TEST(Csv, AFileThatCannotBeCreatedIsReported) {
    TempTree tree;
    const std::string target = tree.path("missing/out.csv");
    EXPECT_EQ(ErrorOf([&] { SaveLinesToFile({"a"}, target); }),
              "Cannot create file \"" + target + "\". No such file or directory");
}

TEST(Csv, AShortWriteIsReportedAndTheOldFileSurvives) {
    EXPECT_EQ(ErrorOf([] { SaveLinesToFile({"a"}, "/dev/full"); }),
              "Stream write error. No space left on device");

    // A file-size limit makes writes fall short as a full disk would.
    TempTree tree;
    tree.file("keep.csv", "precious");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message =
            ErrorOf([&] { SaveLinesToFile({std::string(1000, 'x')}, tree.path("keep.csv")); });
        _exit(message == "Stream write error. File too large" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(tree.path("keep.csv")), "precious");
}
