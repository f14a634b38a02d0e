#pragma once
// The rows for scripts: exact byte counts, ISO 8601 local times with their offset, and JSON
// Lines whose strings are always valid UTF-8 (a name that is not gets its exact bytes in
// base64 beside the shown text).

#include "Records.h"

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// "2014-02-18T05:06:00+01:00": the local wall-clock time and the offset in force then.
std::string IsoLocalTime(FileTime time);
std::string Base64(std::string_view bytes);
// A JSON string of valid UTF-8 text, quotes included.
std::string JsonString(std::string_view text);

// The CSV cells with raw values: sizes in bytes, dates in ISO 8601.
std::vector<std::string> RawTypeCells(const TDataRec& record, std::string_view description);
std::vector<std::string> RawFileCells(const TFileRec& record);

// One JSON object per row.
std::string TypeJson(const TDataRec& record, std::string_view description);
std::string FileJson(const TFileRec& record);

} // namespace vintrel
