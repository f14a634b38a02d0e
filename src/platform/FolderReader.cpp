#include "FolderReader.h"

#include "FileAttributes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/openat2.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vintrel {

namespace {

// The least room given to each read of a listing; the listing's buffer doubles when it lacks it.
constexpr size_t kMinReadRoom = 8 * 1024;

// The kernel's record; the NUL-terminated name follows the fixed part.
struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr size_t kDirentNameOffset = 19;

// Doubles at least, so that a folder read in many pieces is not copied once per piece.
template <typename Buffer> void ReserveGrowing(Buffer& buffer, size_t needed) {
    if (needed > buffer.capacity()) buffer.reserve(std::max(needed, 2 * buffer.capacity()));
}

FileTime ToFileTime(const statx_timestamp& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

// All but the hidden bit, which comes from the name.
inline uint32_t AttributesOf(const struct statx& sx) {
    uint32_t bits = 0;
    const mode_t type = sx.stx_mode & S_IFMT;
    if (type == S_IFDIR) return bits | kAttrDirectory;
    if (type == S_IFLNK) bits |= kAttrReparsePoint;
    if (type == S_IFCHR || type == S_IFBLK || type == S_IFIFO || type == S_IFSOCK) {
        bits |= kAttrSystem;
    }
    const auto hasAttr = [&](uint64_t attr) {
        return (sx.stx_attributes_mask & attr) && (sx.stx_attributes & attr);
    };
    if (type != S_IFLNK && (!(sx.stx_mode & S_IWUSR) || hasAttr(STATX_ATTR_IMMUTABLE))) {
        bits |= kAttrReadOnly;
    }
    if (hasAttr(STATX_ATTR_COMPRESSED)) bits |= kAttrCompressed;
    return bits;
}

// File systems that hold no files of the user, only views of the kernel.
bool IsPseudoMagic(unsigned long magic) {
    switch (magic) {
    case 0x9fa0:     // proc
    case 0x62656572: // sysfs
    case 0x27e0eb:   // cgroup
    case 0x63677270: // cgroup2
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x1cd1:     // devpts
    case 0x6165676c: // pstore
    case 0xcafe4a11: // bpf
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case 0x42494e4d: // binfmt_misc
    case 0xde5e81e4: // efivarfs
    case 0xf97cff8c: // selinuxfs
    case 0x6e736673: // nsfs
        return true;
    default:
        return false;
    }
}

// openat that refuses to cross a mount point (EXDEV); ENOSYS where the kernel has no
// openat2 (before 5.6), remembered so that it is asked once.
int OpenWithinMount(int parent, const char* name, int flags) {
    static std::atomic<bool> missing{false};
    if (missing.load(std::memory_order_relaxed)) {
        errno = ENOSYS;
        return -1;
    }
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.resolve = RESOLVE_NO_XDEV;
    const long fd = syscall(SYS_openat2, parent, name, &how, sizeof how);
    if (fd < 0 && errno == ENOSYS) missing.store(true, std::memory_order_relaxed);
    return static_cast<int>(fd);
}

// devtmpfs reports the magic number of tmpfs; only the mount table tells them apart.
bool IsDevtmpfs(dev_t device) {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor;
        fields >> id >> parent >> majorMinor;
        if (majorMinor != wanted) continue;
        const size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        return type == "devtmpfs";
    }
    return false;
}

} // namespace

void FolderBatch::Listing::reserveRoom(size_t room) {
    if (capacity_ - size_ >= room) return;
    const size_t capacity = std::max(size_ + room, 2 * capacity_);
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
}

void FolderBatch::clear() {
    listing_.clear();
    entries_.clear();
}

OpenFolder::~OpenFolder() {
    close();
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept
    : fd_(other.fd_), device_(other.device_), inode_(other.inode_), identified_(other.identified_) {
    other.fd_ = -1;
}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        device_ = other.device_;
        inode_ = other.inode_;
        identified_ = other.identified_;
        other.fd_ = -1;
    }
    return *this;
}

