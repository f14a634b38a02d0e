#include "Utf8.h"

#include <cstdint>
#include <cstring>

namespace vintrel {

char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    }
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return kRawByteBase + lead;
    }
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = byteAt(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kRawByteBase + lead;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++pos;
        return kRawByteBase + lead;
    }
    pos += length;
    return code;
}

size_t AsciiRunEnd(std::string_view text, size_t from) {
    size_t end = from;
    for (uint64_t word = 0; end + sizeof word <= text.size(); end += sizeof word) {
        std::memcpy(&word, text.data() + end, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) break;
    }
    while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
    return end;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t pos = AsciiRunEnd(text, 0); pos < text.size(); pos = AsciiRunEnd(text, pos)) {
        if (NextCodePoint(text, pos) >= kRawByteBase) return false;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string DisplayText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (size_t pos = 0; pos < bytes.size();) {
        const char32_t c = NextCodePoint(bytes, pos);
        AppendUtf8(out, c >= kRawByteBase ? U'\uFFFD' : c);
    }
    return out;
}

namespace {

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

template <typename RawByte> std::u16string DecodeToUtf16(std::string_view bytes, RawByte raw) {
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t pos = 0; pos < bytes.size();) {
        const char32_t c = NextCodePoint(bytes, pos);
        AppendUtf16(out, c >= kRawByteBase ? raw(c - kRawByteBase) : c);
    }
    return out;
}

} // namespace

std::u16string ToUtf16Keeping(std::string_view bytes) {
    // A lone low surrogate can come from no UTF-8 text: such a byte meets no character.
    return DecodeToUtf16(bytes, [](char32_t byte) { return char32_t(0xDC00 + byte); });
}

std::u16string ToUtf16(std::string_view bytes) {
    return DecodeToUtf16(bytes, [](char32_t) { return char32_t(0xFFFD); });
}

void AppendUtf16LE(std::string& out, std::string_view utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        // A run of ASCII, most of a CSV line, is widened in one go.
        const size_t end = AsciiRunEnd(utf8, pos);
        if (end > pos) {
            size_t at = out.size();
            out.resize(at + 2 * (end - pos));
            for (; pos < end; ++pos, at += 2) {
                out[at] = utf8[pos];
                out[at + 1] = '\0';
            }
            continue;
        }
        char32_t c = NextCodePoint(utf8, pos);
        if (c >= kRawByteBase) c = 0xFFFD;
        const auto put = [&](char32_t unit) {
            out += static_cast<char>(unit & 0xFF);
            out += static_cast<char>((unit >> 8) & 0xFF);
        };
        if (c < 0x10000) {
            put(c);
        } else {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        }
    }
}

} // namespace vintrel
