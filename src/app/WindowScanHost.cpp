#include "WindowScanHost.h"

#include <QCoreApplication>

namespace vintrel {

WindowScanHost::WindowScanHost(std::function<void()> showProgress)
    : showProgress_(std::move(showProgress)) {}

void WindowScanHost::processEvents() {
    // The clock is read every 64 calls only: a call costs a few nanoseconds otherwise.
    if ((++calls_ & 63) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return;
    processEventsNow();
}

void WindowScanHost::processEventsNow() {
    if (showProgress_) showProgress_();
    QCoreApplication::processEvents();
    last_ = std::chrono::steady_clock::now();
}

} // namespace vintrel
