#include "JsonText.h"

#include <charconv>

namespace vintrel {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    size_t plain = 0; // start of the run not yet written
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        if (byte >= 0x20) {
            out += '\\';
            out += static_cast<char>(byte);
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    out.append(text, plain);
    out += '"';
}

void AppendJsonInteger(std::string& out, int64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

} // namespace vintrel
