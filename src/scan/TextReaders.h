#pragma once
// Reading the table texts back: counts, size texts and date texts, and how two values
// rank. A text that cannot be read raises ConversionError naming it.

#include "DateTime.h"
#include "LocaleSettings.h"

#include <cstdint>
#include <string_view>

namespace vintrel {

// A count as written with "%d".
int64_t ReadCountText(std::string_view text);

// A size text in KB (GB is scaled by 2^50 and MB by 2^20, so every GB text ranks above
// every MB text and every MB text above every KB text).
double SizeTextValue(std::string_view text, const LocaleSettings& locale);
// The amount a size text stands for, in KB (a MB is 1024 KB, a GB 1024 MB); what the bars of
// shares are drawn from.
double SizeTextKilobytes(std::string_view text, const LocaleSettings& locale);

// A date text; one- and two-digit years fall in the hundred years from currentYear - 50.
LocalDateTime ReadDateText(std::string_view text, const LocaleSettings& locale, int currentYear);
int CurrentLocalYear();

// Equal within 10^-12 relative (at least 10^-12 absolute).
int CompareSizeValues(double a, double b);
// Equal within one millisecond.
int CompareDateValues(LocalDateTime a, LocalDateTime b);
int CompareCounts(int64_t a, int64_t b);

} // namespace vintrel
