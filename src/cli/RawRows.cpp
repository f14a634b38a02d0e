#include "RawRows.h"

#include "Formatting.h"
#include "Utf8.h"

#include <cstdio>

namespace vintrel {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// "name": the text, and "name_base64": the exact bytes when they are not UTF-8.
std::string NameFields(const char* name, std::string_view bytes) {
    std::string out = '"' + std::string(name) + "\":" + JsonString(DisplayText(bytes));
    if (!IsValidUtf8(bytes))
        out += ",\"" + std::string(name) + "_base64\":\"" + Base64(bytes) + '"';
    return out;
}

} // namespace

std::string IsoLocalTime(FileTime time) {
    const CivilTime local = ToLocalCivilTime(time);
    const int64_t unixSeconds = FloorDiv(time - kUnixEpochInTicks, kTicksPerSecond);
    const int64_t localSeconds = DaysFromCivil(local.year, local.month, local.day) * 86400 +
                                 local.hour * 3600 + local.minute * 60 + local.second;
    const int64_t offset = localSeconds - unixSeconds;
    const int64_t offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld",
                  static_cast<long long>(local.year), local.month, local.day, local.hour,
                  local.minute, local.second, offset < 0 ? '-' : '+',
                  static_cast<long long>(offsetMinutes / 60),
                  static_cast<long long>(offsetMinutes % 60));
    return text;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t n = static_cast<uint8_t>(bytes[i]) << 16 |
                           static_cast<uint8_t>(bytes[i + 1]) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]);
        for (const int shift : {18, 12, 6, 0}) out += kDigits[(n >> shift) & 63];
    }
    if (const size_t rest = bytes.size() - i; rest > 0) {
        uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
        if (rest == 2) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += rest == 2 ? kDigits[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::vector<std::string> RawTypeCells(const TDataRec& record, std::string_view description) {
    return {DisplayText(record.Extension), std::string(description), std::to_string(record.Count),
            std::to_string(record.TotalSize)};
}

std::vector<std::string> RawFileCells(const TFileRec& record) {
    return {DisplayText(record.FileName), IsoLocalTime(record.Created),
            IsoLocalTime(record.Modified), std::to_string(record.Size),
            AttributeLetters(record.Attributes)};
}

std::string TypeJson(const TDataRec& record, std::string_view description) {
    return '{' + NameFields("type", record.Extension) +
           ",\"description\":" + JsonString(DisplayText(description)) +
           ",\"count\":" + std::to_string(record.Count) +
           ",\"bytes\":" + std::to_string(record.TotalSize) + '}';
}

std::string FileJson(const TFileRec& record) {
    return '{' + NameFields("path", record.FileName) + ",\"created\":\"" +
           IsoLocalTime(record.Created) + "\",\"modified\":\"" + IsoLocalTime(record.Modified) +
           "\",\"bytes\":" + std::to_string(record.Size) + ",\"attributes\":\"" +
           AttributeLetters(record.Attributes) + "\"}";
}

} // namespace vintrel
