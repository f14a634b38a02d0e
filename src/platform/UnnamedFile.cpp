#include "UnnamedFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <unistd.h>

namespace vintrel {

namespace {

constexpr int kNameAttempts = 100;

} // namespace

bool RenameWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                            const std::string& to) {
    if (renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: a new hard link fails when the name is taken.
    if (linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) != 0) return false;
    unlinkat(fromFolder, from.c_str(), 0);
    return true;
}

std::string RandomTemporaryName(const std::string& prefix) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = prefix;
    for (int i = 0; i < 10; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name + ".tmp";
}

UnnamedFile::~UnnamedFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_.empty()) unlinkat(folder_, temporary_.c_str(), 0);
}

int UnnamedFile::create(mode_t mode) {
    fd_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // A name is given through /proc/self/fd, or by a process that may link any descriptor.
    if (fd_ >= 0 && (access("/proc/self/fd", X_OK) == 0 || geteuid() == 0)) return 0;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        errno = EOPNOTSUPP;
    }
    // EOPNOTSUPP: the file system has none; EISDIR or EINVAL: the kernel predates them.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = RandomTemporaryName(prefix_);
        fd_ = openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     mode);
        if (fd_ >= 0) {
            temporary_ = std::move(name);
            return 0;
        }
        if (errno != EEXIST) break;
    }
    return errno;
}

// A name for the unnamed file: through its descriptor (AT_EMPTY_PATH needs a capability
// before Linux 6.10), else through its /proc link.
int UnnamedFile::linkTo(const std::string& name) {
    if (linkat(fd_, "", folder_, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return errno;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
}

int UnnamedFile::publish(const std::string& name, bool replace) {
    if (!temporary_.empty()) {
        const bool moved = replace
                               ? renameat(folder_, temporary_.c_str(), folder_, name.c_str()) == 0
                               : RenameWithoutReplacing(folder_, temporary_, folder_, name);
        if (!moved) return errno;
        temporary_.clear();
        return 0;
    }
    if (fd_ < 0) return EBADF;
    if (!replace) return linkTo(name);
    // A name only for the instant between the link and the rename.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = RandomTemporaryName(prefix_);
        const int linked = linkTo(temporary);
        if (linked == EEXIST) continue;
        if (linked != 0) return linked;
        if (renameat(folder_, temporary.c_str(), folder_, name.c_str()) == 0) return 0;
        const int error = errno;
        unlinkat(folder_, temporary.c_str(), 0);
        return error;
    }
    return EEXIST;
}

int UnnamedFile::close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
}

} // namespace vintrel
