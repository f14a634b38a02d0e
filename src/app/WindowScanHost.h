#pragma once
// The walk's host in the window: the options as the controls stand, and an event pump
// that really processes events only when 10 ms have passed since it last did (processing
// costs about 2 us, which per entry would double a scan). The progress texts go to the
// labels at that moment and at the end.

#include "ScanHost.h"

#include <chrono>
#include <functional>

namespace vintrel {

class WindowScanHost final : public ProgressKeepingHost {
  public:
    explicit WindowScanHost(std::function<void()> showProgress);

    SearchOptions& editableOptions() { return options_; }
    const SearchOptions& options() override { return options_; }
    void processEvents() override;

    // Processes events now whatever the time.
    void processEventsNow();
    // How long the pump lets pass between two rounds of event processing.
    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }

  private:
    SearchOptions options_;
    std::function<void()> showProgress_;
    unsigned calls_ = 0;
    std::chrono::milliseconds interval_{10};
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

} // namespace vintrel
