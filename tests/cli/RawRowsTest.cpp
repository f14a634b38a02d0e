#include "RawRows.h"
#include "ZoneGuard.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace vintrel;
using vintrel::test::ZoneGuard;

namespace {

// The ISO text as printf writes it, from the local time and the offset in force then; where
// the local date falls outside 1601..9999, in UTC.
std::string PrintedIsoTime(FileTime time) {
    CivilTime local = ToLocalCivilTime(time);
    if (local.year < 1601 || local.year > 9999) {
        const ZoneGuard utc("UTC");
        local = ToLocalCivilTime(time);
    }
    const int64_t utcSeconds = (time - kUnixEpochInTicks) / kTicksPerSecond -
                               ((time - kUnixEpochInTicks) % kTicksPerSecond < 0);
    const int64_t offset = DaysFromCivil(local.year, local.month, local.day) * 86400 +
                           local.hour * 3600 + local.minute * 60 + local.second - utcSeconds;
    const long long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld",
                  static_cast<long long>(local.year), local.month, local.day, local.hour,
                  local.minute, local.second, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

} // namespace

TEST(RawRows, IsoTimesMatchPrintfInEveryZoneAndAtTheEndsOfTheRange) {
    for (const char* zone :
         {"UTC", "Europe/Berlin", "America/St_Johns", "America/New_York", "Asia/Kathmandu"}) {
        ZoneGuard guard(zone);
        for (const int64_t seconds :
             {kFirstUnixSecond, int64_t{-2'500'000'000}, int64_t{-1}, int64_t{0},
              int64_t{1'392'699'960}, int64_t{1'396'141'199}, kLastUnixSecond}) {
            const FileTime time = FileTimeFromUnix(seconds, 500'000'000);
            EXPECT_EQ(IsoLocalTime(time), PrintedIsoTime(time)) << zone << ' ' << seconds;
        }
    }
    ZoneGuard guard("America/St_Johns");
    EXPECT_EQ(IsoLocalTime(FileTimeFromUnix(1'392'699'960, 0)), "2014-02-18T01:36:00-03:30");
    EXPECT_EQ(IsoLocalTime(FileTimeFromUnix(kFirstUnixSecond, 0)), "1601-01-01T00:00:00+00:00");
    ZoneGuard east("Asia/Tokyo");
    EXPECT_EQ(IsoLocalTime(FileTimeFromUnix(kLastUnixSecond, 0)), "9999-12-31T23:59:59+00:00");
}

TEST(RawRows, JsonStringsEscapeQuotesBackslashesAndControlBytesOnly) {
    EXPECT_EQ(JsonString(""), "\"\"");
    EXPECT_EQ(JsonString("a \"b\" c\\d"), "\"a \\\"b\\\" c\\\\d\"");
    EXPECT_EQ(JsonString(std::string("\x01x\n\x1F", 4) + '\0'),
              "\"\\u0001x\\u000a\\u001f\\u0000\"");
    EXPECT_EQ(JsonString("caf\xC3\xA9\x7F"), "\"caf\xC3\xA9\x7F\"");
}
