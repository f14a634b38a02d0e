#include "RecordedFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace vintrel {

RecordCheck CheckRecordedFile(const std::string& path, int64_t size, FileTime modified) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return {{}, "it does not exist here"};
        return {{}, std::string("it cannot be checked here (") + std::strerror(errno) + ")"};
    }
    if (S_ISDIR(st.st_mode)) return {{}, "it is a folder here; it was left as it is"};
    if (modified == kUnknownFileTime)
        return {{},
                "the saved scan recorded no modification time to check it by; it was left "
                "as it is"};
    const FileTime local = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    const bool wholeSecond = (modified - kUnixEpochInTicks) % kTicksPerSecond == 0;
    const bool sameTime =
        wholeSecond ? UnixSecondsOf(local) == UnixSecondsOf(modified) : local == modified;
    if (st.st_size != size || !sameTime)
        return {{},
                "it is not the file the saved scan recorded (its size or modification time "
                "differs); it was left as it is"};
    return {{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}, {}};
}

std::vector<std::string> MissingHere(const std::vector<std::string>& paths) {
    std::vector<std::string> missing;
    for (const std::string& path : paths) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 && errno == ENOENT) missing.push_back(path);
    }
    return missing;
}

} // namespace vintrel
