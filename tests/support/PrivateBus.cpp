#include "PrivateBus.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace vintrel::test {

namespace {

// A session bus that starts no services of its own: nothing installed on the machine
// answers in a test's place.
const char* kConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateSessionBus::PrivateSessionBus() {
    char config[] = "/tmp/vintrel-bus-XXXXXX";
    const int configFd = mkstemp(config);
    if (configFd < 0) return;
    const bool written =
        write(configFd, kConfig, strlen(kConfig)) == static_cast<ssize_t>(strlen(kConfig));
    close(configFd);
    config_ = config;
    if (!written) return;
    int channel[2];
    if (pipe(channel) != 0) return;
    daemon_ = fork();
    if (daemon_ == 0) {
        close(channel[0]);
        const std::string printAddress = "--print-address=" + std::to_string(channel[1]);
        const std::string configFile = "--config-file=" + config_;
        execlp("dbus-daemon", "dbus-daemon", configFile.c_str(), "--nofork", printAddress.c_str(),
               nullptr);
        _exit(127);
    }
    close(channel[1]);
    char buffer[512];
    std::string line;
    ssize_t got;
    while (line.find('\n') == std::string::npos &&
           (got = read(channel[0], buffer, sizeof buffer)) > 0) {
        line.append(buffer, static_cast<size_t>(got));
    }
    close(channel[0]);
    if (line.find('\n') == std::string::npos) return;
    address_ = line.substr(0, line.find('\n'));
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateSessionBus::~PrivateSessionBus() {
    if (daemon_ > 0) {
        kill(daemon_, SIGTERM);
        waitpid(daemon_, nullptr, 0);
    }
    if (!config_.empty()) unlink(config_.c_str());
}

} // namespace vintrel::test
