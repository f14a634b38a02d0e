#include "SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

using Failure = FileWriteResult::Failure;

bool WriteAll(int fd, std::string_view bytes) {
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

// Writes into a file that is already open, and closes it.
FileWriteResult WriteAndClose(int fd, std::string_view bytes, bool sync) {
    bool ok = WriteAll(fd, bytes);
    if (ok && sync) ok = fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    if (::close(fd) != 0 && ok) return {Failure::Write, errno};
    return ok ? FileWriteResult{} : FileWriteResult{Failure::Write, error};
}

std::string ResolveTarget(const std::string& fileName) {
    struct stat st {};
    if (lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return fileName;
    char resolved[PATH_MAX];
    if (realpath(fileName.c_str(), resolved)) return resolved;
    return fileName;
}

FileWriteResult WriteInPlace(const std::string& target, std::string_view bytes, int flags) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | flags, 0666);
    if (fd < 0) return {Failure::Create, errno};
    return WriteAndClose(fd, bytes, false);
}

} // namespace

FileWriteResult WriteFileReplacing(const std::string& fileName, std::string_view bytes) {
    const std::string target = ResolveTarget(fileName);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(target, bytes, 0);

    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return WriteInPlace(target, bytes, O_CREAT);

    const mode_t umaskValue = umask(0);
    umask(umaskValue);
    fchmod(fd, exists ? (existing.st_mode & 07777) : (0666 & ~umaskValue));
    if (const FileWriteResult written = WriteAndClose(fd, bytes, true); !written) {
        ::unlink(temporary.c_str());
        return written;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return {Failure::Create, error};
    }
    return {};
}

} // namespace vintrel
