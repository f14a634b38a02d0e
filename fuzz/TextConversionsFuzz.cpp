// Names from bytes to text, UTF-16 and CSV: valid output for any input, and nothing lost
// that the format can carry.

#include "Collation.h"
#include "Csv.h"
#include "FuzzCheck.h"
#include "Utf8.h"

#include <string>

using namespace vintrel;

namespace {

// The field as a CSV reader gets it back.
std::string Unquoted(std::string_view written) {
    if (written.empty() || written.front() != '"') return std::string(written);
    FUZZ_CHECK(written.size() >= 2 && written.back() == '"');
    std::string field;
    for (size_t i = 1; i + 1 < written.size(); ++i) {
        field += written[i];
        if (written[i] == '"') {
            FUZZ_CHECK(written[i + 1] == '"');
            ++i;
        }
    }
    return field;
}

std::string Utf8FromUtf16LE(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = static_cast<unsigned char>(bytes[i]) |
                        static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                                 static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 3]))
                                     << 8;
            FUZZ_CHECK(low >= 0xDC00 && low < 0xE000);
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, unit);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The check that skips ASCII words agrees with decoding every code point.
    bool decodes = true;
    for (size_t pos = 0; pos < bytes.size();) decodes &= NextCodePoint(bytes, pos) < kRawByteBase;
    FUZZ_CHECK(IsValidUtf8(bytes) == decodes);

    const std::string shown = DisplayText(bytes);
    FUZZ_CHECK(IsValidUtf8(shown));
    if (IsValidUtf8(bytes)) FUZZ_CHECK(shown == bytes);
    FUZZ_CHECK(ToUtf16(bytes) == ToUtf16(shown));
    FUZZ_CHECK(ToUtf16Keeping(bytes).size() >= ToUtf16(bytes).size());

    // A CSV field comes back as it was, quoted exactly when it must be.
    std::string field;
    AppendCsvField(field, bytes);
    FUZZ_CHECK(Unquoted(field) == bytes);
    const bool special =
        bytes.find_first_of(
            std::string("\",") +
            std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                        "\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20")) !=
        std::string_view::npos;
    FUZZ_CHECK((field.front() == '"') == special || (!special && field.empty()));

    // Texts that are equal rank alike (the order may also tie unequal texts, such as texts
    // differing only in control characters), here for the two halves of the input.
    static const Collation collation("");
    const std::string_view left = bytes.substr(0, bytes.size() / 2);
    const std::string_view right = bytes.substr(bytes.size() / 2);
    if (Collation::equalityKey(left) == Collation::equalityKey(right))
        FUZZ_CHECK(collation.sortKey(left) == collation.sortKey(right));

    // The CSV file: FF FE, then the shown text as UTF-16 little-endian, nothing else.
    const std::string file = CsvFileBytes(bytes);
    FUZZ_CHECK(file.size() == 2 + 2 * ToUtf16(bytes).size());
    FUZZ_CHECK(file.compare(0, 2, "\xFF\xFE") == 0);
    FUZZ_CHECK(Utf8FromUtf16LE(std::string_view(file).substr(2)) == shown);
    return 0;
}
