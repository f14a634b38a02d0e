#include "FileTransfer.h"

#include "Paths.h"
#include "SafeFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vintrel {

namespace {

constexpr size_t kCopyChunk = 8 << 20; // between two progress reports

struct CopyOutcome {
    bool ok = false;
    bool cancelled = false;
    int error = 0;
    std::vector<std::string> notes;
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

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The target is the source itself: the same entry, or the same file once links are followed.
bool IsSource(const std::string& source, const struct stat& sourceEntry, const std::string& target,
              const struct stat& targetEntry) {
    if (SameFile(sourceEntry, targetEntry)) return true;
    struct stat sourceFile {
    }, targetFile{};
    return ::stat(source.c_str(), &sourceFile) == 0 && ::stat(target.c_str(), &targetFile) == 0 &&
           SameFile(sourceFile, targetFile);
}

// Puts `from` at `to`; an existing `to` is replaced only when `replace` says so, also when it
// appeared after it was looked at.
bool PutInPlace(const std::string& from, const std::string& to, bool replace) {
    if (replace) return ::rename(from.c_str(), to.c_str()) == 0;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: a new hard link fails when the name is taken.
    if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// Copies the data with copy_file_range, so that a file system can share the blocks or copy
// on its side; plain reads and writes where it cannot. False with `error` (0 when cancelled).
bool CopyData(int in, int out, const std::function<bool(int64_t)>& advance, int& error) {
    bool ranges = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t copied = -1;
        if (ranges) {
            copied = copy_file_range(in, nullptr, out, nullptr, kCopyChunk, 0);
            if (copied < 0 && errno == EINTR) continue;
            // Not across these file systems, or a file whose size says nothing (/proc):
            // the plain way takes over from where the copy stands.
            if ((copied < 0 &&
                 (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) ||
                copied == 0) {
                ranges = false;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(1 << 20);
            copied = ::read(in, buffer.data(), buffer.size());
            if (copied < 0 && errno == EINTR) continue;
            if (copied > 0 &&
                !WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(copied)))) {
                error = errno;
                return false;
            }
        }
        if (copied < 0) {
            error = errno;
            return false;
        }
        if (copied == 0) return true;
        if (!advance(copied)) {
            error = 0;
            return false;
        }
    }
}

// Copies into a temporary file beside the target and puts it in the target's place only
// when complete.
CopyOutcome CopyOne(const std::string& source, const std::string& target, const struct stat& info,
                    bool replace, const std::function<bool(int64_t)>& advance) {
    TemporaryFile temporary(std::string(FolderPart(target)) + ".vintrel-copy-XXXXXX");
    if (!temporary.valid()) return {false, false, errno, {}};
    CopyOutcome outcome;

    if (S_ISLNK(info.st_mode)) {
        // A link is copied as a link, never followed.
        std::vector<char> linkTarget(static_cast<size_t>(info.st_size) + 1);
        const ssize_t length = readlink(source.c_str(), linkTarget.data(), linkTarget.size());
        if (length < 0) return {false, false, errno, {}};
        temporary.close();
        ::unlink(temporary.path().c_str());
        if (symlink(std::string(linkTarget.data(), static_cast<size_t>(length)).c_str(),
                    temporary.path().c_str()) != 0) {
            return {false, false, errno, {}};
        }
    } else {
        if (!S_ISREG(info.st_mode)) return {false, false, EINVAL, {}};
        const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) return {false, false, errno, {}};
        int error = 0;
        bool copied = false;
        {
            const WriteSignalsHeld held; // past the file-size limit: an error, not an end
            copied = CopyData(in, temporary.fd(), advance, error);
        }
        ::close(in);
        if (!copied) return {false, error == 0, error, {}};
        if (fchmod(temporary.fd(), info.st_mode & 07777) != 0) {
            outcome.notes.push_back(DisplayText(target) +
                                    ": its permissions could not be kept: " + std::strerror(errno));
        }
        const timespec times[2] = {info.st_atim, info.st_mtim};
        if (futimens(temporary.fd(), times) != 0) {
            outcome.notes.push_back(
                DisplayText(target) +
                ": its modification time could not be kept: " + std::strerror(errno));
        }
        if (fsync(temporary.fd()) != 0 && errno != EINVAL) return {false, false, errno, {}};
        if (!temporary.close()) return {false, false, errno, {}};
    }
    if (!PutInPlace(temporary.path(), target, replace)) return {false, false, errno, {}};
    temporary.keep();
    SyncFolder(std::string(FolderPart(target)));
    outcome.ok = true;
    return outcome;
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
    bool replaceAllExisting = false;            // "Yes to all": for files that were there before
    std::map<std::string, std::string> written; // target -> the source it came from
    const std::string base = WithTrailingBackslash(folder);

