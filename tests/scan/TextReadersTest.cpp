#include "TextReaders.h"
#include "Errors.h"
#include "Formatting.h"

#include <gtest/gtest.h>

using namespace vintrel;

namespace {

LocaleSettings Locale(const char* pattern, const char* dateSeparator) {
    LocaleSettings l;
    l.shortDatePattern = pattern;
    l.dateSeparator = dateSeparator;
    return l;
}

LocalDateTime At(int year, int month, int day, int hour, int minute) {
    CivilTime t;
    t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute;
    return EncodeLocalDateTime(t);
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(TextReaders, SizesRankAcrossUnits) {
    const LocaleSettings c = LocaleSettings::C();
    const char* ascending[] = {"0 KB",    "1023.99 KB", "1024 KB", "1 MB",
                               "1024 MB", "1 GB",       "16384 GB"};
    for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
        EXPECT_EQ(
            CompareSizeValues(SizeTextValue(ascending[i], c), SizeTextValue(ascending[i + 1], c)),
            -1)
            << ascending[i];
    }
    EXPECT_EQ(CompareSizeValues(SizeTextValue(FormatFileSize(1000, c), c),
                                SizeTextValue(FormatFileSize(1001, c), c)),
              0);
    EXPECT_EQ(CompareSizeValues(0, 1e-13), 0);
    EXPECT_EQ(CompareSizeValues(1e15, 1e15 + 999), 0);
    EXPECT_EQ(CompareSizeValues(1e15, 1e15 + 1001), -1);
}

TEST(TextReaders, CountsReadAsDecimalNumbers) {
    EXPECT_EQ(ReadCountText("9"), 9);
    EXPECT_EQ(ReadCountText("100"), 100);
    EXPECT_LT(CompareCounts(ReadCountText("9"), ReadCountText("10")), 0);
    EXPECT_EQ(MessageOf([] { ReadCountText("1,000"); }), "'1,000' is not a valid integer value");
    EXPECT_EQ(MessageOf([] { ReadCountText(""); }), "'' is not a valid integer value");
}

TEST(TextReaders, DatesReadBackInTheirLocaleOrder) {
    const LocaleSettings gb = Locale("dd/MM/yyyy", "/");
    EXPECT_DOUBLE_EQ(ReadDateText("03/02/2014 14:05", gb, 2026), At(2014, 2, 3, 14, 5));
    EXPECT_EQ(CompareDateValues(ReadDateText("10/12/2014 08:00", gb, 2026),
                                ReadDateText("02/01/2015 07:00", gb, 2026)),
              -1);
    EXPECT_DOUBLE_EQ(ReadDateText("2/3/14 09:07", Locale("M/d/yy", "/"), 2026),
                     At(2014, 2, 3, 9, 7));
    EXPECT_DOUBLE_EQ(ReadDateText("2014-02-03 09:07", Locale("yyyy-MM-dd", "-"), 2026),
                     At(2014, 2, 3, 9, 7));
    LocaleSettings hu = Locale("yyyy. MM. dd.", ".");
    EXPECT_DOUBLE_EQ(ReadDateText(FormatFileDate(At(2014, 2, 3, 9, 7), hu), hu, 2026),
                     At(2014, 2, 3, 9, 7));
}

TEST(TextReaders, TwoDigitYearsFallInAHundredYearWindow) {
    const LocaleSettings yy = Locale("dd/MM/yy", "/");
    EXPECT_DOUBLE_EQ(ReadDateText("03/02/14 10:00", yy, 2015), At(2014, 2, 3, 10, 0));
    EXPECT_DOUBLE_EQ(ReadDateText("03/02/70 10:00", yy, 2015), At(1970, 2, 3, 10, 0));
    EXPECT_DOUBLE_EQ(ReadDateText("03/02/65 10:00", yy, 2015), At(1965, 2, 3, 10, 0));
    EXPECT_DOUBLE_EQ(ReadDateText("03/02/64 10:00", yy, 2015), At(2064, 2, 3, 10, 0));
}

TEST(TextReaders, UnreadableTextsNameThemselves) {
    const LocaleSettings gb = Locale("dd/MM/yyyy", "/");
    EXPECT_EQ(MessageOf([&] { ReadDateText("3 Feb 2014 10:00", gb, 2026); }),
              "'3 Feb 2014 10:00' is not a valid date and time");
    EXPECT_FALSE(MessageOf([&] { ReadDateText("31/02/2014 10:00", gb, 2026); }).empty());
    EXPECT_FALSE(MessageOf([&] { ReadDateText("03/02/2014", gb, 2026); }).empty());
    EXPECT_FALSE(MessageOf([&] { ReadDateText("03/02/2014 24:00", gb, 2026); }).empty());
    EXPECT_EQ(MessageOf([&] { SizeTextValue("x KB", gb); }),
              "'x' is not a valid floating point value");
    EXPECT_EQ(MessageOf([&] { SizeTextValue("1.5 KB", Locale("d.M.y", ".")); }), "");
    LocaleSettings comma = gb;
    comma.decimalSeparator = ",";
    EXPECT_EQ(MessageOf([&] { SizeTextValue("1.5 KB", comma); }),
              "'1.5' is not a valid floating point value");
}

TEST(TextReaders, DatesWithinAMillisecondRankEqual) {
    EXPECT_EQ(CompareDateValues(1.0, 1.0 + 0.5 / 86'400'000.0), 0);
    EXPECT_EQ(CompareDateValues(1.0, 1.0 + 2.0 / 86'400'000.0), -1);
}

TEST(TextReaders, DatesWithDirectionMarksReadBack) {
    // Arabic short dates carry a right-to-left mark before each separator.
    const LocaleSettings arabic = Locale("d\xE2\x80\x8F/M\xE2\x80\x8F/yyyy", "/");
    const LocalDateTime value = At(1601, 1, 2, 3, 4);
    const std::string text = FormatFileDate(value, arabic);
    EXPECT_EQ(text, "2\xE2\x80\x8F/1\xE2\x80\x8F/1601 03:04");
    EXPECT_EQ(CompareDateValues(ReadDateText(text, arabic, 2026), value), 0);
}
