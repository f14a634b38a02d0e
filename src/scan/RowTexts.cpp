#include "RowTexts.h"

#include "Utf8.h"

namespace vintrel {

TypeRowTexts MakeTypeRow(const TDataRec& record, std::string description,
                         const LocaleSettings& locale) {
    return {DisplayText(record.Extension), std::move(description), std::to_string(record.Count),
            FormatFileSize(record.TotalSize, locale)};
}

namespace {

// The date cell of a file time; empty where the time is not known.
std::string DateCell(const DateTextFormat& dates, FileTime time) {
    return time == kUnknownFileTime ? std::string() : dates.format(FileTimeToLocalDateTime(time));
}

} // namespace

FileRowTexts MakeFileRow(const TFileRec& record, const DateTextFormat& dates,
                         const LocaleSettings& locale) {
    return {DisplayText(record.FileName), DateCell(dates, record.Created),
            DateCell(dates, record.Modified), FormatFileSize(record.Size, locale),
            AttributeLetters(record.Attributes)};
}

void AppendFileRow(std::string& out, const TFileRec& record, const DateTextFormat& dates,
                   const LocaleSettings& locale, char separator) {
    if (IsValidUtf8(record.FileName)) {
        out += record.FileName;
    } else {
        out += DisplayText(record.FileName);
    }
    out += separator;
    if (record.Created != kUnknownFileTime)
        dates.appendTo(out, FileTimeToLocalDateTime(record.Created));
    out += separator;
    if (record.Modified != kUnknownFileTime)
        dates.appendTo(out, FileTimeToLocalDateTime(record.Modified));
    out += separator;
    out += FormatFileSize(record.Size, locale);
    out += separator;
    out += AttributeLetters(record.Attributes);
    out += separator;
}

std::string FileCountText(int64_t visitedCount, size_t listedCount) {
    return std::to_string(visitedCount) + "/" + std::to_string(listedCount);
}

} // namespace vintrel
