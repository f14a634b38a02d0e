// The choice of the way to ask statx, fed with the costs a machine would show.

#include "StatxWayChooser.h"

#include <gtest/gtest.h>

using vintrel::StatxWayChooser;
using Way = StatxWayChooser::Way;

namespace {

// Runs `groups` groups of 64 names, each way costing what `cost` says per name.
void Walk(StatxWayChooser& chooser, int groups, double plainCost, double ringCost,
          int* ringGroups = nullptr) {
    for (int i = 0; i < groups; ++i) {
        const Way way = chooser.next();
        if (ringGroups && way == Way::Ring) ++*ringGroups;
        chooser.took(way, static_cast<int64_t>((way == Way::Ring ? ringCost : plainCost) * 64), 64);
    }
}

} // namespace

TEST(StatxWayChooser, KeepsTheCheaperWayOnceBothAreMeasured) {
    StatxWayChooser dearWorkers; // each statx handed to a kernel worker costs more
    Walk(dearWorkers, 40, 1000, 2000);
    EXPECT_FALSE(dearWorkers.probing());
    EXPECT_EQ(dearWorkers.kept(), Way::Plain);
    int ring = 0;
    Walk(dearWorkers, 1000, 1000, 2000, &ring);
    EXPECT_EQ(ring, 0);

    StatxWayChooser dearCalls; // each system call is expensive: the ring wins
    Walk(dearCalls, 40, 1000, 850);
    EXPECT_EQ(dearCalls.kept(), Way::Ring);

    StatxWayChooser level; // within the hysteresis: plain stays
    Walk(level, 40, 1000, 960);
    EXPECT_EQ(level.kept(), Way::Plain);
}

TEST(StatxWayChooser, ProbesAgainWhenTheStorageStartsToWaitAndFromTimeToTime) {
    StatxWayChooser chooser;
    Walk(chooser, 40, 1000, 2000); // warm: plain
    ASSERT_EQ(chooser.kept(), Way::Plain);
    // Cold folders: every plain statx waits, the ring keeps four in flight.
    Walk(chooser, 200, 40000, 12000);
    EXPECT_EQ(chooser.kept(), Way::Ring);
    // Warm again.
    Walk(chooser, 200, 1000, 2000);
    EXPECT_EQ(chooser.kept(), Way::Plain);

    // Without a change, a probe now and then, and few groups spent on the dearer way.
    int ring = 0;
    Walk(chooser, 3 * StatxWayChooser::kGroupsBetweenProbes, 1000, 2000, &ring);
    EXPECT_GT(ring, 0);
    EXPECT_LT(ring, 3 * 2 * (StatxWayChooser::kProbeNames / 64 + 1));
}

TEST(StatxWayChooser, SpendsLittleOnAWayThatPlainlyLoses) {
    // Where the ring costs several times plain statx, a probe stops as soon as that is clear.
    StatxWayChooser chooser;
    int ring = 0;
    Walk(chooser, 40, 1000, 4000, &ring);
    EXPECT_EQ(chooser.kept(), Way::Plain);
    EXPECT_EQ(ring, StatxWayChooser::kDecisiveProbeNames / 64 + 1);

    // A long walk where nothing changes: each probe that keeps plain waits twice as long for
    // the next, so the dearer way gets a few probes, not one every kGroupsBetweenProbes.
    ring = 0;
    Walk(chooser, 32 * StatxWayChooser::kGroupsBetweenProbes, 1000, 4000, &ring);
    EXPECT_LE(ring, 6 * (StatxWayChooser::kDecisiveProbeNames / 64 + 1));

    // A close call still takes the whole probe before it is decided.
    StatxWayChooser close;
    ring = 0;
    Walk(close, 40, 1000, 1300, &ring);
    EXPECT_EQ(close.kept(), Way::Plain);
    EXPECT_EQ(ring, StatxWayChooser::kProbeNames / 64);

    // Once the storage changes pace, probes come at the first interval again.
    Walk(chooser, 200, 40000, 12000);
    EXPECT_EQ(chooser.kept(), Way::Ring);
}

TEST(StatxWayChooser, WithoutARingItStaysPlain) {
    StatxWayChooser chooser;
    chooser.ringUnavailable();
    int ring = 0;
    Walk(chooser, 100, 40000, 10, &ring);
    EXPECT_EQ(ring, 0);
}
