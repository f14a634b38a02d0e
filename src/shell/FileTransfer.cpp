#include "FileTransfer.h"

#include "Records.h"
#include "Utf8.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vintrel {

namespace {

struct CopyOutcome {
    bool ok = false;
    bool cancelled = false;
    int error = 0;
};

// Closes the descriptor and removes the temporary file unless it was kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string pattern) : path_(std::move(pattern)) {
        fd_ = mkostemp(path_.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (created_ && !kept_) ::unlink(path_.c_str());
    }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }
    void keep() { kept_ = true; }
    bool valid() const { return created_; }

  private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool kept_ = false;
};

std::string Failure(const std::string& path, int error) {
    return DisplayText(path) + ": " + std::strerror(error);
}

// Copies into a temporary file beside the target and renames it over the target only
// when complete.
CopyOutcome CopyOne(const std::string& source, const std::string& target, const struct stat& info,
                    const std::function<bool(int64_t)>& advance) {
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    TemporaryFile temporary(folder + ".vintrel-copy-XXXXXX");
    if (!temporary.valid()) return {false, false, errno};

    if (S_ISLNK(info.st_mode)) {
        // A link is copied as a link, never followed.
        std::vector<char> linkTarget(static_cast<size_t>(info.st_size) + 1);
        const ssize_t length = readlink(source.c_str(), linkTarget.data(), linkTarget.size());
        if (length < 0) return {false, false, errno};
        temporary.close();
        ::unlink(temporary.path().c_str());
        if (symlink(std::string(linkTarget.data(), static_cast<size_t>(length)).c_str(),
                    temporary.path().c_str()) != 0) {
            return {false, false, errno};
        }
    } else {
        if (!S_ISREG(info.st_mode)) return {false, false, EINVAL};
        const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) return {false, false, errno};
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                const int error = errno;
                ::close(in);
                return {false, false, error};
            }
            if (got == 0) break;
            for (ssize_t written = 0; written < got;) {
                const ssize_t put = ::write(temporary.fd(), buffer.data() + written,
                                            static_cast<size_t>(got - written));
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) {
                    const int error = put == 0 ? ENOSPC : errno;
                    ::close(in);
                    return {false, false, error};
                }
                written += put;
            }
            if (!advance(got)) {
                ::close(in);
                return {false, true, 0};
            }
        }
        ::close(in);
        fchmod(temporary.fd(), info.st_mode & 07777);
        const timespec times[2] = {info.st_atim, info.st_mtim};
        futimens(temporary.fd(), times);
        if (fsync(temporary.fd()) != 0 && errno != EINVAL) return {false, false, errno};
        if (!temporary.close()) return {false, false, errno};
    }
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) return {false, false, errno};
    temporary.keep();
    return {true, false, 0};
}

} // namespace

TransferReport TransferFiles(const std::vector<std::string>& sources, const std::string& folder,
                             TransferKind kind, const TransferCallbacks& callbacks) {
    TransferReport report;
    int64_t total = 0, done = 0;
    for (const std::string& source : sources) {
        struct stat info {};
        if (lstat(source.c_str(), &info) == 0 && S_ISREG(info.st_mode)) total += info.st_size;
    }
    bool replaceAll = false;
    const std::string base = WithTrailingBackslash(folder);

    for (const std::string& source : sources) {
        const std::string target = base + std::string(FileNamePart(source));
        struct stat info {};
        if (lstat(source.c_str(), &info) != 0) {
            report.failures.push_back(Failure(source, errno));
            continue;
        }
        struct stat existing {};
        if (lstat(target.c_str(), &existing) == 0) {
            if (existing.st_dev == info.st_dev && existing.st_ino == info.st_ino) {
                report.failures.push_back(DisplayText(source) + ": the file is already there");
                continue;
            }
            if (S_ISDIR(existing.st_mode)) {
                report.failures.push_back(Failure(target, EISDIR));
                continue;
            }
            if (!replaceAll) {
                const ReplaceAnswer answer =
                    callbacks.replace ? callbacks.replace(target) : ReplaceAnswer::No;
                if (answer == ReplaceAnswer::Cancel) {
                    report.cancelled = true;
                    break;
                }
                if (answer == ReplaceAnswer::No) {
                    ++report.skipped;
                    continue;
                }
                replaceAll = answer == ReplaceAnswer::YesToAll;
            }
        }
        if (kind == TransferKind::Move) {
            if (::rename(source.c_str(), target.c_str()) == 0) {
                ++report.done;
                done += S_ISREG(info.st_mode) ? info.st_size : 0;
                if (callbacks.progress && !callbacks.progress(done, total, source)) {
                    report.cancelled = true;
                    break;
                }
                continue;
            }
            if (errno != EXDEV) {
                report.failures.push_back(Failure(source, errno));
                continue;
            }
        }
        const CopyOutcome outcome = CopyOne(source, target, info, [&](int64_t bytes) {
            done += bytes;
            return !callbacks.progress || callbacks.progress(done, total, source);
        });
        if (outcome.cancelled) {
            report.cancelled = true;
            break;
        }
        if (!outcome.ok) {
            report.failures.push_back(Failure(source, outcome.error));
            continue;
        }
        if (kind == TransferKind::Move) {
            // The source goes only once the copy is there whole.
            struct stat copied {};
            if (lstat(target.c_str(), &copied) != 0 || copied.st_size != info.st_size) {
                report.failures.push_back(DisplayText(source) +
                                          ": the copy could not be checked; the file stays");
                continue;
            }
            if (::unlink(source.c_str()) != 0) {
                report.failures.push_back(
                    DisplayText(source) +
                    ": copied, but it cannot be removed here: " + std::strerror(errno));
                continue;
            }
        }
        ++report.done;
        if (callbacks.progress && !callbacks.progress(done, total, source)) {
            report.cancelled = true;
            break;
        }
    }
    return report;
}

} // namespace vintrel
