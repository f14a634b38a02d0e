#include "RowTexts.h"

#include "Utf8.h"

namespace vintrel {

TypeRowTexts MakeTypeRow(const TDataRec& record, std::string description,
                         const LocaleSettings& locale) {
    return {DisplayText(record.Extension), std::move(description), std::to_string(record.Count),
            FormatFileSize(record.TotalSize, locale)};
}

FileRowTexts MakeFileRow(const TFileRec& record, const DateTextFormat& dates,
                         const LocaleSettings& locale) {
    return {DisplayText(record.FileName), dates.format(FileTimeToLocalDateTime(record.Created)),
            dates.format(FileTimeToLocalDateTime(record.Modified)),
            FormatFileSize(record.Size, locale), AttributeLetters(record.Attributes)};
}

void AppendFileRow(std::string& out, const TFileRec& record, const DateTextFormat& dates,
                   const LocaleSettings& locale, char separator) {
    if (IsValidUtf8(record.FileName)) {
        out += record.FileName;
    } else {
        out += DisplayText(record.FileName);
    }
    out += separator;
    dates.appendTo(out, FileTimeToLocalDateTime(record.Created));
    out += separator;
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
