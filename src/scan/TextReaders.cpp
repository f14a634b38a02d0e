#include "TextReaders.h"

#include "Errors.h"
#include "Formatting.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace vintrel {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// Reads [sign] digits [separator digits] [e [sign] digits], all of the text.
std::optional<double> ReadDecimal(std::string_view text, std::string_view separator) {
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++digits;
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
        i += separator.size();
        plain += '.';
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
        size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            plain += text[i++], ++exponentDigits;
        if (exponentDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const char* begin = plain.data() + (plain[0] == '+' ? 1 : 0);
    const auto result = std::from_chars(begin, plain.data() + plain.size(), value);
    if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) return std::nullopt;
    return value;
}

// The length of the direction mark at `pos` that some date patterns carry (LRM, RLM, ALM),
// or 0.
size_t MarkAt(std::string_view text, size_t pos) {
    if (pos > text.size()) return 0;
    const std::string_view rest = text.substr(pos);
    if (rest.rfind("\xE2\x80\x8E", 0) == 0 || rest.rfind("\xE2\x80\x8F", 0) == 0) return 3;
    if (rest.rfind("\xD8\x9C", 0) == 0) return 2;
    return 0;
}

void SkipBlanksAndMarks(std::string_view text, size_t& pos) {
    for (;;) {
        if (pos < text.size() && text[pos] == ' ') {
            ++pos;
        } else if (const size_t mark = MarkAt(text, pos)) {
            pos += mark;
        } else {
            return;
        }
    }
}

// Reads unsigned digits at `pos`; skips blanks and marks before them.
std::optional<int64_t> ReadNumberAt(std::string_view text, size_t& pos) {
    SkipBlanksAndMarks(text, pos);
    const size_t start = pos;
    int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9) {
        value = value * 10 + (text[pos++] - '0');
    }
    if (pos == start || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')) {
        return std::nullopt;
    }
    return value;
}

// Reads the separator at `pos`, blanks and marks before it allowed; leaves `pos` alone when
// absent.
bool ReadSeparatorAt(std::string_view text, size_t& pos, std::string_view separator) {
    size_t at = pos;
    SkipBlanksAndMarks(text, at);
    if (separator.empty() || text.substr(at, separator.size()) != separator) return false;
    pos = at + separator.size();
    return true;
}

// The pattern's literal texts as the date writer puts them down (before the first field,
// between the fields and after the last), without blanks and marks at their ends.
using DateLiterals = std::array<std::string, 4>;

std::string_view WithoutBlanksAndMarks(std::string_view text) {
    for (;;) {
        size_t start = 0;
        SkipBlanksAndMarks(text, start);
        text.remove_prefix(start);
        if (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        } else if (text.size() >= 3 && MarkAt(text, text.size() - 3) == 3) {
            text.remove_suffix(3);
        } else if (text.size() >= 2 && MarkAt(text, text.size() - 2) == 2) {
            text.remove_suffix(2);
        } else {
            return text;
        }
    }
}

DateLiterals LiteralsOf(const LocaleSettings& locale) {
    DateLiterals literals = DateTextFormat(locale).dateLiterals();
    for (std::string& literal : literals) literal = WithoutBlanksAndMarks(literal);
    return literals;
}

// Asked for every row of a sort: the last answer is kept.
const DateLiterals& CachedLiteralsOf(const LocaleSettings& locale) {
    thread_local std::string pattern, separator;
    thread_local DateLiterals literals;
    if (pattern != locale.shortDatePattern || separator != locale.dateSeparator) {
        literals = LiteralsOf(locale);
        pattern = locale.shortDatePattern;
        separator = locale.dateSeparator;
    }
    return literals;
}

// Skips `literal` at `pos`, blanks and marks before it allowed; true when it was there.
bool SkipLiteralAt(std::string_view text, size_t& pos, std::string_view literal) {
    if (literal.empty()) return false;
    size_t at = pos;
    SkipBlanksAndMarks(text, at);
    if (text.substr(at, literal.size()) != literal) return false;
    pos = at + literal.size();
    return true;
}

} // namespace

int64_t ReadCountText(std::string_view text) {
    const std::string_view digits = TrimBlanks(text);
    const char* begin = digits.data() + (!digits.empty() && digits[0] == '+' ? 1 : 0);
    int64_t value = 0;
    const auto result = std::from_chars(begin, digits.data() + digits.size(), value);
    if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
        throw ConversionError(Quoted(text) + " is not a valid integer value");
    }
    return value;
}

namespace {

// The number of a size text and its unit's place: 0 KB, 1 MB, 2 GB.
std::pair<double, int> ReadSizeText(std::string_view text, const LocaleSettings& locale) {
    static constexpr std::string_view kUnits[] = {"GB", "MB", "KB"};
    for (int unit = 0; unit < 3; ++unit) {
        const size_t at = text.find(kUnits[unit]);
        if (at == std::string_view::npos) continue;
        const std::string_view number = TrimBlanks(text.substr(0, at));
        const auto value = ReadDecimal(number, locale.decimalSeparator);
        if (!value) throw ConversionError(Quoted(number) + " is not a valid floating point value");
        return {*value, 2 - unit};
    }
    throw ConversionError(Quoted(text) + " is not a valid floating point value");
}

} // namespace

