#pragma once
// A saved scan may come from another machine, where a path names another file than here.
// Before a command changes a file listed from a saved scan, the local file must be the one
// the scan recorded.

#include "FolderReader.h"

#include <string>

namespace vintrel {

struct RecordCheck {
    FileIdentity identity; // of the local file, for the command's own later checks
    std::string mismatch;  // why it is not the recorded file; empty when it is
};

// The local entry at `path` must be a file of the recorded size and modification time (to
// the second where the scan kept no finer time).
RecordCheck CheckRecordedFile(const std::string& path, int64_t size, FileTime modified);

// The entries of `paths` that do not exist here (not even as a dangling link).
std::vector<std::string> MissingHere(const std::vector<std::string>& paths);

} // namespace vintrel