    for (const std::string& source : sources) {
        const std::string target = base + std::string(FileNamePart(source));
        struct stat info {};
        if (lstat(source.c_str(), &info) != 0) {
            report.failures.push_back(Failure(source, errno));
            continue;
        }
        struct stat existing {};
        const bool exists = lstat(target.c_str(), &existing) == 0;
        bool replacesOwn = false;
        if (exists) {
            if (IsSource(source, info, target, existing)) {
                report.failures.push_back(DisplayText(source) + ": the file is already there");
                continue;
            }
            if (S_ISDIR(existing.st_mode)) {
                report.failures.push_back(Failure(target, EISDIR));
                continue;
            }
            const auto own = written.find(target);
            replacesOwn = own != written.end();
            // A clash with a file of this very operation (two sources of one name) is asked
            // about every time.
            ReplaceAnswer answer = ReplaceAnswer::Yes;
            if (replacesOwn || !replaceAllExisting) {
                answer = callbacks.replace
                             ? callbacks.replace({target, source, replacesOwn ? own->second : ""})
                             : ReplaceAnswer::No;
                if (!replacesOwn && answer == ReplaceAnswer::YesToAll) replaceAllExisting = true;
            }
            if (answer == ReplaceAnswer::Cancel) {
                report.cancelled = true;
                break;
            }
            if (answer == ReplaceAnswer::No) {
                ++report.skipped;
                continue;
            }
        }
        const auto finished = [&] {
            ++report.done;
            if (replacesOwn) ++report.replacedOwn;
            written[target] = source;
            return !callbacks.progress || callbacks.progress(done, total, source);
        };
        if (kind == TransferKind::Move) {
            if (PutInPlace(source, target, exists)) {
                done += S_ISREG(info.st_mode) ? info.st_size : 0;
                if (!finished()) {
                    report.cancelled = true;
                    break;
                }
                continue;
            }
            if (errno != EXDEV) {
                report.failures.push_back(errno == EEXIST
                                              ? DisplayText(target) +
                                                    ": a file of that name appeared meanwhile; "
                                                    "it was not replaced"
                                              : Failure(source, errno));
                continue;
            }
        }
        const CopyOutcome outcome = CopyOne(source, target, info, exists, [&](int64_t bytes) {
            done += bytes;
            return !callbacks.progress || callbacks.progress(done, total, source);
        });
        if (outcome.cancelled) {
            report.cancelled = true;
            break;
        }
        if (!outcome.ok) {
            report.failures.push_back(outcome.error == EEXIST
                                          ? DisplayText(target) +
                                                ": a file of that name appeared meanwhile; it "
                                                "was not replaced"
                                          : Failure(source, outcome.error));
            continue;
        }
        report.notes.insert(report.notes.end(), outcome.notes.begin(), outcome.notes.end());
        if (kind == TransferKind::Move) {
            // The source goes only once the copy is there whole, on disk.
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
            SyncFolder(std::string(FolderPart(source)));
        }
        if (!finished()) {
            report.cancelled = true;
            break;
        }
    }
    return report;
}

} // namespace vintrel
