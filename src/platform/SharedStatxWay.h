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
    // During a probe a stretch counts fewer, this many for each thread that asks (the
    // groups a stretch leaves out are about one a thread): a probe alternates short
    // stretches, and a way that plainly loses is given up after one. On some machines a
    // ring group costs ten times a plain one.
    static constexpr int64_t kProbeStretchGroupsPerAsker = 8;
    // Stretches between two probes while one way is kept (doubled by each that keeps it).
    static constexpr int64_t kStretchesBetweenProbes = 256;

    // The way for a group that starts at `now` (steady clock, nanoseconds).
    Way next(int64_t now);
    // Whether groups now ask the way the last probe did not choose, as a trial of it: then
    // they may take longer than the storage does (on some machines the ring's workers take
    // the cores from the threads that read).
    bool trying() const {
        return stretchWay_.load(std::memory_order_relaxed) != kept_.load(std::memory_order_relaxed);
    }
    // A group asked `way` for `names` names from `start` to `end`. Groups that started in an
    // earlier stretch, or asked another way than the stretch's, are not counted.
    void took(Way way, int64_t start, int64_t end, int64_t names);
    // A thread could not have a ring: plain for every thread from now on.
    void ringUnavailable();
    // A thread starts (or stops) asking through this.
    void askerStarted() { askers_.fetch_add(1, std::memory_order_relaxed); }
    void askerEnded() { askers_.fetch_sub(1, std::memory_order_relaxed); }

  private:
    int64_t leastGroups() const; // for the stretch to end
    // Every group reads the way and adds its names without the lock; the thread that ends a
    // stretch takes it, and one that finds it taken leaves the ending to the other.
    std::mutex mutex_;
    StatxWayChooser chooser_{kStretchesBetweenProbes}; // under the lock
    std::atomic<bool> started_{false};
    std::atomic<Way> stretchWay_{Way::Plain};
    std::atomic<Way> kept_{Way::Plain};
    std::atomic<bool> probing_{true};
    std::atomic<int64_t> askers_{0};
    std::atomic<int64_t> stretchStart_{0};
    std::atomic<int64_t> stretchNames_{0};
    std::atomic<int64_t> stretchGroups_{0};
};

} // namespace vintrel
