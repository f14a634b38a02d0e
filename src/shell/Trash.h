#pragma once
// The desktop's trash (freedesktop trash through GIO), where the file manager can restore
// what was deleted.

#include <string>

namespace vintrel {

struct TrashResult {
    enum class Outcome { Trashed, NotSupported, Failed };
    Outcome outcome;
    std::string message; // GIO's reason when not trashed
};

TrashResult MoveToTrash(const std::string& path);

// Removes a file for good; empty when done, else why not.
std::string DeleteForGood(const std::string& path);

} // namespace vintrel
