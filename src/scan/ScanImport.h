#pragma once
// Reads a saved scan (the JSON scan file of ncdu and gdu, plain, gzip or zstd) and feeds its
// entries, in the order written, to a walk. Fields a writer left out become what the file
// system would have given where it keeps less: no sizes are zero bytes, no birth time is the
// modification time; no modification time leaves the dates unknown, no mode leaves the kind
// of a "notreg" entry unknown (it counts as system) and its attributes unknown.

#include "Compression.h"
#include "FolderScanner.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vintrel {

// What the metadata of a saved scan tells, where it tells it.
struct SavedScanInfo {
    std::string program;   // "ncdu", "gdu", "vintrel2"
    int64_t timestamp = 0; // seconds since 1970; 0 when not given
    std::string host, machine;
};

// Entries whose file gave less than a walk would.
struct MissingFields {
    int64_t modified = 0;         // no modification time
    int64_t birth = 0;            // no birth time
    int64_t mode = 0;             // no mode
    bool allocated = true;        // no entry told its allocated bytes ("dsize")
    int64_t linkWithoutInode = 0; // files of several links without their inode
};

class SavedScanReader : public SavedScanSource {
  public:
    // Reads from `fd` (not closed); `name` is how messages name the file.
    SavedScanReader(int fd, std::string name);
    ~SavedScanReader() override;

    // Throws UserError naming the file and the byte offset of what is wrong.
    void read(SavedScanSink& sink) override;
    const SavedScanInfo& info() const { return info_; }
    const MissingFields& missing() const { return missing_; }
    // Read to the end: a stopped walk leaves the rest unread.
    bool complete() const { return complete_; }
    // The file tells what the disk's own count needs: allocated bytes, and the inode of every
    // file of several links.
    bool carriesDiskUsage() const { return !missing_.allocated && missing_.linkWithoutInode == 0; }

  private:
    class Parser;
    int fd_;
    std::string name_;
    SavedScanInfo info_;
    MissingFields missing_;
    bool complete_ = false;
};

// A descriptor of the regular file at `path`, opened for reading without waiting on a FIFO
// in its place; -1 with errno set (EINVAL: not a regular file) otherwise.
int OpenSavedScanFile(const std::string& path);

// What a saved scan's beginning tells: its metadata and its root's name.
struct SavedScanHeader {
    SavedScanInfo info;
    std::string root;
};

// The beginning of the regular file at `path` when it is a saved scan (plain, gzip or zstd,
// told by its content); nullopt for any other file.
std::optional<SavedScanHeader> ReadSavedScanHeader(const std::string& path);

} // namespace vintrel
