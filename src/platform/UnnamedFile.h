#pragma once
// A new file in a folder that has no name until it is complete (O_TMPFILE): a crash or a
// kill -9 half-way leaves nothing behind. Where the file system cannot make such a file it
// gets a temporary name of its own at once, which the destructor removes again.

#include <string>
#include <sys/types.h>

namespace vintrel {

class UnnamedFile {
  public:
    // `prefix` begins the temporary names (".vintrel2-"); `folder` stays the caller's.
    UnnamedFile(int folder, std::string prefix) : folder_(folder), prefix_(std::move(prefix)) {}
    ~UnnamedFile();
    UnnamedFile(const UnnamedFile&) = delete;
    UnnamedFile& operator=(const UnnamedFile&) = delete;

    // 0, or the errno of the failure.
    int create(mode_t mode);
    int fd() const { return fd_; }
    // Gives the file `name` in the folder: in one step over an existing file when `replace`,
    // else only where the name is free (EEXIST when it is taken, also by a file that
    // appeared meanwhile). 0, or the errno; the file stays unnamed (or temporary) on failure.
    int publish(const std::string& name, bool replace);
    // Closes the descriptor: 0, or the errno close() reported. The file stays as it is.
    int close();

  private:
    int linkTo(const std::string& name);

    int folder_;
    std::string prefix_;
    int fd_ = -1;
    std::string temporary_; // the fallback's name, while it is ours
};

// A name for a temporary file: `prefix`, ten random letters and digits, ".tmp".
std::string RandomTemporaryName(const std::string& prefix);

// Renames `from` to `to` (relative to the folders, or AT_FDCWD) only where `to` does not
// exist, also when it appeared a moment ago; false with errno (EEXIST when it does).
bool RenameWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                            const std::string& to);

} // namespace vintrel
