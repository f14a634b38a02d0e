#include "Wildcard.h"

#include "Utf8.h"

#include <unicode/uchar.h>

namespace vintrel {

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= kRawByteBase) return c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

namespace {

void DecodeFolded(std::string_view text, std::u32string& out) {
    out.clear();
    for (size_t pos = 0; pos < text.size();) out += FoldCase(NextCodePoint(text, pos));
}

// "*" and "?" over code points, with backtracking to the last star only. U+FFFD, which
// stands for a byte that is not UTF-8 wherever a name is shown, matches such a byte, so a
// type text taken from the table finds the files it was made from.
bool MatchOne(const std::u32string& mask, const std::u32string& subject) {
    size_t m = 0, s = 0;
    size_t starMask = std::u32string::npos, starSubject = 0;
    while (s < subject.size()) {
        if (m < mask.size() && mask[m] == U'*') {
            starMask = m++;
            starSubject = s;
        } else if (m < mask.size() && (mask[m] == U'?' || mask[m] == subject[s] ||
                                       (mask[m] == U'\uFFFD' && subject[s] >= kRawByteBase))) {
            ++m, ++s;
        } else if (starMask != std::u32string::npos) {
            m = starMask + 1;
            s = ++starSubject;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == U'*') ++m;
    return m == mask.size();
}

} // namespace

WildcardPattern::WildcardPattern(std::string_view patternText) : text_(patternText) {
    if (patternText == "*.*") {
        matchesEverything_ = true;
        return;
    }
    size_t start = 0;
    while (start < patternText.size()) {
        size_t end = patternText.find(';', start);
        if (end == std::string_view::npos) end = patternText.size();
        std::string_view piece = patternText.substr(start, end - start);
        while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
        std::u32string mask;
        DecodeFolded(piece, mask);
        masks_.push_back(std::move(mask));
        start = end + 1; // a ";" at the very end opens no further pattern
    }
}

bool WildcardPattern::matches(std::string_view subject) const {
    if (matchesEverything_) return true;
    if (masks_.empty()) return false;
    thread_local std::u32string folded;
    DecodeFolded(subject, folded);
    for (const std::u32string& mask : masks_) {
        if (MatchOne(mask, folded)) return true;
    }
    return false;
}

bool PathMatchSpec(std::string_view subject, std::string_view pattern) {
    return WildcardPattern(pattern).matches(subject);
}

} // namespace vintrel
