#pragma once
// Copying and moving files into a folder, one at a time: a question before a file is
// replaced, progress with a way to cancel, and a clear message for every file that fails.
// A copy keeps the modification time and permissions, and says so when it cannot. A move
// renames within a file system; across file systems it copies, syncs, checks the copy, then
// deletes the source. Neither a failure nor a cancel leaves a half-written target or loses a
// source, and no file is replaced unasked, also not one that appears while the work runs.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vintrel {

enum class ReplaceAnswer { Yes, YesToAll, No, Cancel };

struct ReplaceQuestion {
    std::string target;
    std::string source;
    // Set when this very operation wrote the target a moment ago, from this other source:
    // an earlier "Yes to all" never covers such a clash.
    std::string earlierSource;
};

struct TransferCallbacks {
    // Asked before an existing file is replaced.
    std::function<ReplaceAnswer(const ReplaceQuestion&)> replace;
    // Told how far the work is, in bytes; false cancels.
    std::function<bool(int64_t done, int64_t total, const std::string& current)> progress;
};

struct TransferReport {
    int done = 0;
    int skipped = 0;     // answered No
    int replacedOwn = 0; // done, replacing a file this operation had written from another source
    bool cancelled = false;
    std::vector<std::string> failures; // one message per file
    std::vector<std::string> notes;    // done, but not quite as asked (permissions, times)
};

enum class TransferKind { Copy, Move };

TransferReport TransferFiles(const std::vector<std::string>& sources, const std::string& folder,
                             TransferKind kind, const TransferCallbacks& callbacks);

} // namespace vintrel
