#include "FileCopy.h"

#include "SafeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vintrel {

namespace {

constexpr size_t kChunk = 8 << 20; // between two progress reports

// Copies [from, from + length) to the same place in `out`; stops early at the end of `in`.
int CopyRange(int in, int out, off_t from, off_t length, bool& ranges,
              const std::function<bool(int64_t)>& advance) {
    std::vector<char> buffer;
    const off_t end = from + length;
    while (from < end) {
        const size_t want = static_cast<size_t>(std::min<off_t>(end - from, kChunk));
        ssize_t copied = -1;
        if (ranges) {
            off_t inAt = from, outAt = from;
            copied = copy_file_range(in, &inAt, out, &outAt, want, 0);
            if (copied < 0 && errno == EINTR) continue;
            // Not across these file systems: plain reads and writes take over.
            if (copied < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                ranges = false;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(1 << 20);
            copied = pread(in, buffer.data(), std::min(want, buffer.size()), from);
            if (copied < 0 && errno == EINTR) continue;
            if (copied > 0 &&
                !WriteAllAt(out, std::string_view(buffer.data(), static_cast<size_t>(copied)),
                            from))
                return errno;
        }
        if (copied < 0) return errno;
        if (copied == 0) return 0; // the file became shorter
        from += copied;
        if (!advance(copied)) return ECANCELED;
    }
    return 0;
}

// A file whose size says nothing of its content (/proc): read to its end.
int CopySequentially(int in, int out, const std::function<bool(int64_t)>& advance) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        if (!WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got)))) return errno;
        if (!advance(got)) return ECANCELED;
    }
}

bool KeptByCopies(const std::string& name) {
    return name.rfind("user.", 0) == 0 || name == "system.posix_acl_access" ||
           name == "system.posix_acl_default";
}

} // namespace

int CopyFileData(int in, int out, const std::function<bool(int64_t)>& advance) {
    struct stat st {};
    if (fstat(in, &st) != 0) return errno;
    if (st.st_size == 0) return CopySequentially(in, out, advance);
    if (ioctl(out, FICLONE, in) == 0) return advance(st.st_size) ? 0 : ECANCELED;

    bool ranges = true;
    off_t offset = 0;
    for (;;) {
        const off_t data = lseek(in, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break; // nothing but a hole from here on
        if (data < 0 && (errno == EINVAL || errno == EOPNOTSUPP)) {
            // No map of the holes: every byte is copied.
            const int error = CopyRange(in, out, offset, st.st_size - offset, ranges, advance);
            if (error != 0) return error;
            offset = st.st_size;
            break;
        }
        if (data < 0) return errno;
        const off_t hole = lseek(in, data, SEEK_HOLE);
        if (hole < 0) return errno;
        if (data > offset && !advance(data - offset)) return ECANCELED;
        if (const int error = CopyRange(in, out, data, hole - data, ranges, advance); error != 0)
            return error;
        offset = hole;
    }
    // The holes at the end: the size alone.
    if (fstat(in, &st) != 0) return errno;
    if (st.st_size > offset && !advance(st.st_size - offset)) return ECANCELED;
    if (ftruncate(out, std::max<off_t>(st.st_size, offset)) != 0) return errno;
    return 0;
}

std::vector<std::string> CopyExtendedAttributes(int in, int out) {
    std::vector<std::string> lost;
    std::string names;
    for (;;) {
        const ssize_t size = flistxattr(in, nullptr, 0);
        if (size <= 0) return lost; // none, or a file system without them
        names.resize(static_cast<size_t>(size));
        const ssize_t got = flistxattr(in, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            break;
        }
        if (errno != ERANGE) return lost;
    }
    std::string value;
    for (size_t start = 0; start < names.size();) {
        const std::string name = names.c_str() + start;
        start += name.size() + 1;
        if (!KeptByCopies(name)) continue;
        ssize_t size = fgetxattr(in, name.c_str(), nullptr, 0);
        if (size >= 0) {
            value.resize(static_cast<size_t>(size));
            size = fgetxattr(in, name.c_str(), value.data(), value.size());
        }
        if (size < 0 ||
            fsetxattr(out, name.c_str(), value.data(), static_cast<size_t>(size), 0) != 0)
            lost.push_back(name + " (" + std::strerror(errno) + ")");
    }
    return lost;
}

} // namespace vintrel
