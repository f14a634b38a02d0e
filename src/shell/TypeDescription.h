#pragma once
// The desktop's name for a file type, from the shared MIME database.

#include <string>
#include <string_view>

namespace vintrel {

// The MIME comment of "x" + type text (localised as the desktop is); where the database
// knows none, the extension without its dot in capitals followed by " File", or "File"
// when nothing is left. At most 80 characters; answers are cached per type text.
std::string GetTypeDescription(std::string_view typeText);

// The text used when the database knows the type not.
std::string FallbackTypeDescription(std::string_view typeText);

} // namespace vintrel
