#include "LocalTime.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

long OffsetAt(int64_t unixSeconds) {
    const time_t t = static_cast<time_t>(unixSeconds);
    tm fields{};
    if (!localtime_r(&t, &fields)) return 0;
    return fields.tm_gmtoff;
}

// localtime_r costs far more than the arithmetic around it, and a listing converts two
// times per file. Offsets are cached per UTC day, enough slots for decades of dates; a day
// in which the offset changes is never cached.
struct OffsetCache {
    static constexpr size_t kSlots = 16384;
    struct Slot {
        int64_t day;
        int32_t offset;
        bool filled; // zeroed memory is an empty cache
    };
    Slot slots[kSlots];
    unsigned generation;
};

struct FreeCache {
    void operator()(OffsetCache* cache) const { std::free(cache); }
};

// Each thread that converts times has its own cache, made on first use from zeroed memory
// that the system provides page by page as slots are filled: an initialised cache in every
// thread's own storage was copied into each new thread, 64 page faults for each.
thread_local std::unique_ptr<OffsetCache, FreeCache> tlsCache;
unsigned globalGeneration = 0;

long CachedOffsetAt(int64_t unixSeconds) {
    std::unique_ptr<OffsetCache, FreeCache>& cache = tlsCache;
    if (!cache || cache->generation != globalGeneration) {
        cache.reset(static_cast<OffsetCache*>(std::calloc(1, sizeof(OffsetCache))));
        if (!cache) return OffsetAt(unixSeconds);
        cache->generation = globalGeneration;
    }
    const int64_t day = FloorDiv(unixSeconds, 86400);
    OffsetCache::Slot& slot = cache->slots[static_cast<uint64_t>(day) % OffsetCache::kSlots];
    if (slot.filled && slot.day == day) return slot.offset;
    const long atStart = OffsetAt(day * 86400);
    const long atEnd = OffsetAt(day * 86400 + 86399);
    if (atStart != atEnd) return OffsetAt(unixSeconds);
    slot = {day, static_cast<int32_t>(atStart), true};
    return atStart;
}

} // namespace

int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& year, int& month, int& day) {
    z += 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}

bool IsValidDate(int64_t year, int month, int day) {
    if (month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= last;
}

namespace {

// The wall-clock time whose offset from UTC `offsetAt` gives for that moment.
CivilTime CivilTimeAt(FileTime time, int64_t (*offsetAt)(int64_t seconds)) {
    const int64_t seconds = UnixSecondsOf(time);
    const int64_t subTicks = time - kUnixEpochInTicks - seconds * kTicksPerSecond;
    const int64_t local = seconds + offsetAt(seconds);
    const int64_t days = FloorDiv(local, 86400);
    const int64_t secondOfDay = local - days * 86400;
    CivilTime out;
    CivilFromDays(days, out.year, out.month, out.day);
    out.hour = static_cast<int>(secondOfDay / 3600);
    out.minute = static_cast<int>(secondOfDay / 60 % 60);
    out.second = static_cast<int>(secondOfDay % 60);
    out.millisecond = static_cast<int>(subTicks / 10'000);
    return out;
}

} // namespace

CivilTime ToLocalCivilTime(FileTime time) {
    return CivilTimeAt(time, CachedOffsetAt);
}

CivilTime ToUtcCivilTime(FileTime time) {
    return CivilTimeAt(time, [](int64_t) { return int64_t{0}; });
}

int64_t UnixTimeFromLocal(const CivilTime& local) {
    tm fields{};
    fields.tm_year = static_cast<int>(local.year - 1900);
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&fields));
}

void LocalTimeZoneChanged() {
    tzset();
    ++globalGeneration;
}

bool FollowLocalTimeZone() {
    // TZ as it is set, and the identity of the system zone file and of what it links to.
    std::string seen = "TZ=";
    if (const char* tz = std::getenv("TZ")) seen += tz;
    seen += '\n';
    struct stat st {};
    if (stat("/etc/localtime", &st) == 0) {
        seen += std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
                std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
    }
    char target[4096];
    const ssize_t length = readlink("/etc/localtime", target, sizeof target);
    if (length > 0) seen.append(target, static_cast<size_t>(length));
    static std::mutex mutex;
    static std::string last;
    const std::lock_guard lock(mutex);
    if (seen == last) return false;
    last = std::move(seen);
    LocalTimeZoneChanged();
    return true;
}

} // namespace vintrel
