#include "Formatting.h"

#include "FileAttributes.h"

#include <algorithm>
#include <charconv>

namespace vintrel {

namespace {

void AppendNumber(std::string& out, int64_t value, int minimumDigits) {
    char digits[24];
    const bool negative = value < 0;
    const auto magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    if (negative) out += '-';
    for (int pad = minimumDigits - static_cast<int>(end - digits); pad > 0; --pad) out += '0';
    out.append(digits, end);
}

} // namespace

std::string FormatFileSize(int64_t size, const LocaleSettings& locale) {
    constexpr uint64_t kKB = 1024, kMB = 1024 * kKB, kGB = 1024 * kMB;
    // A negative size (a change) takes the unit of its magnitude: "-1.5 MB".
    const bool negative = size < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(size) : static_cast<uint64_t>(size);
    const uint64_t unitSize = magnitude > kGB ? kGB : magnitude > kMB ? kMB : kKB;
    const char* unit = magnitude > kGB ? " GB" : magnitude > kMB ? " MB" : " KB";
    // Hundredths, half rounded up (away from zero); the remainder times 100 cannot overflow.
    const uint64_t hundredths =
        magnitude / unitSize * 100 + (magnitude % unitSize * 100 + unitSize / 2) / unitSize;
    const uint64_t whole = hundredths / 100;
    uint64_t fraction = hundredths % 100;

    std::string text;
    if (negative && hundredths != 0) text += '-';
    AppendNumber(text, static_cast<int64_t>(whole), 1);
    if (fraction != 0) {
        text += locale.decimalSeparator;
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    text += unit;
    return text;
}

std::string AttributeLetters(uint32_t attributes) {
    std::string letters;
    if (attributes & kAttrReadOnly) letters += 'R';
    if (attributes & kAttrHidden) letters += 'H';
    if (attributes & kAttrSystem) letters += 'S';
    if (attributes & kAttrArchive) letters += 'A';
    if (attributes & kAttrCompressed) letters += 'C';
    return letters;
}

DateTextFormat::DateTextFormat(const LocaleSettings& locale) : locale_(&locale) {
    const std::string& pattern = locale.shortDatePattern;
    const auto literal = [&](std::string_view text) {
        if (tokens_.empty() || tokens_.back().kind != Kind::Literal) {
            tokens_.push_back({Kind::Literal, 0, {}});
        }
        tokens_.back().text += text;
    };
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == 'd' || c == 'M' || c == 'y') {
            size_t run = 1;
            while (i + run < pattern.size() && pattern[i + run] == c) ++run;
            const Kind kind = c == 'd' ? Kind::Day : c == 'M' ? Kind::Month : Kind::Year;
            tokens_.push_back({kind, static_cast<int>(run), {}});
            i += run;
        } else if (c == '\'') {
            // Quoted text; two quotes stand for one.
            size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '\'') {
                literal("'");
                i = j + 1;
                continue;
            }
            std::string quoted;
            for (; j < pattern.size(); ++j) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        quoted += '\'';
                        ++j;
                    } else {
                        break;
                    }
                } else {
                    quoted += pattern[j];
                }
            }
            literal(quoted);
            i = j + 1;
        } else if (c == '/') {
            literal(locale.dateSeparator);
            ++i;
        } else {
            literal(std::string_view(&pattern[i], 1));
            ++i;
        }
    }
    literal(" ");
    tokens_.push_back({Kind::Hour, 2, {}});
    literal(locale.timeSeparator);
    tokens_.push_back({Kind::Minute, 2, {}});
}

void DateTextFormat::appendTo(std::string& out, LocalDateTime value) const {
    const CivilTime t = DecodeLocalDateTime(value);
    for (const Token& token : tokens_) {
        switch (token.kind) {
        case Kind::Literal:
            out += token.text;
            break;
        case Kind::Day:
            if (token.width <= 2) {
                AppendNumber(out, t.day, token.width);
            } else {
                const int64_t weekday = ((DaysFromCivil(t.year, t.month, t.day) % 7) + 11) % 7;
                const auto& names =
                    token.width == 3 ? locale_->shortDayNames : locale_->longDayNames;
                out += names[static_cast<size_t>(weekday)];
            }
            break;
        case Kind::Month:
            if (token.width <= 2) {
                AppendNumber(out, t.month, token.width);
            } else {
                const auto& names =
                    token.width == 3 ? locale_->shortMonthNames : locale_->longMonthNames;
                out += names[static_cast<size_t>(t.month - 1)];
            }
            break;
        case Kind::Year:
            if (token.width <= 2) {
                AppendNumber(out, ((t.year % 100) + 100) % 100, 2);
            } else {
                AppendNumber(out, t.year, 4);
            }
            break;
        case Kind::Hour:
            AppendNumber(out, t.hour, 2);
            break;
        case Kind::Minute:
            AppendNumber(out, t.minute, 2);
            break;
        }
    }
}

std::array<std::string, 4> DateTextFormat::dateLiterals() const {
    std::array<std::string, 4> literals;
    size_t part = 0;
    for (const Token& token : tokens_) {
        if (token.kind == Kind::Hour) break;
        if (token.kind == Kind::Literal) {
            literals[part] += token.text;
        } else {
            part = std::min<size_t>(part + 1, 3);
        }
    }
    return literals;
}

std::string DateTextFormat::format(LocalDateTime value) const {
    std::string out;
    appendTo(out, value);
    return out;
}

std::string FormatFileDate(LocalDateTime value, const LocaleSettings& locale) {
    return DateTextFormat(locale).format(value);
}

} // namespace vintrel
