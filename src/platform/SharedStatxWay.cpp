#include "SharedStatxWay.h"

#include <algorithm>

namespace vintrel {

SharedStatxWay::Way SharedStatxWay::next(int64_t now) {
    if (!started_.load(std::memory_order_acquire)) {
        const std::lock_guard lock(mutex_);
        if (!started_.load(std::memory_order_relaxed)) {
            stretchWay_.store(chooser_.next(), std::memory_order_relaxed);
            stretchStart_.store(now, std::memory_order_relaxed);
            started_.store(true, std::memory_order_release);
        }
    }
    return stretchWay_.load(std::memory_order_relaxed);
}

int64_t SharedStatxWay::leastGroups() const {
    if (!probing_.load(std::memory_order_relaxed)) return kStretchGroups;
    const int64_t askers = std::max<int64_t>(1, askers_.load(std::memory_order_relaxed));
    return std::min(kStretchGroups, askers * kProbeStretchGroupsPerAsker);
}

void SharedStatxWay::took(Way way, int64_t start, int64_t end, int64_t names) {
    const int64_t stretchStart = stretchStart_.load(std::memory_order_relaxed);
    if (way != stretchWay_.load(std::memory_order_relaxed) || start < stretchStart) return;
    stretchNames_.fetch_add(names, std::memory_order_relaxed);
    const int64_t groups = stretchGroups_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (end - stretchStart < kStretchNanoseconds || groups < leastGroups()) return;
    const std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || stretchStart_.load(std::memory_order_relaxed) != stretchStart) return;
    const Way ended = stretchWay_.load(std::memory_order_relaxed);
    const int64_t counted = stretchNames_.exchange(0, std::memory_order_relaxed);
    stretchGroups_.store(0, std::memory_order_relaxed);
    if (counted > 0) chooser_.took(ended, end - stretchStart, counted);
    kept_.store(chooser_.kept(), std::memory_order_relaxed);
    probing_.store(chooser_.probing(), std::memory_order_relaxed);
    stretchWay_.store(chooser_.next(), std::memory_order_relaxed);
    stretchStart_.store(end, std::memory_order_relaxed);
}

void SharedStatxWay::ringUnavailable() {
    const std::lock_guard lock(mutex_);
    chooser_.ringUnavailable();
    kept_.store(Way::Plain, std::memory_order_relaxed);
    probing_.store(false, std::memory_order_relaxed);
    stretchWay_.store(Way::Plain, std::memory_order_relaxed);
}

} // namespace vintrel
