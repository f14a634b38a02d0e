#pragma once
// A real folder tree in a temporary folder, removed again with everything in it (also
// deeper than PATH_MAX and with names that are not UTF-8).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vintrel::test {

class TempTree {
  public:
    // In $TMPDIR or /tmp, or in the folder `in` (a tmpfs, another file system).
    explicit TempTree(const std::string& in = "");
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // Creates the parent folders as needed.
    void file(const std::string& relative, const std::string& content = "");
    void sizedFile(const std::string& relative, int64_t size); // sparse
    void folder(const std::string& relative);
    void symlink(const std::string& relative, const std::string& target);
    void fifo(const std::string& relative);
    void setModified(const std::string& relative, int64_t unixSeconds);
    void chmod(const std::string& relative, unsigned mode);
    // A chain of `levels` folders named "d" below `relative`, each level holding one empty
    // file named fileAt(level); built relative to each folder, so deeper than PATH_MAX.
    void chain(const std::string& relative, int levels,
               const std::function<std::string(int level)>& fileAt);

  private:
    std::string root_;
};

// Removes a tree of any depth, folder by folder relative to its parent.
void RemoveTree(const std::string& path);

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Whether anything is there under that name, a dangling link too.
bool Exists(const std::string& path);
// The names in a folder but "." and "..", sorted: to see that nothing was left behind.
std::vector<std::string> NamesIn(const std::string& folder);

} // namespace vintrel::test
