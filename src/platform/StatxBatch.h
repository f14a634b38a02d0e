#pragma once
// statx for a group of names in one folder. Where the kernel allows io_uring, the group can go
// to it in one system call and run on its workers: from the page cache that saves a system
// call per name, and from the storage several inodes are fetched at once; but each name is
// handed to a kernel worker, which on some machines costs more than it saves. So both ways
// are timed as the walk goes and the cheaper one is used (SharedStatxWay). Where the kernel
// refuses io_uring (an old kernel, a sandbox) each name is asked with plain statx. The
// answers are plain statx's either way.

#include "SharedStatxWay.h"

#include <array>
#include <cstddef>
#include <sys/stat.h>

struct io_uring;

namespace vintrel {

class StatxBatch {
  public:
    // The most names asked at once.
    static constexpr size_t kGroup = 64;

    // statx's flags and mask, the same for every name. With `sharedWay` the way is chosen
    // for all the batches that share it, as their threads ask together; without, this batch
    // chooses alone.
    StatxBatch(int flags, unsigned mask, SharedStatxWay* sharedWay = nullptr);
    ~StatxBatch();
    StatxBatch(const StatxBatch&) = delete;
    StatxBatch& operator=(const StatxBatch&) = delete;

    // Asks for `count` (at most kGroup) names in the open folder `folder`. The names must
    // stay valid until it returns. The ring is set up on the first call, by the thread
    // that uses it.
    void ask(int folder, const char* const* names, size_t count);
    // After ask(): 0 and name i's details, or statx's errno for it.
    int error(size_t i) const { return errors_[i]; }
    const struct statx& details(size_t i) const { return details_[i]; }

    // For tests: whether the last ask() went through io_uring.
    bool askedThroughRing() const { return lastThroughRing_; }
    // For tests: batches set up from now on ask with plain statx, as where io_uring is refused.
    static void refuseRings(bool refuse);
    // For the bench and tests: every batch asks one way only, or chooses (nullptr); at the
    // start, VINTREL_STATX_WAY=plain|ring in the environment says the same.
    static void forceWay(const StatxWayChooser::Way* way);
    // For tests: every ring group takes at least this long, as where the ring's workers are
    // slow to start and to run.
    static void slowRingGroups(int64_t nanoseconds);

  private:
    // False when the ring failed; names it did not answer keep kUnanswered.
    bool askThroughRing(int folder, const char* const* names, size_t count);
    void setUpRing();
    void dropRing();

    int flags_;
    unsigned mask_;
    io_uring* ring_ = nullptr;
    bool ringTried_ = false;
    bool lastThroughRing_ = false;
    bool ringStarted_ = false; // its first group, which starts the ring's workers, was asked
    SharedStatxWay ownWay_;
    SharedStatxWay* way_; // ownWay_ or the one shared
    std::array<int, kGroup> errors_{};
    std::array<struct statx, kGroup> details_{};
};

} // namespace vintrel
