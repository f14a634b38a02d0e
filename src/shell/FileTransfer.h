#pragma once
// Copying and moving files into a folder, one at a time: a question before a file is
// replaced, progress with a way to cancel, and a clear message for every file that fails.
// A copy keeps the modification time and permissions. A move renames within a file
// system; across file systems it copies, checks the copy, then deletes the source. Neither
// a failure nor a cancel leaves a half-written target or loses a source.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vintrel {

enum class ReplaceAnswer { Yes, YesToAll, No, Cancel };

struct TransferCallbacks {
    // Asked before an existing file is replaced; gets the target path.
    std::function<ReplaceAnswer(const std::string& target)> replace;
    // Told how far the work is, in bytes; false cancels.
    std::function<bool(int64_t done, int64_t total, const std::string& current)> progress;
};

struct TransferReport {
    int done = 0;
    int skipped = 0; // answered No
    bool cancelled = false;
    std::vector<std::string> failures; // one message per file
};

enum class TransferKind { Copy, Move };

TransferReport TransferFiles(const std::vector<std::string>& sources, const std::string& folder,
                             TransferKind kind, const TransferCallbacks& callbacks);

} // namespace vintrel
