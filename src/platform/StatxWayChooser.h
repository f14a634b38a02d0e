#pragma once
// Which way of asking statx costs less on the machine at hand, found by measuring both: the
// ring saves a system call per name where system calls are dear and keeps the storage busy
// when it has to wait, but hands each name to a kernel worker, which on some machines costs
// more than it saves. The cost is wall time per name, so that requests in flight count.

#include <cstdint>

namespace vintrel {

class StatxWayChooser {
  public:
    enum class Way { Plain, Ring };

    // Names a probe asks each way before it compares them.
    static constexpr int64_t kProbeNames = 384;
    // A probe ends sooner, after this many names each way, where one way costs at least
    // kDecisive times the other: a walk spends little on a way that plainly loses.
    static constexpr int64_t kDecisiveProbeNames = 96;
    static constexpr double kDecisive = 2.0;
    // Groups between two probes while one way is kept, at first. Each probe that keeps the
    // way doubles the wait, up to 16 times this; a switch or a change in the storage's pace
    // starts it afresh.
    static constexpr int64_t kGroupsBetweenProbes = 2048;
    // The other way is taken only where it costs less than this share of the kept one's.
    static constexpr double kSwitchBelow = 0.92;

    explicit StatxWayChooser(int64_t groupsBetweenProbes = kGroupsBetweenProbes)
        : firstGroupsBetweenProbes_(groupsBetweenProbes),
          groupsBetweenProbes_(groupsBetweenProbes) {}

    // The way for the next group.
    Way next() const;
    // How long the group asked the way next() gave took, and for how many names.
    void took(Way way, int64_t nanoseconds, int64_t names);
    // No ring can be had: plain from now on.
    void ringUnavailable();

    Way kept() const { return kept_; }
    bool probing() const { return probing_; }

  private:
    struct Cost {
        int64_t nanoseconds = 0;
        int64_t names = 0;
        double perName() const { return names ? double(nanoseconds) / double(names) : 0; }
    };
    void startProbe();
    bool decided() const;
    void settle();

    bool ringAllowed_ = true;
    bool probing_ = true;
    Way kept_ = Way::Plain;
    Cost probe_[2]; // per way, during a probe
    Way probeTurn_ = Way::Ring;
    double keptCost_ = 0;    // per name, as the last probe found it
    double recentCost_ = 0;  // per name, a running mean of the kept way since then
    int64_t groupsKept_ = 0; // since the last probe
    int64_t firstGroupsBetweenProbes_;
    int64_t groupsBetweenProbes_;
};

} // namespace vintrel
