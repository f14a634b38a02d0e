#pragma once
// The user's number and date settings that the text forms are written and read with.

#include <array>
#include <string>

namespace vintrel {

struct LocaleSettings {
    std::string decimalSeparator = ".";
    std::string shortDatePattern = "yyyy-MM-dd"; // d, M, y letters; "/" is the date separator
    std::string dateSeparator = "-";
    std::string timeSeparator = ":";
    std::array<std::string, 12> shortMonthNames{}, longMonthNames{};
    std::array<std::string, 7> shortDayNames{}, longDayNames{}; // Sunday first

    // The settings of the C locale.
    static LocaleSettings C() { return {}; }
};

} // namespace vintrel
