#include "Formatting.h"
#include "TextReaders.h"

#include <gtest/gtest.h>
#include <random>

using namespace vintrel;

namespace {

LocaleSettings Locale(const char* pattern, const char* dateSeparator, const char* decimal = ".") {
    LocaleSettings l;
    l.shortDatePattern = pattern;
    l.dateSeparator = dateSeparator;
    l.decimalSeparator = decimal;
    return l;
}

LocalDateTime At(int year, int month, int day, int hour, int minute, int second = 0, int ms = 0) {
    CivilTime t;
    t.year = year, t.month = month, t.day = day;
    t.hour = hour, t.minute = minute, t.second = second, t.millisecond = ms;
    return EncodeLocalDateTime(t);
}

} // namespace

TEST(Formatting, SizeTextsAndTheirValuesReadBack) {
    const LocaleSettings c = LocaleSettings::C();
    const std::pair<int64_t, const char*> table[] = {{0, "0 KB"},
                                                     {1, "0 KB"},
                                                     {5, "0 KB"},
                                                     {6, "0.01 KB"},
                                                     {128, "0.13 KB"},
                                                     {512, "0.5 KB"},
                                                     {1000, "0.98 KB"},
                                                     {1023, "1 KB"},
                                                     {1024, "1 KB"},
                                                     {1536, "1.5 KB"},
                                                     {1'048'575, "1024 KB"},
                                                     {1'048'576, "1024 KB"},
                                                     {1'048'577, "1 MB"},
                                                     {1'572'864, "1.5 MB"},
                                                     {1'073'741'824, "1024 MB"},
                                                     {1'073'741'825, "1 GB"},
                                                     {4'294'967'296, "4 GB"},
                                                     {5'368'709'120, "5 GB"},
                                                     {17'592'186'044'416, "16384 GB"},
                                                     {INT64_MAX, "8589934592 GB"}};
    for (const auto& [size, text] : table) {
        EXPECT_EQ(FormatFileSize(size, c), text) << size;
        const double kb = SizeTextValue(text, c);
        const double unit = size > 1'073'741'824 ? 1125899906842624.0
                            : size > 1'048'576   ? 1048576.0
                                                 : 1.0;
        const double divisor = size > 1'073'741'824 ? 1073741824.0
                               : size > 1'048'576   ? 1048576.0
                                                    : 1024.0;
        EXPECT_NEAR(kb / unit, static_cast<double>(size) / divisor, 0.005 + 1e-9) << size;
    }
    EXPECT_EQ(FormatFileSize(1'572'864, Locale("dd.MM.yyyy", ".", ",")), "1,5 MB");
    EXPECT_DOUBLE_EQ(SizeTextValue("1,5 MB", Locale("dd.MM.yyyy", ".", ",")), 1.5 * 1048576.0);
    EXPECT_EQ(FormatFileSize(-1'572'864, Locale("dd.MM.yyyy", ".", ",")), "-1,5 MB");
    EXPECT_DOUBLE_EQ(SizeTextValue("-1,5 MB", Locale("dd.MM.yyyy", ".", ",")), -1.5 * 1048576.0);
}

TEST(Formatting, EveryWrittenSizeReadsBackInOrder) {
    const LocaleSettings de = Locale("dd.MM.yy", ".", ",");
    std::mt19937_64 random(11);
    for (int i = 0; i < 20000; ++i) {
        // Changes between two scans are negative too: "-1,5 MB" takes the unit of 1,5 MB.
        const auto sign = [&] { return random() % 2 ? 1 : -1; };
        const int64_t a = sign() * static_cast<int64_t>(random() >> (random() % 63 + 1));
        const int64_t b = sign() * static_cast<int64_t>(random() >> (random() % 63 + 1));
        const double va = SizeTextValue(FormatFileSize(a, de), de);
        const double vb = SizeTextValue(FormatFileSize(b, de), de);
        if (a < b) {
            EXPECT_LE(CompareSizeValues(va, vb), 0) << a << " " << b;
        } else if (a > b) {
            EXPECT_GE(CompareSizeValues(va, vb), 0) << a << " " << b;
        }
    }
}

TEST(Formatting, AttributeLettersInTheirFixedOrder) {
    EXPECT_EQ(AttributeLetters(0x21), "RA");
    EXPECT_EQ(AttributeLetters(0x80), "");
    EXPECT_EQ(AttributeLetters(0x10), "");
    EXPECT_EQ(AttributeLetters(0x827), "RHSAC");
    EXPECT_EQ(AttributeLetters(0x2020), "A");
    EXPECT_EQ(AttributeLetters(0x400), "");
}

TEST(Formatting, DateTextsFollowThePatternAndNeverRoundTheMinuteUp) {
    LocaleSettings gb = Locale("dd/MM/yyyy", "/");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 14, 5, 59), gb), "03/02/2014 14:05");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 14, 5, 59, 999), gb), "03/02/2014 14:05");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 13, 59, 59, 900), gb), "03/02/2014 13:59");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 0, 0), Locale("M/d/yy", "/")), "2/3/14 00:00");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 9, 7), Locale("dd.MM.yy", ".")), "03.02.14 09:07");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 9, 7), Locale("yyyy-MM-dd", "-")), "2014-02-03 09:07");
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 9, 7), Locale("d/M/y", "-")), "3-2-14 09:07");
    EXPECT_EQ(FormatFileDate(At(1899, 12, 29, 18, 0), gb), "29/12/1899 18:00");
    EXPECT_EQ(FormatFileDate(At(1601, 1, 1, 0, 0), gb), "01/01/1601 00:00");
    LocaleSettings quoted = Locale("yyyy'年'M'月'd'日'", "/");
    quoted.timeSeparator = ".";
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 9, 7), quoted), "2014年2月3日 09.07");
    LocaleSettings names = Locale("ddd d MMM yyyy", "/");
    names.shortMonthNames[1] = "Feb";
    names.shortDayNames[1] = "Mon";
    EXPECT_EQ(FormatFileDate(At(2014, 2, 3, 9, 7), names), "Mon 3 Feb 2014 09:07");
}

TEST(Formatting, NegativeLocalDateTimesKeepTheTimeOfDay) {
    EXPECT_DOUBLE_EQ(At(1899, 12, 29, 12, 0), -1.5);
    EXPECT_DOUBLE_EQ(At(1899, 12, 30, 6, 0), 0.25);
    const CivilTime t = DecodeLocalDateTime(-1.5);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 12);
}
