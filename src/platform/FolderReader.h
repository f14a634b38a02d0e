#pragma once
// Reads one folder at a time as a batch: every entry in listing order ("." and ".."
// included), each non-folder entry with its statx data. Folders are opened relative to
// their parent, so depth has no path-length limit; symbolic links are never followed.

#include "FileAttributes.h"
#include "LocalTime.h"
#include "StatxBatch.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vintrel {

// One directory entry as the walk sees it.
// Which file an entry is, to tell it from another that takes its name later; zero where the
// entry's details could not be read.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;

    bool known() const { return inode != 0; }
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    size_t operator()(const FileIdentity& id) const {
        return std::hash<uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

struct FindRecord {
    std::string_view name; // NUL-terminated in its batch
    uint32_t attributes = 0;
    int64_t size = 0;
    FileTime created = 0; // birth time, or the modification time where none is kept
    FileTime modified = 0;
    // False when the entry is listed but its details cannot be read (a folder that may be
    // listed but not searched): its size, times and kind are then unknown.
    bool detailsKnown = true;
    FileIdentity identity; // of files, and of folders where the reader details them
    // What a saved scan keeps beyond the tables: the inode's mode (0 where unknown), owner,
    // link count and allocated bytes.
    uint32_t mode = 0;
    uint32_t uid = 0, gid = 0;
    uint32_t linkCount = 0;
    int64_t allocated = 0;

    bool isFolder() const { return attributes & kAttrDirectory; }
};

class FolderBatch {
  public:
    size_t size() const { return entries_.size(); }
    FindRecord operator[](size_t i) const;
    void clear();
    // Bytes held for the listing and the entries, used or not.
    size_t memoryKept() const { return listing_.capacity() + entries_.capacity() * sizeof(Entry); }

  private:
    friend class FolderReader;
    struct Entry {
        uint64_t nameOffset; // in the listing
        int64_t size;
        FileTime created, modified;
        uint32_t attributes;
        uint16_t nameLength; // a record's length is 16 bits, so a name's is less
        bool detailsKnown;
        FileIdentity identity;
        uint32_t mode, uid, gid, linkCount;
        int64_t allocated;
    };
    // Bytes that grow without being zeroed or touched first, as the kernel writes them.
    class Listing {
      public:
        Listing() = default;
        Listing(Listing&& other) noexcept { *this = std::move(other); }
        Listing& operator=(Listing&& other) noexcept {
            bytes_ = std::move(other.bytes_);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
            return *this;
        }
        char* data() const { return bytes_.get(); }
        size_t size() const { return size_; }
        size_t capacity() const { return capacity_; }
        void clear() { size_ = 0; }
        // Room for at least `room` more bytes after those used, which are kept.
        void reserveRoom(size_t room);
        // The next `count` bytes of the room have been written.
        void grow(size_t count) { size_ += count; }

      private:
        std::unique_ptr<char[]> bytes_;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };
    // The folder's listing as the kernel wrote it; the entries' names are read in place.
    Listing listing_;
    std::vector<Entry> entries_;
};

// Inline: the walk asks for every entry of every folder, some more than once.
inline FindRecord FolderBatch::operator[](size_t i) const {
    const Entry& e = entries_[i];
    return FindRecord{std::string_view(listing_.data() + e.nameOffset, e.nameLength),
                      e.attributes,
                      e.size,
                      e.created,
                      e.modified,
                      e.detailsKnown,
                      e.identity,
                      e.mode,
                      e.uid,
                      e.gid,
                      e.linkCount,
                      e.allocated};
}

// An open folder; closes itself.
class OpenFolder {
  public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    OpenFolder(OpenFolder&& other) noexcept;
    OpenFolder& operator=(OpenFolder&& other) noexcept;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The device of the file system it lies on. A subfolder opened within its parent's mount
    // is given the parent's device without asking; identify() asks (a btrfs subvolume has a
    // device of its own).
    dev_t device() const { return device_; }
    // Which folder it is, once identified; kept after a close, so that it can be reopened
    // and recognised.
    ino_t inode() const { return inode_; }
    bool identified() const { return identified_; }
    // 0, or the errno of asking an open folder its device and inode.
    int identify();
    void close();

  private:
    friend class FolderReader;
    void setIdentity(const struct stat& st);
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool identified_ = false;
};

// Which devices hold pseudo file systems; shared by the readers of one walk.
class PseudoFileSystems {
  public:
    bool contains(int fd, dev_t device);

  private:
    std::mutex mutex_;
    std::unordered_map<dev_t, bool> byDevice_;
};

// Reads folders; one per thread, each with its own buffer.
class FolderReader {
  public:
    // Returned by openChild for folders on pseudo file systems (proc, sysfs, ...).
    static constexpr int kPseudoFileSystem = -1;
    // A folder on another file system than the root's, when the walk stays on one.
    static constexpr int kOtherFileSystem = -2;

    // With `identifyAll`, every folder opened is identified at once (a walk that must stay
    // on one file system compares each one's device). With `detailFolders`, folder entries
    // are asked their details as files are (a saved scan keeps them). Readers of one walk
    // on several threads share `statxWay`.
    explicit FolderReader(PseudoFileSystems* pseudo = nullptr, bool identifyAll = false,
                          bool detailFolders = false, SharedStatxWay* statxWay = nullptr);

    // 0 on success, else an errno value. The root is identified.
    int openRoot(const std::string& path, OpenFolder& out);
    // 0, an errno value, or kPseudoFileSystem (nothing opened).
    int openChild(const OpenFolder& parent, const char* name, OpenFolder& out);
    // Opens the folder `known` again through `path`, relative to the open folder `from`;
    // ESTALE when another folder now stands there.
    int reopen(int from, const std::string& path, const OpenFolder& known, OpenFolder& out);
    // Reads all entries. Returns 0, or the errno of a read that failed part-way; the
    // entries read before it stay in the batch.
    int read(const OpenFolder& folder, FolderBatch& batch);

  private:
    PseudoFileSystems ownPseudo_;
    PseudoFileSystems* pseudo_;
    bool identifyAll_;
    bool detailFolders_;
    StatxBatch statx_;
};

// One path's details, read fresh (links not followed) as the walk reads them: the birth
// time where the file system keeps one, the modification time where not.
struct PathRecord {
    uint32_t attributes = 0;
    int64_t size = 0;
    FileTime created = 0, modified = 0;
    uint32_t mode = 0, uid = 0, gid = 0;
};
// 0 or an errno.
int ReadPathRecord(const std::string& path, PathRecord& record);

// Raises the soft limit of open files to the hard limit.
void RaiseOpenFileLimit();

} // namespace vintrel
