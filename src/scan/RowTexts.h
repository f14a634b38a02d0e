#pragma once
// The cell texts of one row of the type table and of the file table, as both the window
// and the command line show them.

#include "Formatting.h"
#include "Records.h"

#include <array>
#include <string>

namespace vintrel {

inline constexpr std::array<const char*, 4> kTypeColumns = {"Type", "Description", "Count", "Size"};
inline constexpr std::array<const char*, 5> kFileColumns = {"Filename", "Date Created",
                                                            "Date modified", "Size", "Attribs"};

using TypeRowTexts = std::array<std::string, 4>;
using FileRowTexts = std::array<std::string, 5>;

// The type text as shown (bytes that are not UTF-8 as U+FFFD), the given description,
// the count in plain decimal and the size text of the total.
TypeRowTexts MakeTypeRow(const TDataRec& record, std::string description,
                         const LocaleSettings& locale);

FileRowTexts MakeFileRow(const TFileRec& record, const DateTextFormat& dates,
                         const LocaleSettings& locale);

// The same five texts appended to `out`, each followed by `separator`: a table row made
// without a string per cell.
void AppendFileRow(std::string& out, const TFileRec& record, const DateTextFormat& dates,
                   const LocaleSettings& locale, char separator);

// "%d/%d" of the entries visited and the records listed.
std::string FileCountText(int64_t visitedCount, size_t listedCount);

} // namespace vintrel
