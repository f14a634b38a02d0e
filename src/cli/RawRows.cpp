#include "RawRows.h"

#include "Formatting.h"
#include "JsonText.h"
#include "Utf8.h"

#include <charconv>

namespace vintrel {

namespace {

// The number with at least `width` characters, zeros after any sign (as printf's "%0*lld").
void AppendDecimal(std::string& out, int64_t value, int width = 0) {
    char digits[24];
    const char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const char* first = digits;
    if (value < 0) out += *first++;
    for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) out += '0';
    out.append(first, end);
}

// The local time with its offset; where the local date falls outside 1601..9999 (the ends
// of the range, west or east of Greenwich), the same moment in UTC.
void AppendIsoLocalTime(std::string& out, FileTime time) {
    if (time == kUnknownFileTime) return; // not recorded: no text
    CivilTime local = ToLocalCivilTime(time);
    const int64_t unixSeconds = UnixSecondsOf(time);
    if (local.year < 1601 || local.year > 9999) local = ToUtcCivilTime(time);
    const int64_t localSeconds = DaysFromCivil(local.year, local.month, local.day) * 86400 +
                                 local.hour * 3600 + local.minute * 60 + local.second;
    const int64_t offset = localSeconds - unixSeconds;
    const int64_t offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    AppendDecimal(out, local.year, 4);
    out += '-';
    AppendDecimal(out, local.month, 2);
    out += '-';
    AppendDecimal(out, local.day, 2);
    out += 'T';
    AppendDecimal(out, local.hour, 2);
    out += ':';
    AppendDecimal(out, local.minute, 2);
    out += ':';
    AppendDecimal(out, local.second, 2);
    out += offset < 0 ? '-' : '+';
    AppendDecimal(out, offsetMinutes / 60, 2);
    out += ':';
    AppendDecimal(out, offsetMinutes % 60, 2);
}

// ,"key":"time", or null where the time is not known.
void AppendTimeField(std::string& out, std::string_view key, FileTime time) {
    out += ",\"";
    out += key;
    out += "\":";
    if (time == kUnknownFileTime) {
        out += "null";
        return;
    }
    out += '"';
    AppendIsoLocalTime(out, time);
    out += '"';
}

// "key": the text, and "key_base64": the exact bytes when they are not UTF-8.
void AppendNameFields(std::string& out, std::string_view key, std::string_view bytes) {
    out += '"';
    out += key;
    out += "\":";
    if (IsValidUtf8(bytes)) {
        AppendJsonString(out, bytes);
        return;
    }
    AppendJsonString(out, DisplayText(bytes));
    out += ",\"";
    out += key;
    out += "_base64\":\"";
    out += Base64(bytes);
    out += '"';
}

} // namespace

std::string IsoLocalTime(FileTime time) {
    std::string out;
    AppendIsoLocalTime(out, time);
    return out;
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
    std::string out;
    AppendJsonString(out, text);
    return out;
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
    std::string out = "{";
    AppendNameFields(out, "type", record.Extension);
    out += ",\"description\":";
    AppendJsonString(out, DisplayText(description));
    out += ",\"count\":";
    AppendDecimal(out, record.Count);
    out += ",\"bytes\":";
    AppendDecimal(out, record.TotalSize);
    out += '}';
    return out;
}

// Built in one string: a listing writes millions of these.
std::string FileJson(const TFileRec& record) {
    std::string out;
    out.reserve(record.FileName.size() + 160);
    out += '{';
    AppendNameFields(out, "path", record.FileName);
    AppendTimeField(out, "created", record.Created);
    AppendTimeField(out, "modified", record.Modified);
    out += ",\"bytes\":";
    AppendDecimal(out, record.Size);
    out += ",\"attributes\":\"";
    out += AttributeLetters(record.Attributes);
    out += "\"}";
    return out;
}

} // namespace vintrel
