// The readers of counts, size texts and date texts: any text is read or refused with a
// ConversionError, and what the writers write reads back as the value written.

#include "Errors.h"
#include "Formatting.h"
#include "FuzzCheck.h"
#include "TextReaders.h"

#include <cmath>
#include <string>

using namespace vintrel;

namespace {

LocaleSettings Locale(uint8_t choice) {
    LocaleSettings locale;
    switch (choice % 5) {
    case 1: // German
        locale.decimalSeparator = ",";
        locale.shortDatePattern = "dd.MM.yy";
        locale.dateSeparator = ".";
        break;
    case 2: // American English
        locale.shortDatePattern = "M/d/yy";
        locale.dateSeparator = "/";
        break;
    case 3: // French
        locale.decimalSeparator = ",";
        locale.shortDatePattern = "dd/MM/yyyy";
        locale.dateSeparator = "/";
        break;
    case 4: // Arabic digits' separator, a date with a bidi mark
        locale.decimalSeparator = "\xD9\xAB";
        locale.shortDatePattern = "d\xE2\x80\x8F/M\xE2\x80\x8F/yyyy";
        locale.dateSeparator = "/";
        break;
    default:
        break;
    }
    return locale;
}

template <typename F> void ReadOrRefuse(F read) {
    try {
        read();
    } catch (const ConversionError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const LocaleSettings locale = Locale(input.take<uint8_t>());
    const auto count = input.take<int64_t>();
    const auto bytes = input.take<uint64_t>() & INT64_MAX;
    const auto step = input.take<uint32_t>();
    const auto when = input.take<uint64_t>();
    const std::string_view text = input.rest();

    ReadOrRefuse([&] { ReadCountText(text); });
    ReadOrRefuse([&] { SizeTextValue(text, locale); });
    ReadOrRefuse([&] { ReadDateText(text, locale, 2026); });

    FUZZ_CHECK(ReadCountText(std::to_string(count)) == count);

    // A size text reads back as the number shown, and texts sort as the sizes do.
    const auto fileSize = static_cast<int64_t>(bytes);
    const double value = SizeTextValue(FormatFileSize(fileSize, locale), locale);
    constexpr int64_t kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024;
    const double unit = fileSize > kGB ? kGB : fileSize > kMB ? kMB : kKB;
    const double scale = fileSize > kGB ? 1125899906842624.0 : fileSize > kMB ? kMB : 1.0;
    const double shown = static_cast<double>(fileSize) / unit;
    FUZZ_CHECK(std::fabs(value / scale - shown) <= 0.005 + 1e-12 * shown);
    const int64_t larger = fileSize > INT64_MAX - step ? INT64_MAX : fileSize + step;
    FUZZ_CHECK(CompareSizeValues(value, SizeTextValue(FormatFileSize(larger, locale), locale)) <=
               0);

    // Every minute from 1601 to 9999 reads back as itself; with a two-digit year, every
    // minute of the hundred years the reader puts such years in.
    const bool twoDigitYears = locale.shortDatePattern.find("yyy") == std::string::npos;
    CivilTime civil;
    civil.year =
        twoDigitYears ? 1976 + static_cast<int>(when % 100) : 1601 + static_cast<int>(when % 8399);
    civil.month = 1 + static_cast<int>(when / 8399 % 12);
    civil.day = 1 + static_cast<int>(when / 100'788 % 31);
    civil.hour = static_cast<int>(when / 3'124'428 % 24);
    civil.minute = static_cast<int>(when / 74'986'272 % 60);
    if (civil.day > 28 && civil.month == 2) civil.day = 28;
    if (civil.day > 30 &&
        (civil.month == 4 || civil.month == 6 || civil.month == 9 || civil.month == 11))
        civil.day = 30;
    const LocalDateTime date = EncodeLocalDateTime(civil);
    const std::string dateText = FormatFileDate(date, locale);
    FUZZ_CHECK(CompareDateValues(ReadDateText(dateText, locale, 2026), date) == 0);
    return 0;
}
