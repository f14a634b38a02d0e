#pragma once
// Names on Linux are bytes. These helpers read them as UTF-8 where they can and keep
// every byte that is not UTF-8 distinguishable, so nothing is lost before display.

#include <string>
#include <string_view>

namespace vintrel {

// Code points at or above this value stand for one undecodable byte: kRawByteBase + byte.
inline constexpr char32_t kRawByteBase = 0x110000;

// Decodes the code point at `pos` and advances `pos`. An ill-formed sequence yields
// kRawByteBase + its first byte and advances by one byte.
char32_t NextCodePoint(std::string_view text, size_t& pos);

bool IsValidUtf8(std::string_view text);

// Where the run of ASCII bytes that starts at `from` ends (eight bytes at a time).
size_t AsciiRunEnd(std::string_view text, size_t from);
inline bool IsAscii(std::string_view text) {
    return AsciiRunEnd(text, 0) == text.size();
}

// The text as it is shown: valid UTF-8, every ill-formed byte replaced by U+FFFD.
std::string DisplayText(std::string_view bytes);

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16 for ICU. Undecodable bytes become lone surrogates U+DC80..U+DCFF, which no valid
// text holds, so that two names differing only in such bytes still compare different and no
// such byte equals a real character.
std::u16string ToUtf16Keeping(std::string_view bytes);

// UTF-16 of the display text.
std::u16string ToUtf16(std::string_view bytes);

// Appends the UTF-16 little-endian bytes of the display text.
void AppendUtf16LE(std::string& out, std::string_view utf8);

} // namespace vintrel
