#include "CliHost.h"

#include "RowTexts.h"

#include <cstdio>

namespace vintrel {

CliHost::CliHost(const SearchOptions& options, bool typeStatistics, bool showProgress)
    : options_(options), typeStatistics_(typeStatistics), showProgress_(showProgress) {}

void CliHost::processEvents() {
    // Reading the clock costs more than a directory entry: look at it now and then.
    if (!showProgress_ || (++ticks_ & 1023) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawProgress();
}

void CliHost::drawProgress() {
    const std::string counts = FileCountText(visitedCount_, listedCount_);
    if (typeStatistics_) {
        std::fprintf(stderr, "\r%lld files counted, %s entries visited",
                     static_cast<long long>(typedFileCount_), std::to_string(visitedCount_).c_str());
    } else {
        std::fprintf(stderr, "\r%s entries visited/files listed", counts.c_str());
    }
    std::fflush(stderr);
    drawn_ = true;
}

void CliHost::finish() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

} // namespace vintrel
