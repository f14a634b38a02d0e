#pragma once
// The desktop's trash (freedesktop trash through GIO), where the file manager can restore
// what was deleted, and deleting many files with it.

#include "FolderReader.h"

#include <functional>
#include <string>
#include <vector>

namespace vintrel {

struct TrashResult {
    enum class Outcome { Trashed, NotSupported, Failed };
    Outcome outcome;
    std::string message; // GIO's reason when not trashed
};

TrashResult MoveToTrash(const std::string& path);

// Removes a file for good; empty when done, else why not.
std::string DeleteForGood(const std::string& path);

enum class DeleteAnswer { Yes, YesToAll, No, Cancel };

struct DeleteCallbacks {
    // Asked before a file that cannot go to the trash is deleted for good; gets GIO's reason.
    std::function<DeleteAnswer(const std::string& path, const std::string& why)> forGood;
    // Told how many files are done; false cancels.
    std::function<bool(size_t done, size_t total, const std::string& current)> progress;
};

struct DeleteReport {
    std::vector<bool> gone; // per path: the file is no longer there
    int kept = 0;           // answered No
    bool cancelled = false;
    std::vector<std::string> failures; // one message per file
};

// Sends each file to the trash, in the order given; where the trash cannot take one, asks
// before deleting it for good. A file counts as gone only when it is no longer there.
// An entry that is now a folder, or another file than `identities` says was listed (where
// known), is left as it is and counted as failed. The trash goes by path: between this
// check and the trash a short window remains.
DeleteReport DeleteFiles(const std::vector<std::string>& paths, const DeleteCallbacks& callbacks,
                         const std::vector<FileIdentity>& identities = {});

} // namespace vintrel
