#include "TempTree.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vintrel::test {

namespace {

void Check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) Check(false, "mkdir " + part);
    }
}

// Removes everything in the folder without recursion, so that depth has no limit: each
// subfolder is emptied in turn, its own subfolders moved up beside it first.
void RemoveContents(int root) {
    unsigned moved = 0;
    for (bool any = true; any;) {
        any = false;
        // A duplicate shares the reading position: every pass starts from the beginning,
        // or the folders moved up by the pass before would be missed and left behind.
        const int again = dup(root);
        if (again >= 0) lseek(again, 0, SEEK_SET);
        DIR* dir = again >= 0 ? fdopendir(again) : nullptr;
        if (!dir) {
            if (again >= 0) close(again);
            return;
        }
        std::vector<std::pair<std::string, bool>> entries;
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") entries.emplace_back(name, entry->d_type == DT_DIR);
        }
        closedir(dir);
        for (const auto& [name, isFolder] : entries) {
            any = true;
            if (!isFolder) {
                unlinkat(root, name.c_str(), 0);
                continue;
            }
            // Best effort: a folder that stays unreadable is reported by the removal below.
            (void)!fchmodat(root, name.c_str(), 0755, 0);
            const int folder = openat(root, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (folder >= 0) {
                DIR* inner = fdopendir(folder);
                std::vector<std::pair<std::string, bool>> below;
                while (dirent* entry = inner ? readdir(inner) : nullptr) {
                    const std::string child = entry->d_name;
                    if (child != "." && child != "..")
                        below.emplace_back(child, entry->d_type == DT_DIR);
                }
                for (const auto& [child, childIsFolder] : below) {
                    if (childIsFolder) {
                        const std::string up = "\x01up" + std::to_string(moved++);
                        renameat(dirfd(inner), child.c_str(), root, up.c_str());
                    } else {
                        unlinkat(dirfd(inner), child.c_str(), 0);
                    }
                }
                if (inner) closedir(inner);
            }
            unlinkat(root, name.c_str(), AT_REMOVEDIR);
        }
    }
}

} // namespace

TempTree::TempTree(const std::string& in) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        (!in.empty() ? in : std::string(base && *base ? base : "/tmp")) + "/vintrel-test-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    root_ = pattern;
    ::chmod(root_.c_str(), 0755); // readable by the unprivileged user of some tests
}

TempTree::~TempTree() {
    RemoveTree(root_);
}

void TempTree::file(const std::string& relative, const std::string& content) {
    const std::string full = path(relative);
    MakeParents(full);
    const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Check(fd >= 0, "create " + full);
    Check(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
          "write");
    ::close(fd);
}

void TempTree::sizedFile(const std::string& relative, int64_t size) {
    file(relative);
    Check(::truncate(path(relative).c_str(), size) == 0, "truncate");
}

void TempTree::folder(const std::string& relative) {
    const std::string full = path(relative);
    MakeParents(full + "/");
}

void TempTree::symlink(const std::string& relative, const std::string& target) {
    const std::string full = path(relative);
    MakeParents(full);
    Check(::symlink(target.c_str(), full.c_str()) == 0, "symlink " + full);
}

void TempTree::fifo(const std::string& relative) {
    const std::string full = path(relative);
    MakeParents(full);
    Check(::mkfifo(full.c_str(), 0644) == 0, "mkfifo " + full);
}

void TempTree::setModified(const std::string& relative, int64_t unixSeconds) {
    const timespec times[2] = {{static_cast<time_t>(unixSeconds), 0},
                               {static_cast<time_t>(unixSeconds), 0}};
    Check(utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0,
          "utimensat");
}

void TempTree::chmod(const std::string& relative, unsigned mode) {
    Check(::chmod(path(relative).c_str(), mode) == 0, "chmod");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) return;
    RemoveContents(fd);
    ::close(fd);
    ::rmdir(path.c_str());
}

void TempTree::chain(const std::string& relative, int levels,
                     const std::function<std::string(int level)>& fileAt) {
    folder(relative);
    int fd = ::open(path(relative).c_str(), O_RDONLY | O_DIRECTORY);
    Check(fd >= 0, "open " + relative);
    for (int level = 0; level < levels; ++level) {
        const std::string name = fileAt(level);
        const int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        Check(file >= 0, "create " + name);
        ::close(file);
        Check(mkdirat(fd, "d", 0755) == 0, "mkdir");
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        Check(next >= 0, "open d");
        ::close(fd);
        fd = next;
    }
    ::close(fd);
}

} // namespace vintrel::test
