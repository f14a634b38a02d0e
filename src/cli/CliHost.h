#pragma once
// The walk's host on the command line: fixed options, and a progress line on standard
// error when it is a terminal, redrawn at most every 100 ms.

#include "ScanHost.h"

#include <chrono>
#include <string>

namespace vintrel {

class CliHost final : public ScanHost {
  public:
    CliHost(const SearchOptions& options, bool typeStatistics, bool showProgress);

    const SearchOptions& options() override { return options_; }
    void processEvents() override;
    void typedFileCountChanged(int64_t typedFileCount) override {
        typedFileCount_ = typedFileCount;
    }
    void fileCountChanged(int64_t visitedCount, size_t listedCount) override {
        visitedCount_ = visitedCount;
        listedCount_ = listedCount;
    }
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
    int64_t typedFileCount_ = 0;
    int64_t visitedCount_ = 0;
    size_t listedCount_ = 0;
};

} // namespace vintrel
