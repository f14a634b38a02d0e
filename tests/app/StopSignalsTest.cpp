// The window as a process: SIGTERM and SIGHUP end it as its close button does.

#include "TempTree.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using vintrel::test::TempTree;

namespace {

// Whether the process has its own handler for the signal (SigCgt in its status).
bool Catches(pid_t process, int signal) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

TEST(StopSignals, TheWindowClosesNormallyOnTerminateAndHangUp) {
    TempTree home;
    for (const int signal : {SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        if (child == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("HOME", home.root().c_str(), 1);
            setenv("XDG_CONFIG_HOME", home.path("config").c_str(), 1);
            execl(VINTREL_WINDOW_BINARY, "vintrel2", home.root().c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        // A signal that comes before the handler is set ends the program the default way.
        for (int wait = 0; wait < 600 && !Catches(child, signal); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(child, signal);
        int status = 0;
        for (int wait = 0; wait < 100 && waitpid(child, &status, WNOHANG) == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "signal " << signal;
    }
}
