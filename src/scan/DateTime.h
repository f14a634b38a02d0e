#pragma once
// Local date-time: days since 30 December 1899 plus the time of day as a fraction, in
// local wall-clock time. Before that day the number is negative and its fraction, taken
// without sign, is still the time of day.

#include "LocalTime.h"

namespace vintrel {

using LocalDateTime = double;

LocalDateTime EncodeLocalDateTime(const CivilTime& time);
CivilTime DecodeLocalDateTime(LocalDateTime value);

LocalDateTime FileTimeToLocalDateTime(FileTime time);

// Compares whole days only: -1 when the picker's day is earlier than the file's.
int CompareDays(LocalDateTime picker, LocalDateTime file);

// Compares a threshold in KB with a file size in bytes, both rounded to single precision,
// within 0.01 KB.
int CompareSizeKb(double thresholdKb, int64_t fileBytes);

} // namespace vintrel
