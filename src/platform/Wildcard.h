#pragma once
// File-name patterns: ";" separates patterns, blanks before a pattern are skipped,
// "*" matches any run of characters and "?" one character, letter case is ignored, and
// "*.*" alone matches every name. An empty pattern list matches nothing; a pattern that is
// empty after its blanks matches only the empty name. U+FFFD in a pattern also matches a
// byte that is not UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

class WildcardPattern {
  public:
    WildcardPattern() = default; // matches nothing
    explicit WildcardPattern(std::string_view patternText);

    bool matches(std::string_view subject) const;
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    bool matchesEverything_ = false;
    std::vector<std::u32string> masks_; // case-folded
};

// One-shot form of WildcardPattern(pattern).matches(subject).
bool PathMatchSpec(std::string_view subject, std::string_view pattern);

// Simple case folding of one code point; undecodable bytes stay as they are.
char32_t FoldCase(char32_t c);

} // namespace vintrel
