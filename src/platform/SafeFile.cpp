#include "SafeFile.h"

#include "Descriptor.h"
#include "UnnamedFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>

namespace vintrel {

namespace {

using Failure = FileWriteResult::Failure;

constexpr int kMaxLinks = 40; // as the kernel allows in one path
constexpr auto kFifoReaderWait = std::chrono::milliseconds(900);

FileWriteResult CreateFailure(int error, std::string reason = {}) {
    return {Failure::Create, error, std::move(reason)};
}

FileWriteResult WriteFailure(int error) {
    return {Failure::Write, error, {}};
}

// Where a write goes once every link on the way is followed: a name in an open folder.
struct ResolvedTarget {
    Descriptor folder;   // O_PATH
    std::string name;    // the last component; not a link, and perhaps missing
    bool direct = false; // a link of /proc (/proc/PID/fd/N of another process): open it as given
    int descriptor = -1; // one of our own descriptors (/dev/stdout, /proc/self/fd/N)
};

// The kernel's rule for protected symlinks: a link in a sticky folder that others may
// write is followed only by its owner, or when it belongs to the folder's owner.
bool MayFollow(const struct stat& link, const struct stat& folder) {
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

bool OnProc(int folder) {
    struct statfs fs {};
    return fstatfs(folder, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The descriptor `name` names when `folder` is this process's (or this thread's) /proc fd
// folder, else -1.
int OwnDescriptor(int folder, const std::string& name) {
    if (name.empty() || name.size() > 9 ||
        name.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    struct stat here {};
    if (fstat(folder, &here) != 0) return -1;
    for (const char* own : {"/proc/self/fd", "/proc/thread-self/fd"}) {
        struct stat st {};
        if (::stat(own, &st) == 0 && st.st_dev == here.st_dev && st.st_ino == here.st_ino)
            return std::stoi(name);
    }
    return -1;
}

std::string ReadLinkAt(int folder, const std::string& name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlinkat(folder, name.c_str(), target.data(), target.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < target.size()) {
            target.resize(static_cast<size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

void PushComponents(std::deque<std::string>& components, const std::string& path) {
    std::deque<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    components.insert(components.begin(), parts.begin(), parts.end());
}

// Follows the path one component at a time, as open() does, checking each link it meets.
FileWriteResult Resolve(const std::string& fileName, ResolvedTarget& out) {
    if (fileName.empty()) return CreateFailure(ENOENT);
    if (fileName.back() == '/') return CreateFailure(EISDIR);
    std::deque<std::string> components;
    PushComponents(components, fileName);
    std::string shown = fileName.front() == '/' ? "/" : ""; // the path so far, for messages
    out.folder.reset(::open(fileName.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!out.folder) return CreateFailure(errno);
    int links = 0;
    while (!components.empty()) {
        const std::string name = std::move(components.front());
        components.pop_front();
        const bool last = components.empty();
        if (name == ".") {
            if (last) return CreateFailure(EISDIR);
            continue;
        }
        struct stat st {};
        if (fstatat(out.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last) {
                out.name = name;
                return {};
            }
            return CreateFailure(errno);
        }
        if (S_ISLNK(st.st_mode)) {
            if (++links > kMaxLinks) return CreateFailure(ELOOP);
            struct stat folder {};
            if (fstat(out.folder.get(), &folder) != 0) return CreateFailure(errno);
            if (!MayFollow(st, folder)) {
                return CreateFailure(EACCES, "\"" + shown + name +
                                                 "\" is a symbolic link of another user in a "
                                                 "folder that everyone may write; it is not "
                                                 "followed");
            }
            if (last && OnProc(out.folder.get())) {
                // Our own descriptor is written through, where it stands and as it appends;
                // another process's may name a pipe, not a path.
                out.descriptor = OwnDescriptor(out.folder.get(), name);
                out.direct = out.descriptor < 0;
                return {};
            }
            const std::string target = ReadLinkAt(out.folder.get(), name);
            if (target.empty()) return CreateFailure(errno ? errno : ENOENT);
            if (target.front() == '/') {
                out.folder.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                shown = "/";
            }
            PushComponents(components, target);
            if (last && target.back() == '/') return CreateFailure(EISDIR);
            continue;
        }
        if (last) {
            if (name == "..") return CreateFailure(EISDIR);
            out.name = name;
            return {};
        }
        const int next =
            openat(out.folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return CreateFailure(errno);
        out.folder.reset(next);
        shown += name + "/";
    }
    return CreateFailure(EISDIR);
}

mode_t CurrentUmask() {
    const mode_t value = umask(0);
    umask(value);
    return value;
}

void SyncFolder(int folder) {
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// A device or a FIFO, written where it is: opened without waiting for a reader; a FIFO
// that has none after a short while is an error. 0 and the descriptor, or the failure.
FileWriteResult OpenDirect(int folder, const std::string& name, const std::string& fileName,
                           bool direct, int& fd) {
    const auto open = [&] {
        const int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        return direct ? ::open(fileName.c_str(), flags)
                      : openat(folder, name.c_str(), flags | O_NOFOLLOW);
    };
    const auto giveUp = std::chrono::steady_clock::now() + kFifoReaderWait;
    fd = open();
    while (fd < 0 && errno == ENXIO && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fd = open();
    }
    if (fd < 0 && errno == ENXIO) return CreateFailure(ENXIO, "No program reads from this pipe");
    if (fd < 0) return CreateFailure(errno);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0)
        return WriteFailure(errno); // /dev/stdout into a file
    return {};
}

// A new file beside the target, with the permissions (and, where we may, the owner) the
// written file is to have.
FileWriteResult OpenTemporary(UnnamedFile& file, const struct stat* existing,
                              std::optional<mode_t> mode) {
    if (const int error = file.create(0600); error != 0) return CreateFailure(error);
    const int fd = file.fd();
    if (existing) (void)!fchown(fd, existing->st_uid, existing->st_gid); // root keeps the owner
    const mode_t permissions = mode       ? *mode
                               : existing ? (existing->st_mode & 07777)
                                          : (0666 & ~CurrentUmask());
    // Some file systems (FAT) keep no permissions: only a mode that was asked for must hold.
    if (fchmod(fd, permissions) != 0 && mode) return CreateFailure(errno);
    return {};
}

// Everything from the descriptor's position to its end; 0 or an errno.
int ReadAll(int fd, std::string& text) {
    text.clear();
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) text.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        text.append(buffer, static_cast<size_t>(got));
    }
}

// Space for `size` bytes from the start of the file, within the file-size limit too.
bool Reserve(int fd, size_t size) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        size > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    return fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0;
}

// The folder allows no temporary file but the file may be written: rewritten in place once
// the space for the new content is reserved, and put back as it was if a write still fails.
FileWriteResult WriteInPlace(int folder, const std::string& name, std::optional<mode_t> mode,
                             std::string_view bytes, int temporaryError) {
    Descriptor file(openat(folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file) return CreateFailure(errno);
    std::string original;
    if (const int error = ReadAll(file.get(), original); error != 0) return CreateFailure(error);
    const WriteSignalsHeld held;
    if (!bytes.empty() && !Reserve(file.get(), bytes.size())) {
        const int error = errno;
        return CreateFailure(error, "No temporary file can be made in its folder (" +
                                        std::string(std::strerror(temporaryError)) +
                                        "), and the space to rewrite it in place cannot be "
                                        "reserved (" +
                                        std::strerror(error) + ")");
    }
    const bool written = WriteAllAt(file.get(), bytes) &&
                         ftruncate(file.get(), static_cast<off_t>(bytes.size())) == 0 &&
                         (fsync(file.get()) == 0 || errno == EINVAL);
    if (!written) {
        const int error = errno;
        if (WriteAllAt(file.get(), original))
            (void)!ftruncate(file.get(), static_cast<off_t>(original.size()));
        return WriteFailure(error);
    }
    if (mode && fchmod(file.get(), *mode) != 0) return CreateFailure(errno);
    if (!file.close()) return WriteFailure(errno);
    return {};
}

} // namespace

std::string FileWriteResult::text() const {
    return reason.empty() ? std::string(std::strerror(error)) : reason;
}

WriteSignalsHeld::WriteSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGPIPE);
    sigaddset(&held, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

WriteSignalsHeld::~WriteSignalsHeld() {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : {SIGPIPE, SIGXFSZ}) {
        if (!sigismember(&pending, signal) || sigismember(&previous_, signal)) continue;
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        const timespec now{0, 0};
        sigtimedwait(&one, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int ReadWholeFile(const std::string& fileName, std::string& text) {
    const Descriptor file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    return file ? ReadAll(file.get(), text) : errno;
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t put =
            pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    const WriteSignalsHeld held;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

ReplacingFileWriter::ReplacingFileWriter(std::string fileName, std::optional<mode_t> mode)
    : fileName_(std::move(fileName)), mode_(mode) {}

ReplacingFileWriter::~ReplacingFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    temporary_.reset(); // before the folder it is in
    if (folder_ >= 0) ::close(folder_);
}

FileWriteResult ReplacingFileWriter::open() {
    ResolvedTarget target;
    if (FileWriteResult resolved = Resolve(fileName_, target); !resolved) return fail(resolved);
    folder_ = target.folder.release();
    name_ = target.name;
    if (target.descriptor >= 0) {
        way_ = Way::Direct;
        fd_ = fcntl(target.descriptor, F_DUPFD_CLOEXEC, 0);
        return fd_ < 0 ? fail(CreateFailure(errno)) : FileWriteResult{};
    }
    if (target.direct) {
        way_ = Way::Direct;
        return fail(OpenDirect(folder_, name_, fileName_, true, fd_));
    }
    struct stat existing {};
    if (fstatat(folder_, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return fail(CreateFailure(errno));
        way_ = Way::Temporary;
        temporary_ = std::make_unique<UnnamedFile>(folder_, ".vintrel2-");
        return fail(OpenTemporary(*temporary_, nullptr, mode_));
    }
    if (S_ISDIR(existing.st_mode)) return fail(CreateFailure(EISDIR));
    if (S_ISSOCK(existing.st_mode)) return fail(CreateFailure(ENXIO, "A socket is not a file"));
    // The owner's write bit holds for root too; the access check covers everyone else (a
    // file of root's in a folder anyone may write).
    const FileWriteResult readOnly = CreateFailure(EACCES, "The file is read-only");
    if (!(existing.st_mode & S_IWUSR)) return fail(readOnly);
    if (faccessat(folder_, name_.c_str(), W_OK, AT_EACCESS) != 0)
        return fail(errno == EACCES || errno == EPERM ? readOnly : CreateFailure(errno));
    if (!S_ISREG(existing.st_mode)) {
        way_ = Way::Direct;
        return fail(OpenDirect(folder_, name_, fileName_, false, fd_));
    }
    way_ = Way::Temporary;
    temporary_ = std::make_unique<UnnamedFile>(folder_, ".vintrel2-");
    const FileWriteResult opened = OpenTemporary(*temporary_, &existing, mode_);
    if (opened || temporary_->fd() >= 0) return fail(opened);
    // No file can be made beside it: it is rewritten in place, in one piece, at the end.
    temporary_.reset();
    way_ = Way::InPlace;
    temporaryError_ = opened.error;
    return {};
}

FileWriteResult ReplacingFileWriter::fail(FileWriteResult result) {
    if (!result && !failure_.error) failure_ = result;
    return result;
}

bool ReplacingFileWriter::write(std::string_view bytes) {
    if (failure_.error || way_ == Way::None) return false;
    if (way_ == Way::InPlace) {
        buffer_ += bytes;
        return true;
    }
    if (WriteAll(way_ == Way::Temporary ? temporary_->fd() : fd_, bytes)) return true;
    fail(WriteFailure(errno));
    return false;
}

FileWriteResult ReplacingFileWriter::commit() {
    return finish(true);
}

FileWriteResult ReplacingFileWriter::commitIfNew() {
    return finish(false);
}

FileWriteResult ReplacingFileWriter::finish(bool replace) {
    if (failure_.error) return failure_;
    switch (way_) {
    case Way::None:
        return CreateFailure(EBADF);
    case Way::InPlace:
        if (!replace) return fail(CreateFailure(EEXIST));
        return fail(WriteInPlace(folder_, name_, mode_, buffer_, temporaryError_));
    case Way::Direct: {
        const int closed = ::close(fd_);
        fd_ = -1;
        return closed == 0 ? FileWriteResult{} : fail(WriteFailure(errno));
    }
    case Way::Temporary:
        break;
    }
    if (fsync(temporary_->fd()) != 0 && errno != EINVAL) return fail(WriteFailure(errno));
    if (const int error = temporary_->publish(name_, replace); error != 0)
        return fail(CreateFailure(error));
    if (const int error = temporary_->close(); error != 0) return fail(WriteFailure(error));
    SyncFolder(folder_);
    return {};
}

FileWriteResult WriteFileReplacing(const std::string& fileName, std::string_view bytes,
                                   std::optional<mode_t> mode) {
    ReplacingFileWriter writer(fileName, mode);
    if (FileWriteResult opened = writer.open(); !opened) return opened;
    writer.write(bytes);
    return writer.commit();
}

} // namespace vintrel
