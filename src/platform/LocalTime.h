#pragma once
// File times and the local calendar. A file time is a count of 100 ns ticks since
// 1 January 1601 UTC, the form kept in the records.

#include <cstdint>

namespace vintrel {

using FileTime = int64_t;

inline constexpr int64_t kTicksPerSecond = 10'000'000;
inline constexpr int64_t kUnixEpochInTicks = 116'444'736'000'000'000; // 1970-01-01 UTC

// The times a date can show: 1601-01-01 00:00:00 to 9999-12-31 23:59:59 UTC.
inline constexpr int64_t kFirstUnixSecond = -11'644'473'600;
inline constexpr int64_t kLastUnixSecond = 253'402'300'799;

// A time a saved scan did not record: no date is shown for it, and no date filter passes it.
inline constexpr FileTime kUnknownFileTime = INT64_MIN;

// Times outside what a date can show are clamped to its ends.
constexpr FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    if (seconds < kFirstUnixSecond) return 0;
    if (seconds > kLastUnixSecond) seconds = kLastUnixSecond, nanoseconds = 999'999'999;
    return kUnixEpochInTicks + seconds * kTicksPerSecond + nanoseconds / 100;
}

// Whole seconds since 1970, rounded down (a time before 1970 with a fraction is in the
// second before).
constexpr int64_t UnixSecondsOf(FileTime time) {
    const int64_t ticks = time - kUnixEpochInTicks;
    return ticks / kTicksPerSecond - (ticks % kTicksPerSecond < 0);
}

struct CivilTime {
    int64_t year = 1601;
    int month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Days from 1970-01-01 to the given proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, int month, int day);
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day);
bool IsValidDate(int64_t year, int month, int day);

// The file time as local wall-clock time, with the offset in force at that moment.
CivilTime ToLocalCivilTime(FileTime time);
// The same in UTC.
CivilTime ToUtcCivilTime(FileTime time);

// Seconds since 1970 UTC of a local wall-clock time (mktime semantics).
int64_t UnixTimeFromLocal(const CivilTime& local);

// Forget cached zone offsets after TZ or the system zone changed.
void LocalTimeZoneChanged();
// Looks whether TZ or the system zone file (/etc/localtime) changed since the last call (or
// this is the first), and if so forgets the cached offsets; true when it did.
bool FollowLocalTimeZone();

} // namespace vintrel
