#pragma once
// The walk's host on the command line: fixed options, and a progress line on standard
// error when it is a terminal, redrawn at most every 100 ms.

#include "ScanHost.h"

#include <chrono>
#include <functional>
#include <string>

namespace vintrel {

class CliHost final : public ProgressKeepingHost {
  public:
    CliHost(const SearchOptions& options, bool typeStatistics, bool showProgress);

    const SearchOptions& options() override { return options_; }
    void fileCountChanged(int64_t visitedCount, size_t listedCount) override {
        ProgressKeepingHost::fileCountChanged(visitedCount, listedCount);
        if (onListed) onListed(listedCount);
    }
    // Told the number of rows listed so far, right after each one.
    std::function<void(size_t listed)> onListed;
    void processEvents() override;
    // Removes the progress line.
    void finish();

  private:
    void drawProgress();

    SearchOptions options_;
    bool typeStatistics_;
    bool showProgress_;
    unsigned ticks_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

} // namespace vintrel