void OpenFolder::setIdentity(const struct stat& st) {
    device_ = st.st_dev;
    inode_ = st.st_ino;
    identified_ = true;
}

int OpenFolder::identify() {
    if (identified_) return 0;
    if (fd_ < 0) return EBADF;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return errno;
    setIdentity(st);
    return 0;
}

void OpenFolder::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FolderReader::FolderReader(PseudoFileSystems* pseudo, bool identifyAll, bool detailFolders,
                           SharedStatxWay* statxWay)
    : pseudo_(pseudo ? pseudo : &ownPseudo_), identifyAll_(identifyAll),
      detailFolders_(detailFolders),
      statx_(AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
             STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_BTIME |
                 STATX_NLINK | STATX_UID | STATX_GID | STATX_BLOCKS,
             statxWay) {}

int FolderReader::openRoot(const std::string& path, OpenFolder& out) {
    out.close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    out.fd_ = fd;
    out.setIdentity(st);
    return 0;
}

int FolderReader::reopen(int from, const std::string& path, const OpenFolder& known,
                         OpenFolder& out) {
    // In pieces shorter than PATH_MAX, each relative to the one before.
    int fd = from;
    for (size_t start = 0; start < path.size();) {
        size_t end = path.size();
        if (end - start >= 4000) {
            end = path.rfind('/', start + 4000);
            if (end == std::string::npos || end <= start) end = path.size();
        }
        const std::string piece = path.substr(start, end - start);
        const int next =
            ::openat(fd, piece.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        if (fd != from) ::close(fd);
        if (next < 0) return error;
        fd = next;
        start = end + 1;
    }
    struct stat st {};
    if (!known.identified_ || fstat(fd, &st) != 0 || st.st_dev != known.device_ ||
        st.st_ino != known.inode_) {
        ::close(fd);
        return ESTALE;
    }
    out.close();
    out.fd_ = fd;
    out.setIdentity(st);
    return 0;
}

int FolderReader::openChild(const OpenFolder& parent, const char* name, OpenFolder& out) {
    out.close();
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (!identifyAll_) {
        // Within the parent's mount the child lies on the parent's file system, which is
        // known not to be a pseudo one; a mount point refuses with EXDEV and is looked at
        // below. Saves asking every folder its device.
        const int fd = OpenWithinMount(parent.fd(), name, kFlags);
        if (fd >= 0) {
            out.fd_ = fd;
            out.device_ = parent.device_;
            return 0;
        }
        // EPERM: a sandbox that refuses openat2 itself
        if (errno != EXDEV && errno != ENOSYS && errno != EPERM) return errno;
    }
    const int fd = ::openat(parent.fd(), name, kFlags);
    if (fd < 0) return errno;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (st.st_dev != parent.device() && pseudo_->contains(fd, st.st_dev)) {
        ::close(fd);
        return kPseudoFileSystem;
    }
    out.fd_ = fd;
    out.setIdentity(st);
    return 0;
}

bool PseudoFileSystems::contains(int fd, dev_t device) {
    const std::lock_guard lock(mutex_);
    const auto known = byDevice_.find(device);
    if (known != byDevice_.end()) return known->second;
    struct statfs fs {};
    bool pseudo = false;
    if (fstatfs(fd, &fs) == 0) {
        const auto magic = static_cast<unsigned long>(fs.f_type);
        pseudo = IsPseudoMagic(magic) || (magic == 0x01021994 && IsDevtmpfs(device));
    }
    byDevice_.emplace(device, pseudo);
    return pseudo;
}

int FolderReader::read(const OpenFolder& folder, FolderBatch& batch) {
    batch.clear();
    const int fd = folder.fd();
    auto& listing = batch.listing_;
    for (;;) {
        // The kernel writes the listing straight into the batch, which keeps the names there.
        const size_t used = listing.size();
        listing.reserveRoom(kMinReadRoom);
        const long got =
            syscall(SYS_getdents64, fd, listing.data() + used, listing.capacity() - used);
        if (got == 0) return 0;
        if (got < 0) return errno;
        listing.grow(static_cast<size_t>(got));
        // A record takes at least 24 bytes.
        ReserveGrowing(batch.entries_, batch.entries_.size() + static_cast<size_t>(got) / 24);

        // Entries are gathered in groups, the statx of a group's files asked at once.
        const char* const records = listing.data();
        const size_t end = listing.size();
        FolderBatch::Entry staged[StatxBatch::kGroup];
        size_t stagedCount = 0;
        const char* fileNames[StatxBatch::kGroup];
        size_t fileEntries[StatxBatch::kGroup]; // where each file stands among the staged
        size_t fileCount = 0;
        const auto moveStaged = [&] {
            statx_.ask(fd, fileNames, fileCount);
            size_t file = 0;
            for (size_t i = 0; i < stagedCount; ++i) {
                FolderBatch::Entry& entry = staged[i];
                if (file < fileCount && fileEntries[file] == i) {
                    const int error = statx_.error(file);
                    const struct statx& sx = statx_.details(file++);
                    if (error == ENOENT) continue; // gone since the listing was read
                    if (error != 0) {
                        // Listed but not examinable (a folder without search permission):
                        // nothing but the name is known, and no value is made up. A folder
                        // the listing named as one stays a folder.
                        entry.detailsKnown = (entry.attributes & kAttrDirectory) != 0;
                    } else {
                        entry.attributes = (entry.attributes & kAttrHidden) | AttributesOf(sx);
                        entry.size = static_cast<int64_t>(sx.stx_size);
                        entry.modified = ToFileTime(sx.stx_mtime);
                        entry.created =
                            (sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : entry.modified;
                        entry.identity = {makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
                        entry.mode = sx.stx_mode;
                        entry.uid = sx.stx_uid;
                        entry.gid = sx.stx_gid;
                        entry.linkCount = sx.stx_nlink;
                        entry.allocated = static_cast<int64_t>(sx.stx_blocks) * 512;
                    }
                }
                batch.entries_.push_back(entry);
            }
            stagedCount = fileCount = 0;
        };
        for (size_t offset = used; offset < end;) {
            const auto* d = reinterpret_cast<const LinuxDirent64*>(records + offset);
            const size_t nameOffset = offset + kDirentNameOffset;
            offset += d->d_reclen;
            const char* rawName = records + nameOffset;
            const std::string_view name(rawName);
            const uint32_t hidden = IsHiddenName(name) ? kAttrHidden : 0;
            FolderBatch::Entry entry{
                nameOffset, 0, 0, 0, hidden, static_cast<uint16_t>(name.size()), true, {},
                0,          0, 0, 0, 0};
            if (d->d_type == DT_DIR) entry.attributes |= kAttrDirectory;
            if (d->d_type != DT_DIR || (detailFolders_ && !IsDotOrDotDot(name))) {
                fileEntries[fileCount] = stagedCount;
                fileNames[fileCount++] = rawName;
            }
            staged[stagedCount++] = entry;
            if (stagedCount == StatxBatch::kGroup) moveStaged();
        }
        moveStaged();
    }
}

int ReadPathRecord(const std::string& path, PathRecord& record) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) !=
        0) {
        return errno;
    }
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    record.attributes = AttributesOf(sx) | (IsHiddenName(name) ? kAttrHidden : 0);
    record.size = static_cast<int64_t>(sx.stx_size);
    record.modified = ToFileTime(sx.stx_mtime);
    record.created = (sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : record.modified;
    record.mode = sx.stx_mode;
    record.uid = sx.stx_uid;
    record.gid = sx.stx_gid;
    return 0;
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace vintrel
