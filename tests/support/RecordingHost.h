#pragma once
// A walk host for tests: options a test can change at any moment, and a hook that runs
// in place of the event pump.

#include "FolderScanner.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vintrel::test {

class RecordingHost : public ScanHost {
  public:
    SearchOptions opts;
    std::function<void()> onEvents; // runs inside each processEvents call
    int64_t pumpCount = 0;
    int64_t lastTypedFileCount = -1;
    int64_t lastVisited = -1;
    size_t lastListed = 0;
    int64_t typedFileCountCalls = 0;

    const SearchOptions& options() override { return opts; }
    void processEvents() override {
        ++pumpCount;
        if (onEvents) onEvents();
    }
    void typedFileCountChanged(int64_t n) override {
        lastTypedFileCount = n;
        ++typedFileCountCalls;
    }
    void fileCountChanged(int64_t visited, size_t listed) override {
        lastVisited = visited;
        lastListed = listed;
    }
};

// A host, state, lists and scanner wired together, with the root collation.
struct ScanRig {
    ScanRig();
    Collation collation{""};
    RecordingHost host;
    ScanState state;
    ResultLists lists{collation};
    FolderScanner scanner{host, state, lists};

    void scan(const std::string& folder, const ScanMode& mode, bool recurse = true) {
        scanner.ScanFolder(folder, recurse, mode);
    }
    // File names listed, relative to `root` + "/".
    std::vector<std::string> listed(const std::string& root) const;
    // Type texts in the order first met.
    std::vector<std::string> types() const;
};

} // namespace vintrel::test
