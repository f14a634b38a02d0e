#pragma once
// The texts the tables show: size text, attribute letters, date text.

#include "DateTime.h"
#include "LocaleSettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vintrel {

// "0.## KB", "0.## MB" or "0.## GB"; sizes are binary units, rounded half up.
std::string FormatFileSize(int64_t size, const LocaleSettings& locale);

// R, H, S, A, C in that order.
std::string AttributeLetters(uint32_t attributes);

// The short date pattern followed by " hh:nn", compiled once.
class DateTextFormat {
  public:
    explicit DateTextFormat(const LocaleSettings& locale);
    void appendTo(std::string& out, LocalDateTime value) const;
    std::string format(LocalDateTime value) const;
    // The literal texts the date part is written with: before the first field, between the
    // fields and after the last (the blank before the time included).
    std::array<std::string, 4> dateLiterals() const;

  private:
    enum class Kind { Literal, Day, Month, Year, Hour, Minute };
    struct Token {
        Kind kind;
        int width;
        std::string text; // Literal only
    };
    std::vector<Token> tokens_;
    const LocaleSettings* locale_;
};

std::string FormatFileDate(LocalDateTime value, const LocaleSettings& locale);

} // namespace vintrel
