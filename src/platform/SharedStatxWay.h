#pragma once
// One choice of the statx way for all the threads of a walk. Where several threads ask at
// once, what a way costs is what it costs them together: the wall time per name of all of
// them over a stretch in which all asked that way. A ring that keeps one thread's names in
// flight gains nothing where other threads keep the storage busy already, and its workers
// take the cores those threads need; timed group by group, thread by thread, it looks the
// cheaper all the same.

#include "StatxWayChooser.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vintrel {

class SharedStatxWay {
  public:
    using Way = StatxWayChooser::Way;
    // A stretch lasts at least this long and counts at least this many groups: each way's
    // cost is measured over whole stretches, and a stretch holds several groups of each
    // thread, so that the groups it leaves out (begun in the one before) count little.
    static constexpr int64_t kStretchNanoseconds = 500'000;
    static constexpr int64_t kStretchGroups = 64;
    // Stretches between two probes while one way is kept (doubled by each that keeps it).
    static constexpr int64_t kStretchesBetweenProbes = 256;

    // The way for a group that starts at `now` (steady clock, nanoseconds).
    Way next(int64_t now);
    // A group asked `way` for `names` names from `start` to `end`. Groups that started in an
    // earlier stretch, or asked another way than the stretch's, are not counted.
    void took(Way way, int64_t start, int64_t end, int64_t names);
    // A thread could not have a ring: plain for every thread from now on.
    void ringUnavailable();

  private:
    // Every group reads the way and adds its names without the lock; the thread that ends a
    // stretch takes it, and one that finds it taken leaves the ending to the other.
    std::mutex mutex_;
    StatxWayChooser chooser_{kStretchesBetweenProbes}; // under the lock
    std::atomic<bool> started_{false};
    std::atomic<Way> stretchWay_{Way::Plain};
    std::atomic<int64_t> stretchStart_{0};
    std::atomic<int64_t> stretchNames_{0};
    std::atomic<int64_t> stretchGroups_{0};
};

} // namespace vintrel
