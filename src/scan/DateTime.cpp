#include "DateTime.h"

#include <cmath>

namespace vintrel {

namespace {
constexpr int64_t kDayZero = -25569; // 1899-12-30 in days from 1970-01-01
constexpr double kMillisecondsPerDay = 86'400'000.0;
} // namespace

LocalDateTime EncodeLocalDateTime(const CivilTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day) - kDayZero;
    const double fraction =
        (t.hour * 3'600'000.0 + t.minute * 60'000.0 + t.second * 1000.0 + t.millisecond) /
        kMillisecondsPerDay;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

CivilTime DecodeLocalDateTime(LocalDateTime value) {
    const double whole = std::trunc(value);
    auto ms = static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMillisecondsPerDay));
    if (ms >= 86'400'000) ms = 86'399'999; // never carry into the next day
    CivilTime t;
    CivilFromDays(static_cast<int64_t>(whole) + kDayZero, t.year, t.month, t.day);
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

LocalDateTime FileTimeToLocalDateTime(FileTime time) {
    CivilTime local = ToLocalCivilTime(time);
    // The first and last UTC moments a date shows fall in 1600 west of Greenwich and in
    // 10000 east of it: the shown time stays within the dates.
    if (local.year > 9999) local = CivilTime{9999, 12, 31, 23, 59, 59, 999};
    if (local.year < 1601) local = CivilTime{1601, 1, 1, 0, 0, 0, 0};
    return EncodeLocalDateTime(local);
}

int CompareDays(LocalDateTime picker, LocalDateTime file) {
    if (std::trunc(picker) == std::trunc(file)) return 0;
    return picker < file ? -1 : 1;
}

int CompareSizeKb(double thresholdKb, int64_t fileBytes) {
    const float a = static_cast<float>(thresholdKb);
    const float b = static_cast<float>(static_cast<long double>(fileBytes) / 1024.0L);
    const float tolerance = 0.01f;
    const long double difference = static_cast<long double>(a) - static_cast<long double>(b);
    if (std::fabs(difference) <= static_cast<long double>(tolerance)) return 0;
    return a < b ? -1 : 1;
}

} // namespace vintrel
