#include "StatxBatch.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <liburing.h>
#include <memory>
#include <utility>

namespace vintrel {

namespace {

using Way = StatxWayChooser::Way;

std::atomic<bool> gRingsRefused{false};
constexpr int kUnanswered = -1;
constexpr unsigned kMaxWorkers = 4;
constexpr int kChoose = -1;

int WayFromEnvironment() {
    const char* way = std::getenv("VINTREL_STATX_WAY");
    if (way && std::strcmp(way, "plain") == 0) return static_cast<int>(Way::Plain);
    if (way && std::strcmp(way, "ring") == 0) return static_cast<int>(Way::Ring);
    return kChoose;
}
std::atomic<int> gForcedWay{WayFromEnvironment()};
std::atomic<int64_t> gRingGroupAtLeast{0};

int64_t NowNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// For tests: a ring group that began at `start` lasts at least what slowRingGroups() set.
void WaitOutSlowRingGroup(int64_t start) {
    const int64_t left =
        start + gRingGroupAtLeast.load(std::memory_order_relaxed) - NowNanoseconds();
    if (left <= 0) return;
    const timespec pause{static_cast<time_t>(left / 1'000'000'000), left % 1'000'000'000};
    nanosleep(&pause, nullptr);
}

} // namespace

StatxBatch::StatxBatch(int flags, unsigned mask, SharedStatxWay* sharedWay)
    : flags_(flags), mask_(mask), way_(sharedWay ? sharedWay : &ownWay_) {
    way_->askerStarted();
}

StatxBatch::~StatxBatch() {
    way_->askerEnded();
    if (ring_ == nullptr) return;
    io_uring_queue_exit(ring_);
    delete ring_;
}

void StatxBatch::refuseRings(bool refuse) {
    gRingsRefused.store(refuse);
}

void StatxBatch::forceWay(const Way* way) {
    gForcedWay.store(way ? static_cast<int>(*way) : kChoose);
}

void StatxBatch::slowRingGroups(int64_t nanoseconds) {
    gRingGroupAtLeast.store(nanoseconds);
}

void StatxBatch::setUpRing() {
    ringTried_ = true;
    if (gRingsRefused.load() || gForcedWay.load() == static_cast<int>(Way::Plain)) {
        way_->ringUnavailable();
        return;
    }
    auto ring = std::make_unique<io_uring>();
    if (io_uring_queue_init(kGroup, ring.get(), 0) != 0) { // ENOSYS, EPERM, ENOMEM
        way_->ringUnavailable();
        return;
    }
    // A statx that waits for the storage holds a kernel worker; by default a ring may have
    // four per core. A few each are enough for the storage and keep the threads of a walk
    // with several readers bounded on large machines (kernels before 5.15 keep theirs).
    unsigned maxWorkers[2] = {kMaxWorkers, 0}; // bounded, unbounded (0: unchanged)
    io_uring_register_iowq_max_workers(ring.get(), maxWorkers);
    ring_ = ring.release();
}

void StatxBatch::dropRing() {
    if (ring_ == nullptr) return;
    way_->ringUnavailable(); // a ring that failed here would fail for the other threads too
    io_uring_queue_exit(ring_);
    delete ring_;
    ring_ = nullptr;
}

void StatxBatch::ask(int folder, const char* const* names, size_t count) {
    if (count == 0) return;
    if (!ringTried_) setUpRing();
    errors_.fill(kUnanswered);
    const int forced = gForcedWay.load(std::memory_order_relaxed);
    const int64_t start = NowNanoseconds();
    const Way way = forced != kChoose ? static_cast<Way>(forced) : way_->next(start);
    lastThroughRing_ = ring_ != nullptr && way == Way::Ring;
    if (lastThroughRing_) {
        if (!askThroughRing(folder, names, count)) dropRing();
        WaitOutSlowRingGroup(start);
    }
    for (size_t i = 0; i < count; ++i) {
        // Names the ring left unanswered are asked plainly, and so is any error but "gone":
        // the ring's own refusals (a kernel without its statx, a worker that could not
        // start) look like statx errors, and errors are rare enough to ask twice.
        const int ringError = errors_[i];
        if (ringError == 0 || ringError == ENOENT) continue;
        errors_[i] = statx(folder, names[i], flags_, mask_, &details_[i]) == 0 ? 0 : errno;
        if (ringError == EINVAL && errors_[i] == 0) dropRing(); // the kernel cannot do it
    }
    if (forced != kChoose) return;
    // The first ring group starts the ring's workers: its time is not the ring's pace.
    if (lastThroughRing_ && !std::exchange(ringStarted_, true)) return;
    const Way asked = lastThroughRing_ ? Way::Ring : Way::Plain;
    way_->took(asked, start, NowNanoseconds(), static_cast<int64_t>(count));
}

bool StatxBatch::askThroughRing(int folder, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        io_uring_sqe* sqe = io_uring_get_sqe(ring_); // the ring has room for a whole group
        io_uring_prep_statx(sqe, folder, names[i], flags_, mask_, &details_[i]);
        io_uring_sqe_set_data64(sqe, i);
    }
    // The kernel writes into details_ until a request completes: every request taken
    // must have completed before this returns, whatever fails.
    size_t taken = 0, completed = 0;
    bool failed = false;
    while (completed < count && !(failed && completed == taken)) {
        if (!failed && taken < count) {
            const int submitted = io_uring_submit_and_wait(ring_, 1);
            if (submitted > 0) {
                taken += static_cast<size_t>(submitted);
            } else if (submitted < 0 && submitted != -EINTR && submitted != -EAGAIN &&
                       submitted != -EBUSY) {
                failed = true; // the names not taken are asked plainly
            }
        } else {
            io_uring_cqe* cqe = nullptr;
            io_uring_wait_cqe(ring_, &cqe); // an interrupted wait is waited again
        }
        unsigned head = 0, seen = 0;
        io_uring_cqe* cqe = nullptr;
        io_uring_for_each_cqe(ring_, head, cqe) {
            errors_[cqe->user_data] = cqe->res < 0 ? -cqe->res : 0;
            ++seen;
        }
        io_uring_cq_advance(ring_, seen);
        completed += seen;
    }
    return !failed;
}

} // namespace vintrel
