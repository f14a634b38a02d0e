#include "FileTransfer.h"

#include "Descriptor.h"
#include "FileCopy.h"
#include "Paths.h"
#include "SafeFile.h"
#include "UnnamedFile.h"
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

struct CopyOutcome {
    bool ok = false;
    bool cancelled = false;
    int error = 0;
    std::string message; // instead of the error's text, where it says more
    std::vector<std::string> notes;
};

CopyOutcome Failed(int error, std::string message = {}) {
    return {false, false, error, std::move(message), {}};
}

// What an entry that is not a file is, in words.
std::string KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISDIR(mode)) return "a folder";
    return "not a regular file";
}

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
    return RenameWithoutReplacing(AT_FDCWD, from, AT_FDCWD, to);
}

void SyncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// A link is copied as a link, never followed.
CopyOutcome CopyLink(const std::string& source, const std::string& target, const struct stat& info,
                     bool replace) {
    std::vector<char> linkTarget(static_cast<size_t>(info.st_size) + 1);
    const ssize_t length = readlink(source.c_str(), linkTarget.data(), linkTarget.size());
    if (length < 0) return Failed(errno);
    const std::string temporary =
        std::string(FolderPart(target)) + RandomTemporaryName(".vintrel-copy-");
    if (symlink(std::string(linkTarget.data(), static_cast<size_t>(length)).c_str(),
                temporary.c_str()) != 0)
        return Failed(errno);
    if (!PutInPlace(temporary, target, replace)) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failed(error);
    }
    SyncFolder(std::string(FolderPart(target)));
    return {true, false, 0, {}, {}};
}

// Copies a regular file into a file beside the target that has no name until it is complete
// and takes the target's place only then. The source is opened without waiting (a FIFO that
// took its place would block for ever) and must still be the file that was looked at.
CopyOutcome CopyOne(const std::string& source, const std::string& target, const struct stat& info,
                    bool replace, const std::function<bool(int64_t)>& advance) {
    if (S_ISLNK(info.st_mode)) return CopyLink(source, target, info, replace);
    const std::string shown = DisplayText(source);
    if (!S_ISREG(info.st_mode))
        return Failed(EINVAL, shown + ": it is " + KindOf(info.st_mode) + ", not a file");
    const Descriptor in(
        ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (in.get() < 0) return Failed(errno);
    struct stat opened {};
    if (fstat(in.get(), &opened) != 0) return Failed(errno);
    if (!S_ISREG(opened.st_mode))
        return Failed(EINVAL, shown + ": it is now " + KindOf(opened.st_mode) + ", not a file");
    if (!SameFile(opened, info))
        return Failed(EINVAL, shown + ": another file took its place meanwhile; it was left out");
    fcntl(in.get(), F_SETFL, fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);

    const std::string folderPath(FolderPart(target));
    const Descriptor folder(
        ::open(folderPath.empty() ? "." : folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return Failed(errno);
    UnnamedFile temporary(folder.get(), ".vintrel-copy-");
    if (const int error = temporary.create(0600); error != 0) return Failed(error);
    int error = 0;
    {
        const WriteSignalsHeld held; // past the file-size limit: an error, not an end
        error = CopyFileData(in.get(), temporary.fd(), advance);
    }
    if (error == ECANCELED) return {false, true, 0, {}, {}};
    if (error != 0) return Failed(error);

    CopyOutcome outcome;
    const std::string shownTarget = DisplayText(target);
    if (fchmod(temporary.fd(), info.st_mode & 07777) != 0) {
        outcome.notes.push_back(shownTarget +
                                ": its permissions could not be kept: " + std::strerror(errno));
    }
    // After the permissions: an ACL holds them too.
    for (const std::string& attribute : CopyExtendedAttributes(in.get(), temporary.fd())) {
        outcome.notes.push_back(shownTarget + ": its extended attribute " + attribute +
                                " could not be kept");
    }
    const timespec times[2] = {opened.st_atim, opened.st_mtim};
    if (futimens(temporary.fd(), times) != 0) {
        outcome.notes.push_back(
            shownTarget + ": its modification time could not be kept: " + std::strerror(errno));
    }
    if (fsync(temporary.fd()) != 0 && errno != EINVAL) return Failed(errno);
    if (const int published = temporary.publish(std::string(FileNamePart(target)), replace);
        published != 0)
        return Failed(published);
    if (const int closed = temporary.close(); closed != 0) return Failed(closed);
    SyncFolder(folderPath);
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
            report.failures.push_back(!outcome.message.empty() ? outcome.message
                                      : outcome.error == EEXIST
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
