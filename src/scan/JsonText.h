#pragma once
// JSON text written by hand, fast: strings with their bytes as they are (only quotes,
// backslashes and control characters escaped) and integers.

#include <cstdint>
#include <string>
#include <string_view>

namespace vintrel {

void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonInteger(std::string& out, int64_t value);

} // namespace vintrel
