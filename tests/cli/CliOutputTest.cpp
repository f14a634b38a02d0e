// vintrel2-scan -o as a shell user meets it: descriptors, stops by signal, kills, refusals.

#include "TempTree.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using vintrel::test::NamesIn;
using vintrel::test::ReadFile;
using vintrel::test::TempTree;

namespace {

int Shell(const std::string& script) {
    const std::string command =
        "env TZ=UTC LANG=C.UTF-8 SCAN=" VINTREL_SCAN_BINARY " sh -c '" + script + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A tree large enough that a listing is still under way when its output file is open.
class CliOutput : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        big = new TempTree("/dev/shm"); // made in a moment, where a disk takes seconds
        for (int folder = 0; folder < 400; ++folder) {
            const std::string name = "d" + std::to_string(folder);
            big->folder(name);
            for (int file = 0; file < 100; ++file) {
                const std::string path = big->path(name + "/f" + std::to_string(file));
                ::close(::open(path.c_str(), O_WRONLY | O_CREAT, 0644));
            }
        }
    }
    static void TearDownTestSuite() {
        delete big;
        big = nullptr;
    }

    // Starts a listing into `target`, waits until the scan has its output open (the walk
    // has listed its first batch), sends `signal`, and gives how the process ended.
    int StopWhileWriting(const std::string& target, int signal, bool* signalled = nullptr) {
        const pid_t child = fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(::open(logs.path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execl(VINTREL_SCAN_BINARY, "vintrel2-scan", "--list", "-o", target.c_str(),
                  big->root().c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string descriptors = "/proc/" + std::to_string(child) + "/fd/";
        const std::string folder = scratch.root() + "/";
        for (int wait = 0; wait < 20000; ++wait) {
            bool open = false;
            for (const std::string& fd : NamesIn(descriptors)) {
                char link[4096];
                const ssize_t length = readlink((descriptors + fd).c_str(), link, sizeof link - 1);
                if (length > 0 &&
                    std::string(link, static_cast<size_t>(length)).rfind(folder, 0) == 0)
                    open = true;
            }
            if (open) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        if (signalled) *signalled = WIFSIGNALED(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    static TempTree* big;
    TempTree scratch, logs;
};

TempTree* CliOutput::big = nullptr;

} // namespace

TEST_F(CliOutput, DescriptorTargetsAreWrittenThroughNotReopened) {
    const std::string folder = big->path("d1");
    const std::string log = scratch.path("log"), f = scratch.path("f");
    ASSERT_EQ(Shell("printf \"PRECIOUS\\n\" > " + log + "; $SCAN --list -o /dev/stdout " + folder +
                    " >> " + log),
              0);
    const std::string appended = ReadFile(log);
    EXPECT_EQ(appended.substr(0, 11), "PRECIOUS\n\xFF\xFE");
    ASSERT_EQ(Shell("(echo header; $SCAN --list -o /dev/stdout " + folder + ") > " + f), 0);
    EXPECT_EQ(ReadFile(f).substr(0, 9), "header\n\xFF\xFE");
    ASSERT_EQ(Shell("$SCAN --list -o /dev/fd/3 " + folder + " 3>>" + log), 0);
    EXPECT_EQ(ReadFile(log), appended + appended.substr(9));
}

TEST_F(CliOutput, AStopBySignalKeepsAnExistingFileAndLeavesNothingBehind) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string target = scratch.path("out.csv");
        FILE* old = fopen(target.c_str(), "w");
        fputs("complete older result", old);
        fclose(old);
        bool signalled = false;
        const int code = StopWhileWriting(target, signal, &signalled);
        EXPECT_EQ(code, 128 + signal) << "signal " << signal;
        EXPECT_EQ(ReadFile(target), "complete older result") << "signal " << signal;
        EXPECT_EQ(NamesIn(scratch.root()), (std::vector<std::string>{"out.csv"}));
        if (!signalled) {
            EXPECT_NE(ReadFile(logs.path("stderr")).find("was left as it was"), std::string::npos);
        }
    }
    // Into a new file, the lines found so far are written.
    EXPECT_EQ(StopWhileWriting(scratch.path("new.csv"), SIGTERM), 128 + SIGTERM);
    EXPECT_EQ(ReadFile(scratch.path("new.csv")).substr(0, 4), std::string("\xFF\xFE"
                                                                          "F\0",
                                                                          4));
}

TEST_F(CliOutput, AKillLeavesNoTemporaryFile) {
    for (int round = 0; round < 5; ++round) StopWhileWriting(scratch.path("out.csv"), SIGKILL);
    EXPECT_TRUE(NamesIn(scratch.root()).empty());
}

TEST_F(CliOutput, AFileTheUserMayNotWriteIsRefused) {
    const std::string shared = scratch.path("shared");
    ASSERT_EQ(Shell("mkdir -m 777 " + shared + " && printf root > " + shared +
                    "/r.csv && chmod 644 " + shared + "/r.csv && chmod 755 " + scratch.root()),
              0);
    const int code = Shell("setpriv --reuid=65534 --regid=65534 --clear-groups $SCAN -o " + shared +
                           "/r.csv " + big->path("d1") + " 2>" + shared + "/err");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(ReadFile(shared + "/r.csv"), "root");
    EXPECT_NE(ReadFile(shared + "/err").find("The file is read-only"), std::string::npos);
}
