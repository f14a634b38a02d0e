// One way for every thread of a walk, chosen by what it costs them together.

#include "SharedStatxWay.h"

#include <gtest/gtest.h>
#include <vector>

using vintrel::SharedStatxWay;
using Way = SharedStatxWay::Way;

namespace {

// `threads` threads each ask a group of 20 names and then read the next folder (40 us), side
// by side, for `nanoseconds`. A plain group takes `plainGroup` ns, a ring group `ringGroup`; the
// ring's workers take the cores the threads need, which makes their reading `ringDrag`
// times slower. Timed group by group the ring can look cheaper and still cost the walk more.
// Returns the groups asked through the ring.
int Walk(SharedStatxWay& shared, int64_t& now, int64_t nanoseconds, int64_t plainGroup,
         int64_t ringGroup, double ringDrag, int threads = 8) {
    constexpr int64_t kReading = 40'000;
    for (int i = 0; i < threads; ++i) shared.askerStarted();
    std::vector<int64_t> threadClock(static_cast<size_t>(threads), now);
    const int64_t end = now + nanoseconds;
    int ringGroups = 0;
    for (bool any = true; any;) {
        any = false;
        for (int64_t& clock : threadClock) {
            if (clock >= end) continue;
            any = true;
            const Way way = shared.next(clock);
            const bool ring = way == Way::Ring;
            const int64_t took = ring ? ringGroup : plainGroup;
            shared.took(way, clock, clock + took, 20);
            clock += took + static_cast<int64_t>(double(kReading) * (ring ? ringDrag : 1.0));
            ringGroups += ring;
        }
    }
    now = end;
    for (int i = 0; i < threads; ++i) shared.askerEnded();
    return ringGroups;
}

} // namespace

TEST(SharedStatxWay, TheWayThatCostsTheThreadsTogetherLessIsKept) {
    SharedStatxWay dearWorkers;
    int64_t now = 0;
    // A ring group takes 60 % of a plain one, and its workers make reading 2.5 times slower:
    // 160 us a folder against plain's 140.
    Walk(dearWorkers, now, 20'000'000, 100'000, 60'000, 2.5);
    const int ring = Walk(dearWorkers, now, 200'000'000, 100'000, 60'000, 2.5);
    EXPECT_LT(ring, 200) << "a probe's worth of ring groups, of about 11,000";

    SharedStatxWay dearCalls; // the ring costs them less together: it is kept
    now = 0;
    Walk(dearCalls, now, 20'000'000, 100'000, 60'000, 1.0);
    EXPECT_GT(Walk(dearCalls, now, 100'000'000, 100'000, 60'000, 1.0), 7000);
}

TEST(SharedStatxWay, GroupsOfAnEarlierStretchOrAnotherWayAreNotCounted) {
    SharedStatxWay shared;
    const Way first = shared.next(1);
    const Way other = first == Way::Ring ? Way::Plain : Way::Ring;
    constexpr int64_t kLength = SharedStatxWay::kStretchNanoseconds;
    // A long group of the other way, or one begun before the stretch, would make the first
    // way look dear: neither is counted, nor ends the stretch.
    shared.took(other, 1, 50 * kLength, 20);
    for (int i = 0; i < 2 * SharedStatxWay::kStretchGroups; ++i)
        shared.took(first, 0, 2 * kLength, 20);
    EXPECT_EQ(shared.next(2 * kLength), first);
    // Enough groups of its own (for a probe's stretch, of one thread), over its whole
    // length: the stretch ends, the probe goes on.
    shared.askerStarted();
    for (int i = 1; i < SharedStatxWay::kProbeStretchGroupsPerAsker; ++i)
        shared.took(first, 1 + i, kLength + 1 + i, 20);
    EXPECT_EQ(shared.next(kLength + 100), first) << "one group short";
    shared.took(first, 100, kLength + 200, 20);
    EXPECT_EQ(shared.next(kLength + 300), other);
}

TEST(SharedStatxWay, AWayThatPlainlyLosesIsGivenUpAfterAShortStretch) {
    // Two threads; a ring group costs ten times a plain one. The walk's first probe asks the
    // ring for a few groups a thread, not for a long stretch's 64.
    SharedStatxWay shared;
    int64_t now = 0;
    EXPECT_LE(Walk(shared, now, 50'000'000, 50'000, 500'000, 1.0, 2),
              4 * SharedStatxWay::kProbeStretchGroupsPerAsker);
}

TEST(SharedStatxWay, OneThreadWithoutARingMakesItPlainForAll) {
    SharedStatxWay shared;
    int64_t now = 0;
    shared.ringUnavailable();
    EXPECT_EQ(Walk(shared, now, 50'000'000, 100'000, 10'000, 1.0), 0);
}
