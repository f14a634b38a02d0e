#pragma once
// A session bus of the test's own: a dbus-daemon started for it, its address in
// DBUS_SESSION_BUS_ADDRESS before anything connects, stopped again at the end.

#include <string>
#include <sys/types.h>

namespace vintrel::test {

class PrivateSessionBus {
  public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool running() const { return !address_.empty(); }

  private:
    pid_t daemon_ = -1;
    std::string address_;
    std::string config_;
};

} // namespace vintrel::test
