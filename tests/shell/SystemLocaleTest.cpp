#include "SystemLocale.h"
#include "Formatting.h"
#include "TextReaders.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <QLocale>

using namespace vintrel;

TEST(SystemLocale, SettingsOfCommonLocales) {
    const LocaleSettings us = LocaleSettingsFrom(QLocale("en_US"));
    EXPECT_EQ(us.shortDatePattern, "M/d/yy");
    EXPECT_EQ(us.dateSeparator, "/");
    EXPECT_EQ(us.timeSeparator, ":");
    EXPECT_EQ(us.decimalSeparator, ".");
    const LocaleSettings gb = LocaleSettingsFrom(QLocale("en_GB"));
    EXPECT_EQ(gb.shortDatePattern, "dd/MM/yyyy");
    const LocaleSettings de = LocaleSettingsFrom(QLocale("de_DE"));
    EXPECT_EQ(de.dateSeparator, ".");
    EXPECT_EQ(de.decimalSeparator, ",");
    const LocaleSettings c = LocaleSettingsFrom(QLocale::c());
    EXPECT_EQ(c.shortDatePattern, "yyyy-MM-dd");
    EXPECT_EQ(c.dateSeparator, "-");
}

// Written date texts read back to the same minute in every locale, on both sides of a
// change to summer time.
TEST(SystemLocale, DateTextsRoundTripAcrossDaylightSaving) {
    setenv("TZ", "Europe/Berlin", 1);
    LocalTimeZoneChanged();
    const FileTime beforeChange = FileTimeFromUnix(1396141199, 0); // 01:59:59 CET
    const FileTime afterChange = FileTimeFromUnix(1396141200, 0);  // 03:00:00 CEST
    const FileTime winter = FileTimeFromUnix(1389787200, 0);
    const FileTime summer = FileTimeFromUnix(1405425600, 0);
    const std::pair<const char*, const char*> expected[] = {{"en_US", "3/30/14 01:59"},
                                                            {"en_GB", "30/03/2014 01:59"},
                                                            {"de_DE", "30.03.14 01:59"},
                                                            {"C", "2014-03-30 01:59"}};
    for (const auto& [name, text] : expected) {
        const LocaleSettings locale =
            LocaleSettingsFrom(std::string(name) == "C" ? QLocale::c() : QLocale(name));
        const DateTextFormat dates(locale);
        EXPECT_EQ(dates.format(FileTimeToLocalDateTime(beforeChange)), text) << name;
        EXPECT_EQ(
            dates.format(FileTimeToLocalDateTime(afterChange)).substr(std::string(text).size() - 5),
            "03:00")
            << name;
        for (const FileTime time : {beforeChange, afterChange, winter, summer}) {
            const LocalDateTime value = FileTimeToLocalDateTime(time);
            const LocalDateTime back = ReadDateText(dates.format(value), locale, 2026);
            EXPECT_LT(value - back, 1.0 / 1440) << name;
            EXPECT_GE(value - back, 0.0) << name;
        }
    }
    EXPECT_EQ(DateTextFormat(LocaleSettings::C()).format(FileTimeToLocalDateTime(winter)),
              "2014-01-15 13:00");
    EXPECT_EQ(DateTextFormat(LocaleSettings::C()).format(FileTimeToLocalDateTime(summer)),
              "2014-07-15 14:00");
    unsetenv("TZ");
    LocalTimeZoneChanged();
}
