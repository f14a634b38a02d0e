#pragma once
// Attribute bits of a directory entry, mapped from Linux file data.

#include <cstdint>
#include <string_view>

namespace vintrel {

inline constexpr uint32_t kAttrReadOnly = 0x01;      // owner lacks write permission, or immutable
inline constexpr uint32_t kAttrHidden = 0x02;        // the name begins with "." (not "." or "..")
inline constexpr uint32_t kAttrSystem = 0x04;        // device, FIFO or socket
inline constexpr uint32_t kAttrDirectory = 0x10;     // a real folder
inline constexpr uint32_t kAttrArchive = 0x20;       // never set on Linux
inline constexpr uint32_t kAttrReparsePoint = 0x400; // a symbolic link
inline constexpr uint32_t kAttrCompressed = 0x800;   // the file system reports it compressed

inline bool IsDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

inline bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.' && !IsDotOrDotDot(name);
}

} // namespace vintrel
