#include "SystemLocale.h"
#include "Formatting.h"
#include "TextReaders.h"
#include "ZoneGuard.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <QLocale>

using namespace vintrel;

TEST(SystemLocale, SettingsOfCommonLocales) {
    const LocaleSettings us = LocaleSettingsFrom(QLocale("en_US"));
    EXPECT_EQ(us.shortDatePattern, "M/d/yyyy"); // Qt's two-digit year, shown with four
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
    const vintrel::test::ZoneGuard zone("Europe/Berlin");
    const FileTime beforeChange = FileTimeFromUnix(1396141199, 0); // 01:59:59 CET
    const FileTime afterChange = FileTimeFromUnix(1396141200, 0);  // 03:00:00 CEST
    const FileTime winter = FileTimeFromUnix(1389787200, 0);
    const FileTime summer = FileTimeFromUnix(1405425600, 0);
    const std::pair<const char*, const char*> expected[] = {{"en_US", "3/30/2014 01:59"},
                                                            {"en_GB", "30/03/2014 01:59"},
                                                            {"de_DE", "30.03.2014 01:59"},
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
}

// A date and a size written in any locale Qt knows read back as they were.
TEST(SystemLocale, EveryLocaleReadsBackWhatItWrites) {
    const vintrel::test::ZoneGuard zone("UTC");
    const LocalDateTime date =
        FileTimeToLocalDateTime(FileTimeFromUnix(1404396300, 0));               // 2014-07-03 14:05
    const LocalDateTime old = FileTimeToLocalDateTime(FileTimeFromUnix(60, 0)); // 1970
    int failures = 0;
    for (const QLocale& qtLocale : QLocale::matchingLocales(
             QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const LocaleSettings locale = LocaleSettingsFrom(qtLocale);
        const std::string name = qtLocale.name().toStdString();
        const DateTextFormat dates(locale);
        for (const LocalDateTime value : {date, old}) {
            const std::string text = dates.format(value);
            try {
                const LocalDateTime back = ReadDateText(text, locale, 2026);
                if (std::abs(back - value) > 1.0 / 1440) {
                    ++failures;
                    ADD_FAILURE() << name << ": " << text;
                }
            } catch (const std::exception& error) {
                ++failures;
                ADD_FAILURE() << name << ": " << text << " (" << locale.shortDatePattern << ")";
            }
        }
        const LocaleSettings c = LocaleSettings::C();
        for (const int64_t bytes : {int64_t{1536} * 1024 + 512, int64_t{1000}}) {
            const std::string size = FormatFileSize(bytes, locale);
            try {
                EXPECT_EQ(SizeTextValue(size, locale), SizeTextValue(FormatFileSize(bytes, c), c))
                    << name << ": " << size;
            } catch (const std::exception&) {
                ++failures;
                ADD_FAILURE() << name << ": " << size;
            }
        }
        if (failures > 40) break;
    }
}
