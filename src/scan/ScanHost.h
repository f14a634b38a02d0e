#pragma once
// What a walk needs from whoever runs it: the search options, read afresh for every file,
// the progress values, and the event pump called once per directory entry.

#include "DateTime.h"
#include "FolderMask.h"
#include "Wildcard.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vintrel {

// Item indexes of the comparison combo boxes: 0 After/Greater, 1 Equal to, 2 Before/Less,
// -1 none chosen (passes nothing).
struct SearchOptions {
    bool excludeHidden = true;
    bool excludeSystem = true;

    bool attribsChk = false;
    bool readChk = false;
    bool archiveChk = false;

    bool singleFile = false;
    WildcardPattern fileType;
    bool inFile = false;
    WildcardPattern inText;

    bool fileCreated = false;
    int fileCreatedIndex = -1;
    LocalDateTime createDate = 0;

    bool fileModified = false;
    int fileModifiedIndex = -1;
    LocalDateTime modDate = 0;

    bool fileSize = false;
    int fileSizeIndex = -1;
    double fileSizeKb = 0;

    // Folders not entered: by name, or by path below the root.
    std::vector<FolderMask> excludeFolders;
    // Folders on another file system than the root's are not entered.
    bool oneFileSystem = false;
    // Sizes are the bytes allocated on disk, and a file with several links counts once.
    bool diskUsage = false;

    // Any option that makes a search list files instead of counting types.
    bool anyFilter() const {
        return inFile || singleFile || fileCreated || fileModified || attribsChk || fileSize;
    }
};

class ScanHost {
  public:
    virtual ~ScanHost() = default;

    // Read once for every file; a change applies from the next file on.
    virtual const SearchOptions& options() = 0;
    // Called once for every directory entry, before it is counted.
    virtual void processEvents() = 0;
    // The CountLabel value: files counted into the type statistics.
    virtual void typedFileCountChanged(int64_t typedFileCount) = 0;
    // The FileCount values: entries visited and records listed.
    virtual void fileCountChanged(int64_t visitedCount, size_t listedCount) = 0;
};

// A host that keeps the progress values for showing them when it chooses to.
class ProgressKeepingHost : public ScanHost {
  public:
    void typedFileCountChanged(int64_t typedFileCount) override {
        typedFileCount_ = typedFileCount;
    }
    void fileCountChanged(int64_t visitedCount, size_t listedCount) override {
        visitedCount_ = visitedCount;
        listedCount_ = listedCount;
    }
    int64_t typedFileCount() const { return typedFileCount_; }
    int64_t visitedCount() const { return visitedCount_; }
    size_t listedCount() const { return listedCount_; }
    void resetProgress() { typedFileCount_ = visitedCount_ = 0, listedCount_ = 0; }

  private:
    int64_t typedFileCount_ = 0;
    int64_t visitedCount_ = 0;
    size_t listedCount_ = 0;
};

// Shared between the walk and whoever controls it. StopRequested may be set from any
// thread or a signal handler.
struct ScanState {
    std::atomic<bool> StopRequested{false};
    int64_t VisitedCount = 0;
    int64_t TypedFileCount = 0;
    int64_t UnreadableFolders = 0; // below the root; skipped
    int64_t UnreadableEntries = 0; // listed, but their details could not be read; left out
    int64_t ExcludedFolders = 0;   // left out by a folder mask
    int64_t OtherFileSystems = 0;  // folders on another file system, not entered
    std::string RootError;         // why the root could not be read; empty when it could
};

} // namespace vintrel
