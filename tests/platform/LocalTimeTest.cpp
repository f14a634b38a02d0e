#include "LocalTime.h"
#include "ZoneGuard.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace vintrel;

using vintrel::test::ZoneGuard;

TEST(LocalTime, CivilDaysRoundTrip) {
    for (int64_t days : {-2'000'000LL, -109'205LL, -1LL, 0LL, 16'000LL, 2'932'896LL}) {
        int64_t y;
        int m, d;
        CivilFromDays(days, y, m, d);
        EXPECT_EQ(DaysFromCivil(y, m, d), days);
    }
    EXPECT_EQ(DaysFromCivil(1899, 12, 30), -25569);
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_FALSE(IsValidDate(2021, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
}

TEST(LocalTime, EachMomentUsesTheOffsetInForceThen) {
    ZoneGuard zone("Europe/Berlin");
    // 2014-01-15 12:00 UTC is 13:00 in winter; 2014-07-15 12:00 UTC is 14:00 in summer.
    EXPECT_EQ(ToLocalCivilTime(FileTimeFromUnix(1389787200, 0)).hour, 13);
    EXPECT_EQ(ToLocalCivilTime(FileTimeFromUnix(1405425600, 0)).hour, 14);
    // Around the change of 30 March 2014, 01:00 UTC: 01:59:59 CET, then 03:00 CEST.
    const CivilTime before = ToLocalCivilTime(FileTimeFromUnix(1396141199, 999'000'000));
    EXPECT_EQ(before.hour, 1);
    EXPECT_EQ(before.minute, 59);
    EXPECT_EQ(before.millisecond, 999);
    EXPECT_EQ(ToLocalCivilTime(FileTimeFromUnix(1396141200, 0)).hour, 3);
}

TEST(LocalTime, OffsetsThatChangeInsideAnHourAreExact) {
    ZoneGuard zone("Europe/Berlin");
    // Berlin left local mean time (+0:53:28) on 1893-04-01 at 00:00 local.
    const int64_t change = -2422054408;
    const CivilTime lmt = ToLocalCivilTime(FileTimeFromUnix(change - 1, 0));
    const CivilTime cet = ToLocalCivilTime(FileTimeFromUnix(change, 0));
    EXPECT_EQ(lmt.day, 31);
    EXPECT_EQ(lmt.hour, 23);
    EXPECT_EQ(lmt.second, 59);
    EXPECT_EQ(cet.day, 1);
    EXPECT_EQ(cet.hour, 0);
}

TEST(LocalTime, ZeroFileTimeWestOfUtcIsStillADate) {
    ZoneGuard zone("America/New_York");
    const CivilTime t = ToLocalCivilTime(0);
    EXPECT_EQ(t.year, 1600);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 31);
}

TEST(LocalTime, EveryThreadConvertsAlike) {
    ZoneGuard zone("Europe/Berlin");
    // The first day of 1970 and a summer day, as each thread's own offset cache first sees them.
    const FileTime moments[] = {FileTimeFromUnix(0, 0), FileTimeFromUnix(1405425600, 0)};
    int hours[2][2] = {};
    for (int i = 0; i < 2; ++i) hours[0][i] = ToLocalCivilTime(moments[i]).hour;
    std::thread other([&] {
        for (int i = 0; i < 2; ++i) hours[1][i] = ToLocalCivilTime(moments[i]).hour;
    });
    other.join();
    EXPECT_EQ(hours[0][0], 1);
    EXPECT_EQ(hours[0][1], 14);
    EXPECT_EQ(hours[1][0], 1);
    EXPECT_EQ(hours[1][1], 14);
}
