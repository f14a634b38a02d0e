#include "CliHost.h"

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
    if (typeStatistics_) {
        std::fprintf(stderr, "\r%lld entries visited, %lld files counted",
                     static_cast<long long>(visitedCount()),
                     static_cast<long long>(typedFileCount()));
    } else {
        std::fprintf(stderr, "\r%lld entries visited, %zu files listed",
                     static_cast<long long>(visitedCount()), listedCount());
    }
    std::fflush(stderr);
    drawn_ = true;
}

void CliHost::finish() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

} // namespace vintrel