double SizeTextValue(std::string_view text, const LocaleSettings& locale) {
    // GB is scaled by 2^50 and MB by 2^20, so every GB text ranks above every MB text.
    static constexpr double kRankScale[] = {1.0, 1048576.0, 1125899906842624.0};
    const auto [value, unit] = ReadSizeText(text, locale);
    return value * kRankScale[unit];
}

double SizeTextKilobytes(std::string_view text, const LocaleSettings& locale) {
    static constexpr double kKilobytes[] = {1.0, 1024.0, 1048576.0};
    const auto [value, unit] = ReadSizeText(text, locale);
    return value * kKilobytes[unit];
}

LocalDateTime ReadDateText(std::string_view text, const LocaleSettings& locale, int currentYear) {
    const auto fail = [&]() -> LocalDateTime {
        throw ConversionError(Quoted(text) + " is not a valid date and time");
    };
    // The order of day, month and year follows the first of d, M, y, e in the pattern.
    const std::string& pattern = locale.shortDatePattern;
    const size_t first = pattern.find_first_of("dDmMyYeE");
    const char lead = first == std::string::npos ? 'y' : pattern[first];
    int dayAt = 2, monthAt = 1, yearAt = 0; // year, month, day
    if (lead == 'd' || lead == 'D') dayAt = 0, monthAt = 1, yearAt = 2;
    if (lead == 'm' || lead == 'M') monthAt = 0, dayAt = 1, yearAt = 2;

    // Between the fields the date separator, or what the pattern puts there ("dd/MM yyyy");
    // literal text before and after them ("d.MM.yyyy 'г'.") as the pattern has it.
    const DateLiterals& literals = CachedLiteralsOf(locale);
    size_t pos = 0;
    SkipLiteralAt(text, pos, literals[0]);
    int64_t parts[3];
    int yearDigits = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !ReadSeparatorAt(text, pos, locale.dateSeparator) &&
            !SkipLiteralAt(text, pos, literals[i]) && !literals[i].empty()) {
            return fail();
        }
        if (i > 0 && pos < text.size() && text[pos] >= '0' && text[pos] <= '9' &&
            text[pos - 1] >= '0' && text[pos - 1] <= '9') {
            return fail(); // two fields need something between them
        }
        SkipBlanksAndMarks(text, pos);
        const size_t start = pos;
        const auto number = ReadNumberAt(text, pos);
        if (!number) return fail();
        parts[i] = *number;
        if (i == yearAt) yearDigits = static_cast<int>(pos - start);
    }
    ReadSeparatorAt(text, pos, locale.dateSeparator); // some patterns end in their separator
    while (const size_t mark = MarkAt(text, pos)) pos += mark; // or in a mark
    SkipLiteralAt(text, pos, literals[3]);                     // or in words

    int64_t year = parts[yearAt];
    if (yearDigits <= 2) {
        const int windowStart = currentYear - 50;
        year += windowStart / 100 * 100;
        if (year < windowStart) year += 100;
    }
    const int month = static_cast<int>(parts[monthAt]);
    const int day = static_cast<int>(parts[dayAt]);
    if (!IsValidDate(year, month, day)) return fail();

    if (pos >= text.size() || text[pos] != ' ') return fail();
    const auto hour = ReadNumberAt(text, pos);
    if (!hour || !ReadSeparatorAt(text, pos, locale.timeSeparator)) return fail();
    const auto minute = ReadNumberAt(text, pos);
    if (!minute || *hour > 23 || *minute > 59) return fail();
    if (!TrimBlanks(text.substr(pos)).empty()) return fail();

    CivilTime t;
    t.year = year, t.month = month, t.day = day;
    t.hour = static_cast<int>(*hour), t.minute = static_cast<int>(*minute);
    return EncodeLocalDateTime(t);
}

int CurrentLocalYear() {
    // Asked once per row of a sort: the answer is kept for a minute.
    thread_local time_t askedAt = -1;
    thread_local int year = 0;
    const time_t now = time(nullptr);
    if (askedAt < 0 || now - askedAt >= 60 || now < askedAt) {
        tm fields{};
        localtime_r(&now, &fields);
        year = fields.tm_year + 1900;
        askedAt = now;
    }
    return year;
}

int CompareSizeValues(double a, double b) {
    const double tolerance = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    if (std::fabs(a - b) <= tolerance) return 0;
    return a < b ? -1 : 1;
}

int CompareDateValues(LocalDateTime a, LocalDateTime b) {
    if (std::fabs(a - b) < 1.0 / 86'400'000.0) return 0;
    return a < b ? -1 : 1;
}

int CompareCounts(int64_t a, int64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace vintrel
