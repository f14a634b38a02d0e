#pragma once
// Writing a whole file so that a failure never destroys the file that was there: the new
// bytes go to a temporary file beside it, which replaces it only once complete.

#include "UnnamedFile.h"

#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace vintrel {

struct FileWriteResult {
    enum class Failure { None, Create, Write };
    Failure failure = Failure::None;
    int error = 0;      // errno of the failure
    std::string reason; // our own words for it, where the system's text would not say enough

    explicit operator bool() const { return failure == Failure::None; }
    // The reason, or the system's text for the error.
    std::string text() const;
};

// Replaces the file's content with `bytes`, or leaves it byte for byte as it was.
// - A symbolic link is followed only where open() would follow it with protected symlinks:
//   a link of another user in a sticky folder that everyone may write is refused. A dangling
//   link creates the file it names, as open(O_CREAT) would.
// - A read-only file (its owner may not write, or we may not) is refused, as is a socket.
// - A device or FIFO is written directly; a FIFO that nobody reads is an error, not a wait.
// - One of our own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is written through,
//   at its position and appending where it appends; it is never reopened or truncated.
// - The temporary file has no name until it is complete (see UnnamedFile).
// - Where no temporary file can be made beside a file, it is rewritten in place, but only
//   after the space for the new content has been reserved.
// - SIGPIPE and SIGXFSZ are held while writing: they become write errors.
// `mode`: the permissions of the file written; by default a replaced file keeps its own and
// a new one gets 0666 less the umask.
FileWriteResult WriteFileReplacing(const std::string& fileName, std::string_view bytes,
                                   std::optional<mode_t> mode = std::nullopt);

// The same, for content that comes in pieces: open(), write() as often as needed, commit().
// Until the commit the target is as it was; without one (a failure, an error thrown past
// it) the temporary file goes again. Where the folder allows no temporary file the pieces
// are kept in memory and the file is rewritten in place at the commit.
class ReplacingFileWriter {
  public:
    explicit ReplacingFileWriter(std::string fileName, std::optional<mode_t> mode = std::nullopt);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    FileWriteResult open();
    // False once a write has failed; commit() then tells why.
    bool write(std::string_view bytes);
    FileWriteResult commit();
    // The same, but only where no file of that name exists by then (EEXIST when one does):
    // a partial result never replaces a complete one. A descriptor, FIFO or device keeps
    // what was written to it.
    FileWriteResult commitIfNew();
    // The bytes went straight where they end up (a descriptor, a FIFO, a device).
    bool writesDirectly() const { return way_ == Way::Direct; }

  private:
    enum class Way { None, Direct, Temporary, InPlace };
    FileWriteResult fail(FileWriteResult result); // keeps the first failure
    FileWriteResult finish(bool replace);

    std::string fileName_;
    std::optional<mode_t> mode_;
    Way way_ = Way::None;
    int folder_ = -1; // the folder the file is in, once every link is followed
    std::string name_;
    int fd_ = -1;                            // Direct
    std::unique_ptr<UnnamedFile> temporary_; // Temporary
    std::string buffer_;                     // in place: the whole content
    int temporaryError_ = 0;
    FileWriteResult failure_;
};

// Holds SIGPIPE and SIGXFSZ for the calling thread while it lives, so that a write to a pipe
// without a reader or past the file-size limit fails with EPIPE or EFBIG instead of ending
// the process; a signal that such a write raised is taken back before the mask returns.
class WriteSignalsHeld {
  public:
    WriteSignalsHeld();
    ~WriteSignalsHeld();
    WriteSignalsHeld(const WriteSignalsHeld&) = delete;
    WriteSignalsHeld& operator=(const WriteSignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// Reads a whole file into `text`: 0, or the errno of the failure.
int ReadWholeFile(const std::string& fileName, std::string& text);

// Writes all bytes (retrying short writes and EINTR); false with errno set when it cannot.
// A write that makes no progress counts as ENOSPC.
bool WriteAll(int fd, std::string_view bytes);
// The same at a place in the file, without moving its position.
bool WriteAllAt(int fd, std::string_view bytes, off_t offset = 0);

} // namespace vintrel
