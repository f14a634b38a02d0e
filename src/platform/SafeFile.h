#pragma once
// Writing a whole file so that a failure never destroys the file that was there: the new
// bytes go to a temporary file beside it, which replaces it only once complete.

#include <string>
#include <string_view>

namespace vintrel {

struct FileWriteResult {
    enum class Failure { None, Create, Write };
    Failure failure = Failure::None;
    int error = 0; // errno of the failure

    explicit operator bool() const { return failure == Failure::None; }
};

// A symbolic link is followed, so the file it names is replaced and the link kept. An
// existing target that is not a regular file (a device, a FIFO) is written directly; where
// no temporary file can be made beside the target, the target is written in place. The
// replaced file keeps its permissions; a new one gets 0666 less the umask.
FileWriteResult WriteFileReplacing(const std::string& fileName, std::string_view bytes);

} // namespace vintrel
